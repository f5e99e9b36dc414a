#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/log.h"
#include "base/stream.h"

namespace viv {
namespace {

TEST(Assertion, MessageHasTheFixedForm) {
  int line = 0;
  try {
    line = __LINE__ + 1;
    VIV_ASSERT(1 + 1 == 3, "msg");
    FAIL() << "VIV_ASSERT did not raise";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(std::string(e.what()),
              "Asseertion with message: 'msg' (exceptions_log_test.cpp, line: " +
                  std::to_string(line) + ")");
  }
  EXPECT_NO_THROW(VIV_ASSERT(true, "never"));
  EXPECT_EQ(AssertionText("a 'b'", "/src/base/unit.cpp", 7),
            "Asseertion with message: 'a 'b'' (unit.cpp, line: 7)");
  EXPECT_EQ(AssertionText("m", "plain.cpp", 12),
            "Asseertion with message: 'm' (plain.cpp, line: 12)");
}

TEST(Exceptions, ClassMessageNamesTheClass) {
  EXPECT_EQ(TCommonException::ClassMessage("EStreamError"), "Quorvane Exception: \"EStreamError\"");
  EXPECT_STREQ(EStreamError().what(), "Quorvane Exception: \"EStreamError\"");
  EXPECT_STREQ(EZLibError().what(), "Quorvane Exception: \"EZLibError\"");
  // Every player exception is caught as the common base.
  try {
    throw EConvertError("bad number");
  } catch (const TCommonException& e) {
    EXPECT_EQ(e.Message(), "bad number");
  }
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(Log, FileLogHeaderLinesAndFooter) {
  const std::string path =
      ::testing::TempDir() + "viv_log_test_" + std::to_string(::getpid()) + ".log";
  {
    auto log = TFileLog::Create(path);
    ASSERT_TRUE(log);
    SetLog(log);
  }
  // Fourteen hours east of UTC (a POSIX zone, no time-zone data needed): for
  // most of the day the local date differs from the UTC date.
  const char* previousZone = std::getenv("TZ");
  std::string savedZone = previousZone ? previousZone : "";
  setenv("TZ", "XYZ-14", 1);
  tzset();
  const std::time_t before = std::time(nullptr);
  WriteLogHeader("/opt/viv/vivviewer");
  const std::time_t after = std::time(nullptr);
  if (previousZone)
    setenv("TZ", savedZone.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  LogLine("plain line");
  LogLine("with prefix", {.ThreadId = true, .Time = true});
  WriteLogFooter();
  SetLog(nullptr);
  LogLine("discarded");

  std::string text = ReadFileBytes(path);
  ::unlink(path.c_str());
  ASSERT_TRUE(text.starts_with("\xEF\xBB\xBF"));
  text.erase(0, 3);
  std::vector<std::string> lines = SplitCrLf(text);
  for (const auto& line : lines)
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a line end other than CR LF";
  ASSERT_EQ(lines.size(), 11u);

  const std::string equals(64, '='), dashes(64, '-');
  const std::string kDateTime = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)";
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], equals);
  EXPECT_EQ(lines[2], "Program : /opt/viv/vivviewer");
  EXPECT_TRUE(std::regex_match(lines[3], std::regex("started : " + kDateTime))) << lines[3];
  EXPECT_EQ(lines[4], equals);
  EXPECT_EQ(lines[5], "plain line");
  EXPECT_TRUE(std::regex_match(lines[6], std::regex(R"(#[0-9A-F]{4} \[\d+\] with prefix)")))
      << lines[6];
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], dashes);
  EXPECT_TRUE(std::regex_match(
      lines[9], std::regex("Program stoped : " + kDateTime + R"( \(work time : \d+ ms\))")))
      << lines[9];
  EXPECT_EQ(lines[10], dashes);

  // The date is day first, in local time: UTC plus fourteen hours, as day,
  // month and year of the civil calendar.
  auto dayMonthYear = [](std::time_t t) {
    std::tm utc{};
    std::time_t shifted = t + 14 * 3600;
    gmtime_r(&shifted, &utc);
    char dmy[32];
    std::snprintf(dmy, sizeof dmy, "%02d.%02d.%04d", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year + 1900);
    return std::string(dmy);
  };
  std::string date = lines[3].substr(std::string("started : ").size(), 10);
  EXPECT_TRUE(date == dayMonthYear(before) || date == dayMonthYear(after)) << date;
}

TEST(Log, FileLogCannotBeCreatedInAMissingFolder) {
  EXPECT_FALSE(TFileLog::Create(::testing::TempDir() + "no/such/folder/x.log"));
}

}  // namespace
}  // namespace viv
