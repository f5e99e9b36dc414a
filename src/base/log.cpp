#include "base/log.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace viv {
namespace {

constexpr size_t kRuleLength = 64;

std::mutex gLogLock;
TRef<TLog>& GlobalLog() {
  static TRef<TLog> log = MakeRef<TNullLog>();
  return log;
}

const std::chrono::steady_clock::time_point gStart = std::chrono::steady_clock::now();

}  // namespace

TRef<TFileLog> TFileLog::Create(const std::string& path) {
  auto file = TFileStream::Open(path, TFileMode::Create);
  if (!file) return nullptr;
  file->WriteText("\xEF\xBB\xBF");
  return MakeRef<TFileLog>(std::move(file));
}

void TFileLog::WriteLine(std::string_view line) {
  std::string text(line);
  text += "\r\n";
  std::lock_guard guard(fLock);
  fFile->Write(text.data(), text.size());
}

void TStdLog::WriteLine(std::string_view line) {
  std::lock_guard guard(fLock);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

void SetLog(TRef<TLog> log) {
  std::lock_guard guard(gLogLock);
  GlobalLog() = log ? std::move(log) : TRef<TLog>(MakeRef<TNullLog>());
}

TRef<TLog> CurrentLog() {
  std::lock_guard guard(gLogLock);
  return GlobalLog();
}

int64_t MillisecondsSinceStart() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               gStart)
      .count();
}

void LogLine(std::string_view text, TLogPrefix prefix) {
  std::string line;
  if (prefix.ThreadId) {
    char id[16];
    std::snprintf(id, sizeof id, "#%04X ", static_cast<unsigned>(::syscall(SYS_gettid)) & 0xFFFF);
    line += id;
  }
  if (prefix.Time) {
    line += '[';
    line += std::to_string(MillisecondsSinceStart());
    line += "] ";
  }
  line += text;
  CurrentLog()->WriteLine(line);
}

std::string LocalDateTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return text;
}

void WriteLogHeader(std::string_view programPath) {
  auto log = CurrentLog();
  log->WriteLine("");
  log->WriteLine(std::string(kRuleLength, '='));
  log->WriteLine("Program : " + std::string(programPath));
  log->WriteLine("started : " + LocalDateTimeText());
  log->WriteLine(std::string(kRuleLength, '='));
}

void WriteLogFooter() {
  auto log = CurrentLog();
  log->WriteLine("");
  log->WriteLine(std::string(kRuleLength, '-'));
  log->WriteLine("Program stoped : " + LocalDateTimeText() +
                 " (work time : " + std::to_string(MillisecondsSinceStart()) + " ms)");
  log->WriteLine(std::string(kRuleLength, '-'));
}

}  // namespace viv
