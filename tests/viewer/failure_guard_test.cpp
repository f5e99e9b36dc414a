#include "viewer/failure_guard.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "base/exceptions.h"

namespace viv {
namespace {

TEST(RunGuarded, EveryEscapingExceptionIsReportedAndEndsWithStatus2) {
  struct TCase {
    const char* Label;
    std::function<int()> Body;
    int Status;
    const char* Report;  // empty: nothing reported
  } cases[] = {
      {"success", [] { return 0; }, 0, ""},
      {"the body's own status", [] { return 1; }, 1, ""},
      {"a player exception", []() -> int { throw EStreamError("Stream read error"); }, 2,
       "Stream read error"},
      {"a standard exception", []() -> int { throw std::out_of_range("vector index"); }, 2,
       "vector index"},
      {"out of memory", []() -> int { throw std::bad_alloc(); }, 2, "std::bad_alloc"},
      {"something that is no exception class", []() -> int { throw 42; }, 2, "Unknown exception"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    std::string reported;
    int reports = 0;
    int status = RunGuarded(c.Body, [&](const std::string& text) {
      reported = text;
      ++reports;
    });
    EXPECT_EQ(status, c.Status);
    EXPECT_EQ(reported, c.Report);
    EXPECT_EQ(reports, std::string(c.Report).empty() ? 0 : 1);
  }
}

TEST(RunGuarded, AReportThatFailsStillEndsWithStatus2) {
  int status = RunGuarded([]() -> int { throw std::runtime_error("first"); },
                          [](const std::string&) { throw std::runtime_error("second"); });
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace viv
