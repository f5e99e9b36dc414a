#include "support/log_capture.h"

#include <mutex>

#include "base/log.h"

namespace viv::test {

namespace {

class TCaptureLog : public TLog {
 public:
  void WriteLine(std::string_view line) override {
    std::lock_guard guard(fLock);
    fLines.emplace_back(line);
  }
  std::vector<std::string> Lines() {
    std::lock_guard guard(fLock);
    return fLines;
  }

 private:
  std::mutex fLock;
  std::vector<std::string> fLines;
};

}  // namespace

TLogCapture::TLogCapture() {
  auto log = MakeRef<TCaptureLog>();
  fPrevious = CurrentLog();
  SetLog(log);
  fLog = log;
}

TLogCapture::~TLogCapture() { SetLog(TRef<TLog>(static_cast<TLog*>(fPrevious.Get()))); }

std::vector<std::string> TLogCapture::Lines() const {
  return static_cast<TCaptureLog*>(fLog.Get())->Lines();
}

bool TLogCapture::Contains(std::string_view text) const {
  for (const std::string& line : Lines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace viv::test
