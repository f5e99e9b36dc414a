#include <gtest/gtest.h>
#include <unistd.h>

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
  WriteLogHeader("/opt/viv/vivviewer");
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

  // The date is day first: compare with the day of the month now.
  std::smatch parts;
  ASSERT_TRUE(std::regex_search(lines[3], parts, std::regex(R"((\d\d)\.(\d\d)\.(\d{4}))")));
  EXPECT_LE(std::stoi(parts[1]), 31);
  EXPECT_LE(std::stoi(parts[2]), 12);
  EXPECT_GE(std::stoi(parts[3]), 2000);
}

TEST(Log, FileLogCannotBeCreatedInAMissingFolder) {
  EXPECT_FALSE(TFileLog::Create(::testing::TempDir() + "no/such/folder/x.log"));
}

}  // namespace
}  // namespace viv
