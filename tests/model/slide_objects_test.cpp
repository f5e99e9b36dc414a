// What the object classes make of their keys: sprite-sheet frames, text
// lines, buttons and their themes, viewports, backgrounds, the main picture,
// and the mouse press and release rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model_test_support.h"

namespace viv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;

TEST(AniImage, FramesOverTime) {
  struct TCase {
    const char* Name;
    TImageAnimationParams Animation;
    std::vector<std::pair<double, int32_t>> Frames;  // time, frame
  };
  // Four frames of 100, 200, 200, 200 ms (the last interval repeats), twice.
  const TImageAnimationParams twice{true, 2, 2, 4, {100, 200}, 2, 0};
  TImageAnimationParams forever = twice;
  forever.RepeatCount = 0;
  TImageAnimationParams late = twice;
  late.Offset = 1000;
  TImageAnimationParams tooMany = forever;
  tooMany.Count = 10;  // only the sheet's four cells
  TImageAnimationParams off = twice;
  off.Enabled = false;
  TImageAnimationParams oneCell = twice;
  oneCell.Columns = oneCell.Rows = 1;
  TImageAnimationParams noFrames = twice;
  noFrames.Count = 0;
  const TImageAnimationParams noIntervals{true, 3, 1, 3, {}, 0, 0};  // 100 ms each
  const TImageAnimationParams zeroForever{true, 2, 2, 4, {0}, 0, 0};
  const TImageAnimationParams zeroTwice{true, 2, 2, 4, {0}, 2, 0};
  const TImageAnimationParams negative{true, 3, 1, 3, {-50, 100}, 0, 0};  // 0, 100, 100
  const TCase kCases[] = {
      {"twice",
       twice,
       {{0, 0},
        {100, 0},
        {101, 1},
        {300, 1},
        {301, 2},
        {500, 2},
        {501, 3},
        {700, 3},
        {701, 0},
        {800, 0},
        {801, 1},
        {1001, 2},
        {1201, 3},
        {1400, 3},
        {1401, 3},
        {100000, 3},
        {-50, 0}}},
      {"forever", forever, {{701, 0}, {1401, 0}, {7000, 3}, {7050, 0}, {7000101, 1}}},
      {"offset", late, {{900, 0}, {1100, 0}, {1101, 1}, {2401, 3}}},
      {"count beyond the sheet", tooMany, {{701, 0}, {650, 3}}},
      {"off", off, {{150, 0}, {650, 0}}},
      {"one cell", oneCell, {{150, 0}}},
      {"no frames", noFrames, {{150, 0}}},
      {"no intervals", noIntervals, {{0, 0}, {150, 1}, {250, 2}, {301, 0}}},
      {"zero intervals", zeroForever, {{500, 0}}},
      {"zero intervals, repeated", zeroTwice, {{500, 3}}},
      {"negative interval", negative, {{0, 0}, {50, 1}, {150, 2}, {201, 1}}},
  };
  for (const auto& c : kCases) {
    for (auto [time, frame] : c.Frames) {
      SCOPED_TRACE(std::string(c.Name) + " at " + std::to_string(time));
      EXPECT_EQ(AnimationFrame(c.Animation, time), frame);
    }
  }
}

TEST(AniImage, TheObjectShowsOneCell) {
  TTestShow show;
  std::string sheet = show.Picture("sheet.tpic", 200, 100);
  TVivSlide& slide =
      show.Load(OneSlideProject("object A:Image\nGUID=a\nImageName=" + sheet +
                                "\nAnimEnable=1\nAnimColumns=2\nAnimRows=2\nAnimCount=4\n"
                                "AnimInterval=100,200\nAnimRepCount=2\n"
                                "EnableBorder=1\nBorderWidth=10\nend\n"),
                0, 350);
  auto& image = ObjectAs<TVivImage>(slide, "A");
  EXPECT_EQ(image.Kind(), TObjectKind::AniImage);
  EXPECT_EQ(image.CurrentFrame(), 2);
  EXPECT_EQ(image.SourceRect(), (TRectF{0, 50, 100, 100}));
  EXPECT_EQ(image.Size(), (TSizeF{100, 50}));  // one cell, no border
  EXPECT_EQ(image.ReductionLevel(0.01f), 0);
  // Drawn once, it is changed again when time reaches another frame.
  image.CommitState(true);
  slide.SetTime(true, 360);
  EXPECT_FALSE(image.IsChanged());
  slide.SetTime(true, 550);
  EXPECT_TRUE(image.IsChanged());
  slide.UpdateGeometry(true);
  EXPECT_EQ(image.SourceRect(), (TRectF{100, 50, 200, 100}));
}

TEST(ImageObjects, PictureRequestNames) {
  struct TCase {
    const char* Keys;
    const char* Request;
  };
  const TCase kCases[] = {
      {"ImageName=a.jpg\n", "a.jpg"},
      {"ImageName=anim.gif\nAnimEnable=1\n", "anim.gif|framesatlas"},
      {"ImageName=anim.GIF\nAnimEnable=1\n", "anim.gif|framesatlas"},
      {"ImageName=still.gif\n", "still.gif"},
      {"ImageName=m.png\nRestoreAlpha=1\n", "Mask: m.png"},
      {"ImageName=a.jpg\nReplaceWithEffectBuffer=3\n", "EffectResource3, a.jpg"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Keys);
    TTestShow show;
    TVivSlide& slide =
        show.Load(OneSlideProject("object I:Image\nGUID=i\n" + std::string(c.Keys) + "end\n"));
    EXPECT_EQ(ObjectAs<TVivImage>(slide, "I").PictureRequestName(), c.Request);
  }
}

TEST(ImageObjects, DefaultsAndKeys) {
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(
      "object Plain:Image\nGUID=p\nend\n"
      "object Set:Image\nGUID=s\nAntialiased=0\nFiltering=nearest\nMipLodBias=-1.5\n"
      "ImageIndex=3\nShadowEnable=1\nShadowColor=255,0,0\nShadowOpacity=80\nTranspForClick=1\n"
      "end\n"));
  auto& plain = ObjectAs<TVivImage>(slide, "Plain");
  EXPECT_TRUE(plain.Antialiased());
  EXPECT_EQ(plain.Filtering(), TFiltering::Default);
  EXPECT_FLOAT_EQ(plain.MipLodBias(), 0);
  EXPECT_FALSE(plain.HasImageIndex());
  EXPECT_FALSE(plain.Shadow().Enabled);
  EXPECT_FLOAT_EQ(plain.Shadow().Size, 16);
  EXPECT_FLOAT_EQ(plain.Shadow().Opacity, 59);
  EXPECT_FLOAT_EQ(plain.Shadow().Distance, 1.5f);
  EXPECT_EQ(plain.Shadow().Angle, 45);
  EXPECT_EQ(plain.Shadow().Colour, 0xFF000000u);
  EXPECT_FALSE(plain.TranspForClick());
  auto& set = ObjectAs<TVivImage>(slide, "Set");
  EXPECT_FALSE(set.Antialiased());
  EXPECT_EQ(set.Filtering(), TFiltering::Nearest);
  EXPECT_FLOAT_EQ(set.MipLodBias(), -1.5f);
  EXPECT_EQ(set.ImageIndex(), 3);
  EXPECT_TRUE(set.Shadow().Enabled);
  EXPECT_EQ(set.Shadow().Colour, 0xFFFF0000u);
  EXPECT_FLOAT_EQ(set.Shadow().Opacity, 80);
  EXPECT_TRUE(set.TranspForClick());
}

TEST(TextObjects, LinesOfTheText) {
  struct TCase {
    const char* Text;  // as written in the project
    std::vector<std::string> Lines, CaptionLines;
  };
  const TCase kCases[] = {
      {"Hello", {"Hello"}, {"Hello"}},
      {"One\\nTwo", {"One", "Two"}, {"One"}},
      {"", {" "}, {" "}},
      {"\\n\\n", {" "}, {" "}},
      {"\\nSecond", {"", "Second"}, {" "}},
      {"a\\\\b", {"a\\b"}, {"a\\b"}},
      {"bad\\q escape", {" "}, {" "}},  // an unknown escape empties the text
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(
        "object T:Text\nGUID=t\nText=" + std::string(c.Text) +
        "\nend\nobject B:Button\nGUID=b\nobject Caption:Text\nGUID=c\nText=" + c.Text +
        "\nend\nobject Other:Text\nGUID=o\nText=" + c.Text + "\nend\nend\n"));
    EXPECT_THAT(ObjectAs<TVivText>(slide, "T").Lines(), ElementsAreArray(c.Lines));
    EXPECT_THAT(ObjectAs<TVivText>(slide, "Caption").Lines(), ElementsAreArray(c.CaptionLines));
    // Only the button's first child is its caption.
    EXPECT_THAT(ObjectAs<TVivText>(slide, "Other").Lines(), ElementsAreArray(c.Lines));
  }
}

TEST(TextObjects, CaptionsShadowsAndColours) {
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(
      "object "
      "T:Text\nGUID=t\nText=x\nTextColor=255,0,0\nTextColorHover=#00FF00\nAntialiased=1\nend\n"
      "object Plain:Text\nGUID=p\nText=x\nend\n"
      "object B:Button\nGUID=b\nobject Caption:Text\nGUID=c\nText=x\nend\nend\n"));
  auto& text = ObjectAs<TVivText>(slide, "T");
  EXPECT_TRUE(text.Shadow().Enabled);
  EXPECT_FALSE(text.TranspForClick());
  EXPECT_FALSE(text.Antialiased());
  EXPECT_EQ(text.TextColour(1), 0xFFFF0000u);
  EXPECT_EQ(text.TextColour(2), 0xFF00FF00u);
  text.SetPressed(true);
  EXPECT_EQ(text.TextColour(2), 0xFFFF0000u);  // the click colour defaults to the text colour
  EXPECT_EQ(ObjectAs<TVivText>(slide, "Plain").TextColour(1), 0xFFFFFFFFu);
  auto& caption = ObjectAs<TVivText>(slide, "Caption");
  EXPECT_TRUE(caption.IsButtonCaption());
  EXPECT_FALSE(caption.Shadow().Enabled);
  EXPECT_TRUE(caption.TranspForClick());
  EXPECT_FALSE(text.IsButtonCaption());
  EXPECT_EQ(text.Size(), kTextPictureSize);
}

TEST(TextObjects, OneCommentTextPerSlide) {
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(
      "object A:Text\nGUID=a\nIsComment=1\nend\nobject B:Box\nGUID=b\n"
      "object C:Text\nGUID=c\nIsComment=1\nend\nend\nobject D:Text\nGUID=d\nend\n"));
  EXPECT_FALSE(ObjectAs<TVivText>(slide, "A").IsComment());
  EXPECT_TRUE(ObjectAs<TVivText>(slide, "C").IsComment());
  EXPECT_FALSE(ObjectAs<TVivText>(slide, "D").IsComment());
}

TEST(ButtonObjects, ThemesFallBackToAqua) {
  struct TCase {
    const char* Theme;
    bool AquaExists;
    const char* Folder;  // ending of the theme folder found; empty: none
  };
  const TCase kCases[] = {
      {"glass", true, "Buttons\\glass"},  {"GLASS", true, "Buttons\\GLASS"},
      {"missing", true, "Buttons\\aqua"}, {"", true, "Buttons\\aqua"},
      {"glass", false, "Buttons\\glass"}, {"missing", false, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.Theme) + (c.AquaExists ? " with aqua" : ""));
    TTestShow show;
    show.Write("Buttons/glass/btn.ini", "[Main]\n");
    if (c.AquaExists) show.Write("Buttons/aqua/btn.ini", "[Main]\n");
    TVivSlide& slide = show.Load(OneSlideProject(
        "object B:Button\nGUID=b\nTheme=" + std::string(c.Theme) + "\nMipLodBias=-2\nend\n", 5000,
        {}, "PathToButtons={dir}/Buttons\n"));
    auto& button = ObjectAs<TVivButton>(slide, "B");
    EXPECT_FLOAT_EQ(button.MipLodBias(), 0);
    if (!*c.Folder) {
      EXPECT_EQ(button.ThemeFolder(), "");
      EXPECT_TRUE(button.Picture().Empty());
      EXPECT_EQ(button.Size(), (TSizeF{0, 0}));
      continue;
    }
    EXPECT_THAT(button.ThemeFolder(), EndsWith(c.Folder));
    EXPECT_EQ(button.Size(), kButtonPictureSize);
    EXPECT_FLOAT_EQ(button.ShadowBaseSize(), 3 * kButtonPictureSize.Height);
  }
}

TEST(ViewPorts, NeedBothMaskLayers) {
  struct TCase {
    const char* Children;
    bool Drawn;
    bool TransitionPicture;
  };
  const TCase kCases[] = {
      {"", false, false},
      {"object S:MaskStencil\nGUID=s\nend\n", false, false},
      {"object C:MaskContent\nGUID=c\nend\n", false, true},
      {"object S:MaskStencil\nGUID=s\nend\nobject C:MaskContent\nGUID=c\nend\n", true, true},
      {"object S:MaskStencil\nGUID=s\nend\nobject C:MaskContent\nGUID=c\n"
       "object X:Box\nGUID=x\nend\nend\n",
       true, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Children);
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject("object V:ViewPort\nGUID=v\nSize=400,300\n" +
                                                 std::string(c.Children) + "end\n"));
    auto& viewport = ObjectAs<TVivViewPort>(slide, "V");
    EXPECT_EQ(viewport.Size(), (TSizeF{400, 300}));
    TRecordingDrawer drawer;
    slide.Draw(drawer);
    EXPECT_EQ(drawer.Drawn, c.Drawn ? std::vector<std::string>{"V"} : std::vector<std::string>{});
    if (TVivMaskContent* content = viewport.Content()) {
      EXPECT_EQ(content->UsesTransitionPicture(), c.TransitionPicture);
      EXPECT_EQ(content->Size(), (TSizeF{400, 300}));
      EXPECT_TRUE(content->TranspForClick());
    }
  }
  // The last layer of each class counts; a layer may be made clickable.
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(
      "object V:ViewPort\nGUID=v\nobject S1:MaskStencil\nGUID=s1\nend\n"
      "object S2:MaskStencil\nGUID=s2\nTranspForClick=0\nend\nobject C:MaskContent\nGUID=c\nend\n"
      "end\n"));
  auto& viewport = ObjectAs<TVivViewPort>(slide, "V");
  EXPECT_EQ(viewport.Size(), (TSizeF{1, 1}));
  EXPECT_EQ(viewport.Stencil(), &ObjectNamed(slide, "S2"));
  EXPECT_FALSE(viewport.Stencil()->TranspForClick());
  EXPECT_EQ(viewport.Stencil()->Size(), (TSizeF{1, 1}));
}

TEST(SlideBackground, SlideKeysOrTheShowDefault) {
  using TStyle = TSlideBackground::TStyle;
  struct TCase {
    const char* Slide;  // nullptr: no slide section
    const char* Main;
    TStyle Style;
    uint32_t Colour1, Colour2;
    const char* Picture;
    int32_t Tile;
  };
  const TCase kCases[] = {
      {"bstyle=1\nbcolor=255\n", "", TStyle::Solid, 0xFFFF0000, 0xFFFF0000, "", 100},
      {"bstyle=1\nbcolor=1193046\n", "", TStyle::Solid, 0xFF563412, 0xFF563412, "", 100},
      {"bstyle=3\nbcolorstyle=1\nbcolor1=255\nbcolor2=16711680\n", "", TStyle::VGradient,
       0xFFFF0000, 0xFF0000FF, "", 100},
      {"bstyle=3\nbcolorstyle=2\nbcolor1=255\nbcolor2=16711680\n", "", TStyle::HGradient,
       0xFFFF0000, 0xFF0000FF, "", 100},
      {"bstyle=3\nbcolorstyle=7\nbcolor1=255\nbcolor2=16711680\n", "", TStyle::Solid, 0xFFFF0000,
       0xFFFF0000, "", 100},
      {"bstyle=2\nbfn=back.jpg\nbsize=50\n", "", TStyle::Picture, 0xFF000000, 0xFF000000,
       "back.jpg", 50},
      {"bstyle=1\nbcolor=255\nbfn=back.jpg\n", "", TStyle::Picture, 0xFFFF0000, 0xFFFF0000,
       "back.jpg", 100},
      // bstyle 0 or none: the main section's "opt_" keys, whatever the slide says.
      {"bstyle=0\nbcolor=255\n", "opt_bstyle=1\nopt_bcolor=65280\n", TStyle::Solid, 0xFF00FF00,
       0xFF00FF00, "", 100},
      {"bcolor=255\n", "opt_bstyle=3\nopt_bcolorstyle=2\nopt_bcolor1=65280\nopt_bcolor2=255\n",
       TStyle::HGradient, 0xFF00FF00, 0xFFFF0000, "", 100},
      {"", "opt_bfn=tile.png\nopt_bsize=25\n", TStyle::Picture, 0xFF000000, 0xFF000000, "tile.png",
       25},
      {nullptr, "opt_bstyle=1\nopt_bcolor=16777215\n", TStyle::Solid, 0xFFFFFFFF, 0xFFFFFFFF, "",
       100},
      {"", "bstyle=1\nbcolor=255\n", TStyle::Solid, 0xFF000000, 0xFF000000, "", 100},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.Slide ? c.Slide : "(none)") + " / " + c.Main);
    auto project = ParseProject(std::string("[Main]\n") + c.Main +
                                (c.Slide ? std::string("[Slide1]\n") + c.Slide : ""));
    TSlideBackground background =
        ReadSlideBackground(project->FindSection("Slide1"), project->FindSection("Main"));
    EXPECT_EQ(background.Style, c.Style);
    EXPECT_EQ(background.Colour1, c.Colour1);
    EXPECT_EQ(background.Colour2, c.Colour2);
    EXPECT_EQ(background.Picture, c.Picture);
    EXPECT_EQ(background.TileSize, c.Tile);
  }
  TTestShow show;
  TVivSlide& slide =
      show.Load(OneSlideProject("", 5000, "bstyle=0\n", "opt_bstyle=1\nopt_bcolor=255\n"));
  EXPECT_EQ(slide.Background().Style, TStyle::Solid);
  EXPECT_EQ(slide.Background().Colour1, 0xFFFF0000u);
}

TEST(MainPicture, FirstImageWithAnIndexInDrawingOrder) {
  TTestShow show;
  std::string a = show.Picture("a.tpic", 100, 100), c = show.Picture("c.tpic", 800, 600),
              d = show.Picture("d.tpic", 640, 480);
  TVivSlide& slide = show.Load(
      OneSlideProject("object A:Image\nGUID=a\nImageName=" + a + "\nend\nobject B:Box\nGUID=b\n" +
                      "object C:Image\nGUID=c\nImageIndex=0\nImageName=" + c + "\nend\nend\n" +
                      "object D:Image\nGUID=d\nImageIndex=2\nImageName=" + d + "\nend\n"));
  auto main = FindMainPicture(slide);
  ASSERT_TRUE(main);
  EXPECT_EQ(main->FileName, c);
  EXPECT_EQ(main->Width, 800);
  EXPECT_EQ(main->Height, 600);
  EXPECT_EQ(FindMainPicture(ObjectNamed(slide, "A")), std::nullopt);
  EXPECT_EQ(FindMainPicture(ObjectNamed(slide, "D"))->FileName, d);
}

// The mouse on a slide with a linked text, a plain text, a box with an action,
// a button with its caption, and a glass pane over the link.
class MouseTest : public ::testing::Test {
 protected:
  // Each object is a tenth of its fitted size: 192 wide.
  static std::string Object(const char* name, const char* cls, const char* position,
                            const std::string& keys, const std::string& inner = {}) {
    return "object " + std::string(name) + ":" + cls + "\nGUID=" + name + "\n" + keys +
           Key(0, "ScaleX=10\nScaleY=10\nPosition=" + std::string(position) + "\n") + inner +
           "end\n";
  }
  void SetUp() override {
    fShow.Write("Buttons/aqua/btn.ini", "[Main]\n");
    fSlide = &fShow.Load(OneSlideProject(
        Object("Link", "Text", "-50,0", "Text=Go\nAction=GOTOSLIDE(7)\n") +
            Object("Plain", "Text", "50,0", "Text=Nothing\n") +
            Object("Panel", "Box", "0,-50", "Size=1920,1080\nAction=nextslide\n") +
            Object("Btn", "Button", "0,50", "Action=exit\n",
                   "object Caption:Text\nGUID=cap\nText=Exit\nend\n") +
            Object("Glass", "Box", "-50,0", "Size=1920,1080\nTranspForClick=1\nAction=exit\n"),
        5000, {}, "PathToButtons={dir}/Buttons\n"));
  }
  TVivText& Text(const char* name) { return ObjectAs<TVivText>(*fSlide, name); }
  TVivButton& Button() { return ObjectAs<TVivButton>(*fSlide, "Btn"); }

  struct TStep {
    TPointF Point;
    int ButtonState, Button;
    TMouseEvent Event;
    const char* Found;  // name of the object returned; "" for none
    std::optional<TVivActionInfo> Action;
  };
  void Run(const std::vector<TStep>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const TStep& s = steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      TMouseResult result = fSlide->MouseEvent(s.Point, s.ButtonState, s.Button, s.Event);
      EXPECT_EQ(result.Object ? result.Object->Props()->Name : "", s.Found);
      EXPECT_EQ(result.Action, s.Action);
    }
  }

  TTestShow fShow;
  TVivSlide* fSlide = nullptr;
  const TPointF kLink{480, 540}, kPlain{1440, 540}, kPanel{960, 270}, kButton{960, 810},
      kEmpty{1700, 100};
  const TVivActionInfo kGoto{TActionKind::GotoSlide, 7, "7"};
  const TVivActionInfo kNext{TActionKind::NextSlide, 0, ""};
  const TVivActionInfo kExit{TActionKind::Exit, 0, ""};
};

TEST_F(MouseTest, PressAndReleaseOnTheSameObjectActsOnce) {
  Run({{kLink, 0, 1, TMouseEvent::Press, "Link", std::nullopt}});
  EXPECT_EQ(Text("Link").State(), 2);
  EXPECT_TRUE(Text("Link").Pressed());
  Run({{kLink, 16, 1, TMouseEvent::Release, "Link", kGoto},
       {kLink, 0, 1, TMouseEvent::Release, "Link", std::nullopt}});
  EXPECT_EQ(Text("Link").State(), 1);
  EXPECT_FALSE(Text("Link").Pressed());
  // Any other object acts on release too, without states.
  Run({{kPanel, 0, 1, TMouseEvent::Press, "Panel", std::nullopt},
       {kPanel, 16, 1, TMouseEvent::Release, "Panel", kNext}});
}

TEST_F(MouseTest, AReleaseElsewhereEndsEveryPress) {
  Run({{kLink, 0, 1, TMouseEvent::Press, "Link", std::nullopt},
       {kEmpty, 16, 1, TMouseEvent::Release, "Slide1", std::nullopt},
       {kLink, 0, 1, TMouseEvent::Release, "Link", std::nullopt},
       {kPanel, 0, 1, TMouseEvent::Press, "Panel", std::nullopt},
       {kLink, 16, 1, TMouseEvent::Release, "Link", std::nullopt},
       {kPanel, 0, 1, TMouseEvent::Release, "Panel", std::nullopt}});
  EXPECT_FALSE(ObjectNamed(*fSlide, "Panel").Pressed());
}

TEST_F(MouseTest, MovesSetHoverStates) {
  Run({{kLink, 0, 0, TMouseEvent::Move, "Link", std::nullopt}});
  EXPECT_EQ(Text("Link").State(), 1);
  Run({{kLink, 16, 0, TMouseEvent::Move, "Link", std::nullopt}});
  EXPECT_EQ(Text("Link").State(), 2);
  Run({{kEmpty, 0, 0, TMouseEvent::Move, "Slide1", std::nullopt}});
  EXPECT_EQ(Text("Link").State(), 0);
  // A text without an action has no hover state.
  Run({{kPlain, 0, 0, TMouseEvent::Move, "Plain", std::nullopt}});
  EXPECT_EQ(Text("Plain").State(), 0);
  // Other buttons than the left find nothing.
  Run({{kLink, 2, 0, TMouseEvent::Move, "", std::nullopt}});
}

TEST_F(MouseTest, ButtonsAndTheirCaptions) {
  // The caption is transparent for clicks: the button is found.
  Run({{kButton, 0, 1, TMouseEvent::Press, "Btn", std::nullopt}});
  EXPECT_EQ(Button().State(), 2);
  EXPECT_EQ(Text("Caption").State(), 2);
  Run({{kButton, 16, 1, TMouseEvent::Release, "Btn", kExit}});
  EXPECT_EQ(Button().State(), 1);
  EXPECT_EQ(Text("Caption").State(), 1);
}

TEST_F(MouseTest, OnlyTheLeftButtonClicks) {
  Run({{kLink, 0, 2, TMouseEvent::Press, "Link", std::nullopt},
       {kLink, 0, 2, TMouseEvent::Release, "Link", std::nullopt}});
  EXPECT_FALSE(Text("Link").Pressed());
}

TEST_F(MouseTest, TransparentObjectsLetClicksThrough) {
  // The glass pane lies over the link and has an action of its own.
  EXPECT_EQ(fSlide->FindAt(kLink), &ObjectNamed(*fSlide, "Glass"));
  Run({{kLink, 0, 1, TMouseEvent::Press, "Link", std::nullopt},
       {kLink, 16, 1, TMouseEvent::Release, "Link", kGoto}});
}

}  // namespace
}  // namespace viv::test

namespace viv::test {
namespace {

TEST(ColourManagedKeys, ColoursPassTheShowTransformWhereTheyAreUsed) {
  TTestShow show;
  show.Open(OneSlideProject(""));
  // A transform that makes every colour visibly different: red and blue swap.
  show.Host().ColourTransform = [](uint32_t c) {
    return (c & 0xFF00FF00) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
  };
  TVivSlide& slide = show.Load(OneSlideProject(
      "object Lit:Box\nGUID=a\nSize=10,10\nColor1=255,0,0\nColor2=0,0,255\nAlpha2=0\n"
      "ShadowEnable=1\nShadowColor=10,20,30\nend\n"
      "object Dark:Box\nGUID=b\nSize=10,10\nShadowColor=10,20,30\nend\n"
      "object Framed:Image\nGUID=c\nEnableBorder=1\nBorderColor=1,2,3,200\nend\n"
      "object Label:Text\nGUID=d\nText=x\nTextColor=200,100,0\nend\n",
      5000, "bstyle=3\nbcolorstyle=1\nbcolor1=255\nbcolor2=16711680\n"));
  auto& lit = ObjectAs<TVivBox>(slide, "Lit");
  EXPECT_EQ(lit.ManagedColour1(), 0xFF0000FFu);
  EXPECT_EQ(lit.ManagedColour2(), 0x000000FFu);  // without alpha it stays as written
  EXPECT_EQ(lit.Shadow().ManagedColour, 0xFF1E140Au);
  // A shadow that is off keeps its colour unconverted.
  EXPECT_EQ(ObjectAs<TVivBox>(slide, "Dark").Shadow().ManagedColour, 0xFF0A141Eu);
  EXPECT_EQ(ObjectAs<TVivImage>(slide, "Framed").BorderParams().ManagedBorderColour, 0xC8030201u);
  EXPECT_EQ(ObjectAs<TVivText>(slide, "Label").TextColour(1), 0xFF0064C8u);
  // bcolor1 255 is red and bcolor2 blue (system colour order); both are converted.
  EXPECT_EQ(slide.Background().ManagedColour1, 0xFF0000FFu);
  EXPECT_EQ(slide.Background().ManagedColour2, 0xFFFF0000u);
}

}  // namespace
}  // namespace viv::test
