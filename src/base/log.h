// The process-wide log: discards by default, or writes to a file or to
// standard error.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "base/stream.h"

namespace viv {

class TLog : public TRefObject {
 public:
  virtual void WriteLine(std::string_view line) = 0;
};

// Discards every line.
class TNullLog : public TLog {
 public:
  void WriteLine(std::string_view) override {}
};

// UTF-8 file with byte-order mark, created anew; every line ends with CR LF.
class TFileLog : public TLog {
 public:
  // None when the file cannot be created.
  static TRef<TFileLog> Create(const std::string& path);
  explicit TFileLog(TRef<TFileStream> file) : fFile(std::move(file)) {}
  void WriteLine(std::string_view line) override;

 private:
  std::mutex fLock;
  TRef<TFileStream> fFile;
};

// Standard error stands in for the debugger output.
class TStdLog : public TLog {
 public:
  void WriteLine(std::string_view line) override;

 private:
  std::mutex fLock;
};

void SetLog(TRef<TLog> log);
TRef<TLog> CurrentLog();

// Milliseconds since the process started (since the first use of the log clock).
int64_t MillisecondsSinceStart();

struct TLogPrefix {
  bool ThreadId = false;  // "#" and the thread id as 4 hex digits, then a blank
  bool Time = false;      // "[" ms since start "] "
};
void LogLine(std::string_view text, TLogPrefix prefix = {});

// "DD.MM.YYYY HH:MM:SS" in local time.
std::string LocalDateTimeText();
void WriteLogHeader(std::string_view programPath);
void WriteLogFooter();

}  // namespace viv
