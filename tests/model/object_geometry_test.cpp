// Where objects are: orientation, placement frames composed with the parent's,
// the side-facing test, the time window, hiding by the parent, and mapping
// screen points back to objects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model_test_support.h"

namespace viv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr float f = kPerspective;

// A box of the slide's size, so that its fit factor is 1.
std::string Box(std::string_view name, std::string_view keys, std::string_view inner = {}) {
  return "object " + std::string(name) + ":Box\nGUID=" + std::string(name) + "\nSize=1920,1080\n" +
         std::string(keys) + std::string(inner) + "end\n";
}

void ExpectVec(const TVec3& actual, const TVec3& expected, const char* what) {
  SCOPED_TRACE(what);
  EXPECT_NEAR(actual.X, expected.X, 1e-3);
  EXPECT_NEAR(actual.Y, expected.Y, 1e-3);
  EXPECT_NEAR(actual.Z, expected.Z, 1e-3);
}

TEST(ObjectGeometry, FramesFromKeysAndValues) {
  struct TCase {
    const char* Name;
    std::string Objects;
    const char* Object;  // the one checked
    TVec3 Origin, X, Y, Z;
    TPointF Rect;
    bool Valid;
  };
  const TVec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, f}, centre{960, 540, 0};
  const TPointF rect{-960, -540};
  const TCase kCases[] = {
      {"plain", Box("B", ""), "B", centre, x, y, z, rect, true},
      {"percent", Box("B", Key(0, "Position=50,-50\n")), "B", {1440, 270, 0}, x, y, z, rect, true},
      {"absolute",
       Box("B", "PosMode=Absolute\n" + Key(0, "Position=100,-40\n")),
       "B",
       {1060, 500, 0},
       x,
       y,
       z,
       rect,
       true},
      {"absolute, any case",
       Box("B", "PosMode=absolute\n" + Key(0, "Position=100,-40\n")),
       "B",
       {1060, 500, 0},
       x,
       y,
       z,
       rect,
       true},
      // Depth ZPos × 1080 / 200 = 54 in both modes, along the slide's z axis.
      {"depth", Box("B", Key(0, "ZPos=10\n")), "B", {960, 540, 54 * f}, x, y, z, rect, true},
      {"absolute depth",
       Box("B", "PosMode=Absolute\n" + Key(0, "ZPos=10\n")),
       "B",
       {960, 540, 54 * f},
       x,
       y,
       z,
       rect,
       true},
      // Row 2 is scaled by the vertical scale.
      {"scales",
       Box("B", Key(0, "ScaleX=50\nScaleY=200\n")),
       "B",
       centre,
       {0.5f, 0, 0},
       {0, 2, 0},
       {0, 0, 2 * f},
       rect,
       true},
      {"angle", Box("B", Key(0, "Angle=90\n")), "B", centre, {0, 1, 0}, {-1, 0, 0}, z, rect, true},
      {"angle x",
       Box("B", Key(0, "AngleX=90\n")),
       "B",
       centre,
       x,
       {0, 0, -f},
       {0, 1, 0},
       rect,
       true},
      {"angle y",
       Box("B", Key(0, "AngleY=90\n")),
       "B",
       centre,
       {0, 0, f},
       y,
       {-1, 0, 0},
       rect,
       true},
      {"turned and scaled",
       Box("B", Key(0, "AngleY=90\nScaleX=50\nScaleY=200\n")),
       "B",
       centre,
       {0, 0, 0.5f * f},
       {0, 2, 0},
       {-2, 0, 0},
       rect,
       true},
      {"centre", Box("B", Key(0, "CenterPos=100,0\n")), "B", centre, x, y, z, {-1920, -540}, true},
      {"centre", Box("B", Key(0, "CenterPos=-100,50\n")), "B", centre, x, y, z, {0, -810}, true},
      {"no width", Box("B", Key(0, "ScaleX=0\n")), "B", centre, {0, 0, 0}, y, z, rect, false},
      {"no height",
       Box("B", Key(0, "ScaleY=0\n")),
       "B",
       centre,
       x,
       {0, 0, 0},
       {0, 0, 0},
       rect,
       false},
      // Children: positions in the parent's size, taken in the parent's frame.
      {"turned parent",
       Box("P", Key(0, "Angle=90\n"), Box("C", Key(0, "Position=50,0\n"))),
       "C",
       {960, 1020, 0},
       {0, 1, 0},
       {-1, 0, 0},
       z,
       rect,
       true},
      {"narrow parent",
       Box("P", Key(0, "ScaleX=50\n"), Box("C", Key(0, "Position=50,0\n"))),
       "C",
       {1200, 540, 0},
       {0.5f, 0, 0},
       y,
       z,
       rect,
       true},
      {"small parent",
       "object P:Box\nGUID=p\nSize=960,540\n"
       "object C:Box\nGUID=c\nSize=960,540\n" +
           Key(0, "Position=100,0\n") + "end\nend\n",
       "C",
       {1920, 540, 0},
       {2, 0, 0},
       {0, 2, 0},
       {0, 0, 2 * f},
       {-480, -270},
       true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(c.Objects));
    const TVivObject& object = ObjectNamed(slide, c.Object);
    const TPlacementFrame& frame = object.Frame();
    ExpectVec(frame.Origin, c.Origin, "origin");
    ExpectVec(frame.AxisX, c.X, "x");
    ExpectVec(frame.AxisY, c.Y, "y");
    ExpectVec(frame.AxisZ, c.Z, "z");
    EXPECT_NEAR(object.RectOrigin().X, c.Rect.X, 1e-3);
    EXPECT_NEAR(object.RectOrigin().Y, c.Rect.Y, 1e-3);
    EXPECT_EQ(object.FrameValid(), c.Valid);
  }
}

TEST(ObjectGeometry, TheSlideFrame) {
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(""));
  EXPECT_FLOAT_EQ(slide.PerspectiveFactor(), f);
  ExpectVec(slide.Frame().Origin, {960, 540, 0}, "origin");
  ExpectVec(slide.Frame().AxisZ, {0, 0, f}, "z");
  EXPECT_EQ(slide.Size(), (TSizeF{1920, 1080}));
  slide.SetOrigin({100, 50, 0});
  slide.UpdateGeometry(true);
  ExpectVec(slide.Frame().Origin, {100, 50, 0}, "moved");
  // The camera is a slide height in front of the centre; a deeper one
  // stretches depths (f = 2160 × cot 30° / 1080).
  show.Host().SetCamera({960, 540, -2160});
  TVivSlide& deeper = show.Load(OneSlideProject(""));
  EXPECT_FLOAT_EQ(deeper.PerspectiveFactor(), 2 * f);
  EXPECT_THAT(Raised([&] {
                show.Host().SetCamera({0, 0, 0});
              }),
              ::testing::HasSubstr("  Camera.Z = 0  "));
}

TEST(ObjectGeometry, HideModeOnATurningCard) {
  // AngleY turns 0 -> 180 over 1800 ms: 89° at 890 ms, 91° at 910 ms.
  struct TCase {
    int HideMode;
    double Time;
    bool Shown;
  };
  const TCase kCases[] = {
      {0, 890, true},   {0, 910, true},  {1, 890, true},  {1, 910, false},
      {1, 1800, false}, {2, 890, false}, {2, 910, true},  {2, 0, false},
      {3, 890, false},  {3, 910, false}, {4, 890, false}, {4, 910, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.HideMode) + " at " + std::to_string(c.Time));
    TTestShow show;
    TVivSlide& slide = show.Load(
        OneSlideProject(Box("Card", "HideMode=" + std::to_string(c.HideMode) + "\n" +
                                        Key(0, "AngleY=0\n") + Key(1800, "AngleY=180\n"))),
        0, c.Time);
    EXPECT_EQ(ObjectNamed(slide, "Card").IsShown(), c.Shown);
    TRecordingDrawer drawer;
    slide.Draw(drawer);
    EXPECT_EQ(drawer.Drawn.size(), c.Shown ? 1u : 0u);
  }
}

TEST(ObjectGeometry, ChildrenHiddenWithTheirParent) {
  struct TCase {
    const char* Name;
    std::string CardKeys, ChildKeys;
    const char* Angle;
    std::vector<std::string> Drawn;
    bool ChildHidden, GrandHidden;
  };
  const TCase kCases[] = {
      {"back, child invisible", "HideMode=1\nChildInvis=1\n", "", "120", {}, true, true},
      {"back, children stay", "HideMode=1\n", "", "120", {"Child", "Grand"}, false, false},
      {"front", "HideMode=1\nChildInvis=1\n", "", "60", {"Card", "Child", "Grand"}, false, false},
      {"never hidden", "ChildInvis=1\n", "", "120", {"Card", "Child", "Grand"}, false, false},
      // The child hides itself and its own child; the card hides only itself.
      {"middle", "HideMode=1\n", "HideMode=1\nChildInvis=1\n", "120", {}, false, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    TTestShow show;
    TVivSlide& slide = show.Load(
        OneSlideProject(Box("Card", c.CardKeys + Key(0, "AngleY=" + std::string(c.Angle) + "\n"),
                            Box("Child", c.ChildKeys, Box("Grand", "")))));
    EXPECT_EQ(ObjectNamed(slide, "Child").HiddenByParent(), c.ChildHidden);
    EXPECT_EQ(ObjectNamed(slide, "Grand").HiddenByParent(), c.GrandHidden);
    EXPECT_FALSE(ObjectNamed(slide, "Card").HiddenByParent());
    TRecordingDrawer drawer;
    slide.Draw(drawer);
    EXPECT_EQ(drawer.Drawn, c.Drawn);
    // Hidden objects are not hit either; what is left under the centre is the slide.
    TVivObject* hit = slide.FindAt({960, 540});
    std::string hitName = hit == &slide ? "slide" : hit->Props()->Name;
    EXPECT_EQ(hitName, c.Drawn.empty() ? "slide" : c.Drawn.back());
  }
}

// Slide 2 of three runs 5000 - 9000 with a 1000 ms transition on each side.
std::string ThreeSlides(std::string_view secondSlideObjects) {
  return "[Main]\nopt_repeat=close\nobject TheEffect:AnEffect\ntime=1000\n"
         "object d:dissolve\nchecked=1\nend\nend\n"
         "[Times]\nopt_slidescount=3\nopt_synchpos1=5000\nopt_synchpos2=9000\n"
         "opt_synchpos3=12000\n"
         "[Slide1]\nobject TheEffect:AnEffect\nref=quick\nend\n"
         "[Slide2]\nobject TheEffect:AnEffect\nref=default\nend\nobject Container:Root\n" +
         std::string(secondSlideObjects) +
         "end\n[Slide3]\nobject TheEffect:AnEffect\nref=default\nend\n";
}

TEST(ObjectTimeWindow, DeltaTimesCutTheSlideWindow) {
  TTestShow show;
  TVivSlide& slide = show.Load(
      ThreeSlides(Box("Late", "DeltaTime1=1000\nDeltaTime2=500\n") + Box("Always", "")), 1);
  EXPECT_EQ(slide.GetSlideTime(0), 5000);
  EXPECT_EQ(slide.GetSlideTime(1), 6000);
  EXPECT_EQ(slide.GetSlideTime(2), 9000);
  EXPECT_EQ(slide.GetSlideTime(3), 10000);
  struct TCase {
    double Time;  // absolute
    bool Late, Always;
  };
  const TCase kCases[] = {
      {4999, false, false}, {5000, false, true},  {5999, false, true},
      {6000, true, true},   {8000, true, true},   {9500, true, true},
      {9501, false, true},  {10000, false, true}, {10001, false, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Time);
    slide.Animate(true, c.Time);
    EXPECT_EQ(ObjectNamed(slide, "Late").Visible(), c.Late);
    EXPECT_EQ(ObjectNamed(slide, "Always").Visible(), c.Always);
    std::vector<std::string> drawn;
    if (c.Late) drawn.push_back("Late");
    if (c.Always) drawn.push_back("Always");
    TRecordingDrawer drawer;
    slide.Draw(drawer);
    EXPECT_EQ(drawer.Drawn, drawn);
  }
}

TEST(ObjectTimeWindow, KeyframeTimesAreSlideRelative) {
  TTestShow show;
  TVivSlide& slide = show.Load(
      ThreeSlides(Box("B", "", Key(0, "Opacity=0\n") + Key(2000, "Opacity=100\n"))), 1, 500);
  EXPECT_FLOAT_EQ(ObjectNamed(slide, "B").Opacity(), 25);
  EXPECT_FLOAT_EQ(ObjectNamed(slide, "B").GetOpacity(), 25);
}

TEST(ObjectDrawState, OpacityBlurAndChanges) {
  const std::string objects =
      Box("B", Key(0, "Opacity=40\nBlur=10\n") + Key(2000, "Opacity=80\nBlur=10\n"));
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(objects));
  TVivObject& box = ObjectNamed(slide, "B");
  EXPECT_FLOAT_EQ(box.GetOpacity(), 40);
  EXPECT_FLOAT_EQ(box.GetBlur(), 192);  // the slide's width × 10 %

  // Changes are reported until drawn, and again when a value moves.
  EXPECT_TRUE(slide.IsChanged());
  slide.CommitState(true);
  EXPECT_FALSE(slide.IsChanged());
  slide.Animate(true, 0);
  EXPECT_FALSE(slide.IsChanged());
  slide.Animate(true, 1000);
  EXPECT_TRUE(box.IsChanged());
  EXPECT_TRUE(slide.IsChanged());
  slide.CommitState(true);
  box.SetShadowAngle(45);  // the value it has
  EXPECT_FALSE(box.IsChanged());
  box.SetShadowAngle(90);
  EXPECT_TRUE(slide.IsChanged());

  // A dialog page scales its objects' opacity by its own value.
  auto dialog = MakeRef<TVivDialog>(TRef<TVivSlideHost>(&show.Host()), 0);
  dialog->SetOpacityScale(50);
  dialog->Load(show.Source());
  dialog->Animate(true, 1000);
  EXPECT_FLOAT_EQ(ObjectNamed(*dialog, "B").GetOpacity(), 30);
}

TEST(ObjectHitTest, ScreenPointsInObjectCoordinates) {
  struct TCase {
    const char* Name;
    std::string Keys;
    TPointF Screen;
    bool Inside;
    TPointF Local;
  };
  const TCase kCases[] = {
      {"centre", "", {960, 540}, true, {960, 540}},
      {"corner", "", {0, 0}, true, {0, 0}},
      {"far corner", "", {1920, 1080}, true, {1920, 1080}},
      {"left of it", "", {-1, 540}, false, {-1, 540}},
      {"narrow", Key(0, "ScaleX=50\n"), {500, 540}, true, {40, 540}},
      {"narrow, outside", Key(0, "ScaleX=50\n"), {400, 540}, false, {-160, 540}},
      // Turned a quarter: screen (+100, +50) from the centre is u 50, v -100.
      {"turned", Key(0, "Angle=90\n"), {1060, 590}, true, {1010, 440}},
      // 540 × f deep: the ray from the camera meets it 1.8660254 times further out.
      {"deep", Key(0, "ZPos=100\n"), {1474, 540}, true, {1919.137f, 540}},
      {"deep, outside", Key(0, "ZPos=100\n"), {1475, 540}, false, {1920.998f, 540}},
      {"offset centre", Key(0, "CenterPos=100,100\n"), {900, 500}, true, {1860, 1040}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(Box("B", c.Keys)));
    TVivObject& box = ObjectNamed(slide, "B");
    TPointF local;
    EXPECT_EQ(box.ToLocal(c.Screen, local), c.Inside);
    EXPECT_NEAR(local.X, c.Local.X, 0.01);
    EXPECT_NEAR(local.Y, c.Local.Y, 0.01);
    EXPECT_EQ(box.HitTest(c.Screen, false), c.Inside ? &box : nullptr);
  }
  // Degenerate frames are missed without error, and so are a card edge-on to
  // the camera (its plane meets every ray at the camera) and a box behind it.
  for (const char* keys : {"ScaleX=0\n", "ScaleY=0\n", "AngleY=90\n", "ZPos=-300\n"}) {
    SCOPED_TRACE(keys);
    TTestShow show;
    TVivSlide& slide = show.Load(OneSlideProject(Box("Back", "") + Box("B", Key(0, keys))));
    TPointF local;
    for (TPointF point : {TPointF{900, 500}, TPointF{960, 540}, TPointF{100, 100}}) {
      EXPECT_FALSE(ObjectNamed(slide, "B").ToLocal(point, local));
      EXPECT_EQ(slide.FindAt(point), &ObjectNamed(slide, "Back"));
    }
  }
}

TEST(ObjectHitTest, FindAtSearchesTopmostFirst) {
  // Back covers the slide; Front, transparent for clicks, its middle half;
  // Inner, inside Front, the middle quarter.
  TTestShow show;
  TVivSlide& slide = show.Load(OneSlideProject(
      Box("Back", "") + Box("Front", "TranspForClick=1\n" + Key(0, "ScaleX=50\nScaleY=50\n"),
                            Box("Inner", Key(0, "ScaleX=50\nScaleY=50\n")))));
  auto clickable = [](const TVivObject& object, void*) { return !object.TranspForClick(); };
  struct TCase {
    TPointF Point;
    const char* Any;
    const char* Clickable;
  };
  const TCase kCases[] = {
      {{960, 540}, "Inner", "Inner"},
      {{500, 300}, "Front", "Back"},
      {{100, 100}, "Back", "Back"},
      {{-10, -10}, "", ""},
  };
  auto name = [](TVivObject* object) { return object ? object->Props()->Name : std::string(); };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.Point.X) + "," + std::to_string(c.Point.Y));
    EXPECT_EQ(name(slide.FindAt(c.Point)), c.Any);
    EXPECT_EQ(name(slide.HitTest(c.Point, true)), c.Any);
    EXPECT_EQ(name(slide.FindAt(c.Point, clickable)), c.Clickable);
  }
  // Without recursion only the object itself counts.
  EXPECT_EQ(ObjectNamed(slide, "Front").HitTest({960, 540}, false), &ObjectNamed(slide, "Front"));
  EXPECT_EQ(ObjectNamed(slide, "Front").HitTest({100, 100}, false), nullptr);
}

}  // namespace
}  // namespace viv::test
