#include "viewer/failure_guard.h"

#include <exception>

#include "viewer/startup.h"

namespace viv {
namespace {

constexpr const char* kUnknownException = "Unknown exception";

void Report(const std::function<void(const std::string&)>& report, const std::string& text) {
  // The report itself failing must not undo the guard.
  try {
    report(text);
  } catch (...) {
  }
}

}  // namespace

int RunGuarded(const std::function<int()>& body,
               const std::function<void(const std::string&)>& report) {
  try {
    return body();
  } catch (const std::exception& e) {
    Report(report, e.what());
  } catch (...) {
    Report(report, kUnknownException);
  }
  return kExitFailure;
}

}  // namespace viv
