// Show-wide options of the show source and the screen-saver writes.
#include <gtest/gtest.h>

#include "show_test_support.h"
#include "support/log_capture.h"

namespace viv::test {
namespace {

struct TOptionsCase {
  const char* Main;  // lines of [Main]; nullptr: no [Main] section at all
  int32_t Width, Height;
  TRepeatMode Repeat;
  bool PauseWhenInactive;
  TRgb Hider;
  double Unsharp;
};

TEST_F(ShowTest, ShowOptionsAndTheirDefaults) {
  const TOptionsCase cases[] = {
      {nullptr, 1920, 1080, TRepeatMode::Repeat, true, {0, 0, 0}, 0},
      {"", 1920, 1080, TRepeatMode::Repeat, true, {0, 0, 0}, 0},
      {"opt_scr_width=1280\nopt_scr_height=720", 1280, 720, TRepeatMode::Repeat, true, {}, 0},
      {"opt_scr_width=wide\nopt_scr_height=", 1920, 1080, TRepeatMode::Repeat, true, {}, 0},
      // Sides of no length would mirror or collapse the slide area.
      {"opt_scr_width=0\nopt_scr_height=-5", 1920, 1080, TRepeatMode::Repeat, true, {}, 0},
      {"opt_scr_width=-1280\nopt_scr_height=720", 1920, 720, TRepeatMode::Repeat, true, {}, 0},
      {"opt_repeat=Close", 1920, 1080, TRepeatMode::Close, true, {}, 0},
      {"opt_repeat=STOP", 1920, 1080, TRepeatMode::Stop, true, {}, 0},
      {"opt_repeat=end", 1920, 1080, TRepeatMode::Repeat, true, {}, 0},
      {"opt_pausewheninactive=0", 1920, 1080, TRepeatMode::Repeat, false, {}, 0},
      {"opt_pausewheninactive=no", 1920, 1080, TRepeatMode::Repeat, true, {}, 0},
      // System colour order 0x00BBGGRR.
      {"opt_scr_hidercolor=255", 1920, 1080, TRepeatMode::Repeat, true, {255, 0, 0}, 0},
      {"opt_scr_hidercolor=16744448", 1920, 1080, TRepeatMode::Repeat, true, {0, 128, 255}, 0},
      {"opt_scr_hidercolor=#FF0000", 1920, 1080, TRepeatMode::Repeat, true, {0, 0, 0}, 0},
      {"opt_scr_unsharpamount=0.75", 1920, 1080, TRepeatMode::Repeat, true, {}, 0.75},
      {"opt_scr_unsharpamount=much", 1920, 1080, TRepeatMode::Repeat, true, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Main ? c.Main : "(no [Main])");
    std::string text = c.Main ? std::string("[Main]\n") + c.Main + "\n" : std::string();
    auto source = SourceOf(text + "[Times]\nopt_slidescount=1\nopt_synchpos1=1000\n");
    EXPECT_EQ(source->PresentationWidth(), c.Width);
    EXPECT_EQ(source->PresentationHeight(), c.Height);
    EXPECT_EQ(source->EffectManager().AreaWidth(), c.Width);
    EXPECT_EQ(source->EffectManager().AreaHeight(), c.Height);
    EXPECT_EQ(source->RepeatMode(), c.Repeat);
    EXPECT_EQ(source->Timeline().RepeatMode(), c.Repeat);
    EXPECT_EQ(source->PauseWhenInactive(), c.PauseWhenInactive);
    EXPECT_EQ(source->HiderColour(), c.Hider);
    EXPECT_DOUBLE_EQ(source->UnsharpAmount(), c.Unsharp);
    EXPECT_EQ(source->SlideCount(), 1);
  }
}

TEST_F(ShowTest, ASideOfNoLengthIsLogged) {
  TLogCapture log;
  auto source =
      SourceOf("[Main]\nopt_scr_height=-5\n[Times]\nopt_slidescount=1\nopt_synchpos1=10\n");
  EXPECT_EQ(source->PresentationHeight(), 1080);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{"opt_scr_height -5 is no size; using 1080"});
}

TEST_F(ShowTest, ReadingThePresentationSizeCreatesItsKeysEmpty) {
  auto project = ParseProject("[Main]\nopt_repeat=stop\n");
  auto source = SourceOf(project);
  EXPECT_EQ(ValueAt(*project, "Main:opt_scr_width"), "");
  EXPECT_EQ(ValueAt(*project, "Main:opt_scr_height"), "");
  EXPECT_EQ(source->PresentationWidth(), 1920);
  EXPECT_EQ(source->PresentationHeight(), 1080);
  EXPECT_NE(source->MainSection(), nullptr);
}

TEST_F(ShowTest, SectionsAreFoundWhateverTheirLetterCase) {
  auto source = SourceOf(
      "[main]\nopt_scr_width=800\n[TIMES]\nopt_slidescount=2\nopt_synchpos1=10\n"
      "opt_synchpos2=20\n[slide2]\nSlideID=b\n");
  EXPECT_EQ(source->PresentationWidth(), 800);
  EXPECT_EQ(source->SlideCount(), 2);
  EXPECT_NE(source->TimesSection(), nullptr);
  EXPECT_EQ(source->SlideSection(0), nullptr);
  ASSERT_NE(source->SlideSection(1), nullptr);
  EXPECT_EQ(source->SlideSection(1)->ReadText("SlideID"), "b");
}

TEST_F(ShowTest, OnlyAScreenSaverPlayerFileRunsAScreenSaver) {
  const char* kProject =
      "[Main]\nopt_ssaver=1\nopt_fcp=1\nopt_hidecursor=0\nopt_scr_full=0\nopt_repeat=close\n"
      "[Times]\nopt_slidescount=1\nopt_synchpos1=1000\n";
  struct TCase {
    const char* Player;
    bool ScreenSaver;
    const char *SsAver, *Fcp, *HideCursor, *Full, *Repeat;
    TRepeatMode Mode;
  };
  const TCase cases[] = {
      {"/opt/show/Holiday.exe", false, "0", "1", "0", "0", "close", TRepeatMode::Close},
      {"/opt/show/Holiday", false, "0", "1", "0", "0", "close", TRepeatMode::Close},
      {"/opt/show/Holiday.scr.exe", false, "0", "1", "0", "0", "close", TRepeatMode::Close},
      {"/opt/show.scr/Holiday", false, "0", "1", "0", "0", "close", TRepeatMode::Close},
      {"/opt/show/Holiday.scr", true, "1", "0", "1", "1", "repeat", TRepeatMode::Repeat},
      {"/opt/show/HOLIDAY.SCR", true, "1", "0", "1", "1", "repeat", TRepeatMode::Repeat},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Player);
    SetPlayerFilePath(c.Player);
    auto project = ParseProject(kProject);
    auto source = SourceOf(project);
    EXPECT_EQ(source->ScreenSaverMode(), c.ScreenSaver);
    EXPECT_EQ(ValueAt(*project, "Main:opt_ssaver"), c.SsAver);
    EXPECT_EQ(ValueAt(*project, "Main:opt_fcp"), c.Fcp);
    EXPECT_EQ(ValueAt(*project, "Main:opt_hidecursor"), c.HideCursor);
    EXPECT_EQ(ValueAt(*project, "Main:opt_scr_full"), c.Full);
    EXPECT_EQ(ValueAt(*project, "Main:opt_repeat"), c.Repeat);
    EXPECT_EQ(source->RepeatMode(), c.Mode);
  }
}

TEST_F(ShowTest, ScreenSaverWritesCreateWhatIsMissing) {
  SetPlayerFilePath("/opt/show/Holiday.scr");
  auto project = ParseProject("[Times]\nopt_slidescount=1\nopt_synchpos1=1000\n");
  auto source = SourceOf(project);
  EXPECT_EQ(ValueAt(*project, "Main:opt_ssaver"), "1");
  EXPECT_EQ(ValueAt(*project, "Main:opt_fcp"), "0");
  EXPECT_EQ(ValueAt(*project, "Main:opt_hidecursor"), "1");
  EXPECT_EQ(ValueAt(*project, "Main:opt_scr_full"), "1");
  EXPECT_EQ(ValueAt(*project, "Main:opt_repeat"), "repeat");

  SetPlayerFilePath("/opt/show/Holiday.exe");
  auto plain = ParseProject("");
  SourceOf(plain);
  EXPECT_EQ(ValueAt(*plain, "Main:opt_ssaver"), "0");
  EXPECT_EQ(ValueAt(*plain, "Main:opt_scr_full"), "<none>");
}

TEST_F(ShowTest, ShowsWithoutTimesHaveNoSlides) {
  for (const char* text : {"", "[Main]\nopt_repeat=close\n", "[Slide1]\nSlideID=a\n", "[Times]\n",
                           "[Times]\nopt_synchpos1=5000\n"}) {
    SCOPED_TRACE(text);
    auto source = SourceOf(text);
    EXPECT_EQ(source->SlideCount(), 0);
    EXPECT_EQ(source->Timeline().ShowDuration(), 0);
  }
}

TEST_F(ShowTest, TheShowWideTransitionTime) {
  struct TCase {
    const char* Main;
    double Time;
  };
  const TCase cases[] = {
      {"", 2000},  // the block is made in memory with 2000
      {"object TheEffect:AnEffect\n  time=1500\nend\n", 1500},
      {"object TheEffect:AnEffect\n  time=1.5e3\nend\n", 1500},
      {"object TheEffect:AnEffect\nend\n", 0},
      {"object TheEffect:AnEffect\n  time=soon\nend\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Main);
    auto project = ParseProject(std::string("[Main]\n") + c.Main);
    auto source = SourceOf(project);
    EXPECT_DOUBLE_EQ(source->DefaultTransitionTime(), c.Time);
    EXPECT_NE(project->PathLookup("Main:TheEffect", false), nullptr);
  }
}

}  // namespace
}  // namespace viv::test
