#include "base/commands_storage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace viv {
namespace {

using TTokens = std::vector<std::string>;

TEST(CommandLine, Tokenize) {
  struct TCase {
    std::string Line;
    TTokens Tokens;
  };
  const TCase kCases[] = {
      {"", {}},
      {"   \t ", {}},
      {"viv -slide 3", {"viv", "-slide", "3"}},
      {"  a\t\tb\x01"
       "c ",
       {"a", "b", "c"}},  // every code up to 32 separates
      {"\"C:\\Program Files\\viv.exe\" -log", {"C:\\Program Files\\viv.exe", "-log"}},
      {"a\"b c\"d", {"ab cd"}},  // quotes toggle inside a token
      {"\"\"", {""}},            // an empty quoted token is a token
      {"x \"\" y", {"x", "", "y"}},
      {"\"open ended", {"open ended"}},
      {"say \"\"\"hi\"", {"say", "hi"}},  // quotes are dropped, never kept
      {"caf\xC3\xA9 \xFF", {"caf\xC3\xA9", "\xFF"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(TokenizeCommandLine(c.Line), c.Tokens);
  }
}

TEST(CommandsStorage, SwitchesCollectTheFollowingValues) {
  TCommandsStorage storage;
  storage.AddTokens(TokenizeCommandLine(
      "/usr/bin/viv show.vxshow -Slide 3 -slide 4 -log -slide 5 y - z --x -filelog"));

  ASSERT_TRUE(storage.Find(""));
  EXPECT_EQ(storage.Find("")->Items, (TTokens{"/usr/bin/viv", "show.vxshow", "z"}));
  ASSERT_TRUE(storage.Find("Slide"));
  EXPECT_EQ(storage.Find("Slide")->Items, (TTokens{"3"}));
  // A repeated switch is reused and keeps collecting.
  ASSERT_TRUE(storage.Find("slide"));
  EXPECT_EQ(storage.Find("slide")->Items, (TTokens{"4", "5", "y"}));
  EXPECT_TRUE(storage.Has("log"));
  EXPECT_TRUE(storage.Find("log")->Items.empty());
  EXPECT_TRUE(storage.Has("-x"));
  EXPECT_TRUE(storage.Has("filelog"));
  EXPECT_FALSE(storage.Has("LOG"));
  EXPECT_FALSE(storage.Has("slid"));

  ASSERT_TRUE(storage.Item("slide", 2));
  EXPECT_EQ(*storage.Item("slide", 2), "y");
  EXPECT_FALSE(storage.Item("slide", 3));
  EXPECT_FALSE(storage.Item("log", 0));
  EXPECT_FALSE(storage.Item("time", 0));
  EXPECT_EQ(*storage.Item("", 0), "/usr/bin/viv");
}

TEST(CommandsStorage, ManySwitchesShareBuckets) {
  TTokens tokens;
  for (int i = 0; i < 1000; ++i) {
    tokens.push_back("-s" + std::to_string(i));
    tokens.push_back(std::to_string(i * 7));
  }
  TCommandsStorage storage;
  storage.AddTokens(tokens);
  storage.AddTokens({"-s500", "again"});
  for (int i = 0; i < 1000; ++i) {
    const TCommand* command = storage.Find("s" + std::to_string(i));
    ASSERT_TRUE(command) << i;
    EXPECT_EQ(command->Items.at(0), std::to_string(i * 7));
    EXPECT_EQ(command->Items.size(), i == 500 ? 2u : 1u);
  }
  EXPECT_FALSE(storage.Has("s1000"));
}

}  // namespace
}  // namespace viv
