#include "viewer/command_line.h"

#include <gtest/gtest.h>

#include "base/player_path.h"
#include "viewer/show_loading.h"

namespace viv {
namespace {

struct TStartCase {
  std::vector<std::string> Tokens;
  std::optional<int32_t> Slide;
  bool TimeGiven;
  int64_t Time;
};

TEST(PlayerCommandLine, StartSlideAndTime) {
  const TStartCase cases[] = {
      {{"p", "-slide", "3"}, 3, false, 0},
      {{"p", "-Slide", "3"}, std::nullopt, false, 0},  // switch names are case-sensitive
      {{"p", "-slide", "1"}, 1, false, 0},
      {{"p", "-slide", "x"}, std::nullopt, false, 0},
      {{"p", "-slide", "0"}, std::nullopt, false, 0},
      {{"p", "-slide", "-2"}, std::nullopt, false, 0},
      {{"p", "-time", "2000", "-slide", "3"}, 3, false, 0},
      {{"p", "-time", "2000"}, std::nullopt, true, 1999},
      {{"p", "-time", "x"}, std::nullopt, true, 0},
      {{"p", "-time"}, std::nullopt, true, 0},
      {{"p", "-slide", "x", "-time", "5000"}, std::nullopt, true, 4999},
  };
  for (const auto& c : cases) {
    TPlayerCommandLine commandLine(c.Tokens);
    SCOPED_TRACE(c.Tokens.size() > 1 ? c.Tokens[1] + " " + c.Tokens.back() : "");
    EXPECT_EQ(commandLine.StartSlide(), c.Slide);
    EXPECT_EQ(commandLine.TimeGiven(), c.TimeGiven);
    EXPECT_EQ(commandLine.StartTime(), c.Time);
  }
}

TEST(PlayerCommandLine, RawTokensAndValues) {
  TPlayerCommandLine line({"/opt/p", "-startup", "-filelog", "/S", "12345"});
  EXPECT_TRUE(line.StartupMode());
  EXPECT_TRUE(line.ScreenSaverRunToken());
  EXPECT_TRUE(line.Has("filelog"));
  EXPECT_EQ(line.StartupWindowHandle(), 12345);
  // Items after a switch belong to it, so there is no show named without one.
  EXPECT_EQ(line.PositionalShow(), std::nullopt);

  TPlayerCommandLine plain({"/opt/p", "show.vxshow", "-startup"});
  EXPECT_EQ(plain.PositionalShow(), "show.vxshow");
  EXPECT_EQ(plain.StartupWindowHandle(), std::nullopt);  // "-startup" is no number
  EXPECT_FALSE(TPlayerCommandLine({"/opt/p", "/s2"}).ScreenSaverRunToken());
  EXPECT_FALSE(TPlayerCommandLine({"/opt/p", "-startupx"}).StartupMode());
}

TEST(ChooseShowFile, SwitchesAndRelativeNames) {
  SetPlayerFilePath("/shows/player/bin/vivviewer");
  struct TCase {
    std::vector<std::string> Tokens;
    std::string File;
    bool Package;
  };
  const TCase cases[] = {
      {{"vivviewer"}, "/shows/player/bin/vivviewer", true},
      {{"vivviewer", "-exename", "a.vxshow"}, "/shows/player/bin/a.vxshow", true},
      {{"vivviewer", "-exename", "..\\..\\a.exe"}, "/shows/a.exe", true},
      {{"vivviewer", "-exename", "../x/a.exe"}, "/shows/player/x/a.exe", true},
      {{"vivviewer", "-exename", "/abs/a.exe"}, "/abs/a.exe", true},
      // Every "\" of a switch value is a separator, not only those of "..\".
      {{"vivviewer", "-exename", "..\\..\\x\\y.vxshow"}, "/shows/x/y.vxshow", true},
      {{"vivviewer", "-filename", "..\\..\\x\\y.viv"}, "/shows/x/y.viv", false},
      {{"vivviewer", "-exename", "sub\\a.vxshow"}, "/shows/player/bin/sub/a.vxshow", true},
      {{"vivviewer", "-filename", "..\\sub/p.viv"}, "/shows/player/sub/p.viv", false},
      {{"vivviewer", "-exename", "C:\\Shows\\a.exe"}, "/Shows/a.exe", true},
      {{"vivviewer", "-filename", "p.viv", "-exename", "a.exe"}, "/shows/player/bin/p.viv", false},
      {{"vivviewer", "/abs/show.vxshow"}, "/abs/show.vxshow", true},
      {{"vivviewer", "/abs/Project.VIV"}, "/abs/Project.VIV", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tokens.back());
    TShowChoice choice = ChooseShowFile(TPlayerCommandLine(c.Tokens));
    EXPECT_EQ(choice.FileName, c.File);
    EXPECT_EQ(choice.PackageMode, c.Package);
  }
}

}  // namespace
}  // namespace viv
