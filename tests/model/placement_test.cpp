// Placement: fit factors, the shown part of a picture, borders, texture
// reduction levels and shadow offsets, alone and on image objects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/placement.h"
#include "model_test_support.h"

namespace viv::test {
namespace {

using ::testing::HasSubstr;

void ExpectRect(const TRectF& actual, const TRectF& expected) {
  EXPECT_NEAR(actual.Left, expected.Left, 1e-3);
  EXPECT_NEAR(actual.Top, expected.Top, 1e-3);
  EXPECT_NEAR(actual.Right, expected.Right, 1e-3);
  EXPECT_NEAR(actual.Bottom, expected.Bottom, 1e-3);
}

TEST(Placement, FitFactors) {
  struct TCase {
    TFitMode Mode;
    TSizeF Size, Parent;
    float K;
  };
  const TCase kCases[] = {
      {TFitMode::PlaceInto, {800, 600}, {1920, 1080}, 1.8f},
      {TFitMode::Cover, {800, 600}, {1920, 1080}, 2.4f},
      {TFitMode::PlaceInto, {600, 800}, {1920, 1080}, 1.35f},
      {TFitMode::Cover, {600, 800}, {1920, 1080}, 3.2f},
      {TFitMode::PlaceInto, {3840, 2160}, {1920, 1080}, 0.5f},
      {TFitMode::PlaceInto, {0, 600}, {1920, 1080}, 0},
      {TFitMode::Cover, {800, 0}, {1920, 1080}, 0},
      {TFitMode::PlaceInto, {800, 600}, {0, 1080}, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.Size.Width) + "x" + std::to_string(c.Size.Height));
    EXPECT_FLOAT_EQ(FitFactor(c.Mode, c.Size, c.Parent), c.K);
  }
  EXPECT_THAT(Raised([] {
                FitFactor(TFitMode::None, {1, 1}, {1, 1});
              }),
              HasSubstr("FitMode None is not supported"));
}

TEST(Placement, AspectUnits) {
  struct TCase {
    bool Use;
    float Aspect, W, H;
    TPointF Units;
  };
  const TCase kCases[] = {
      {true, 1, 800, 600, {0.0133333f, 0.01f}},  // 0.01 × 800 / 600
      {true, 2, 800, 600, {0.01f, 0.015f}},      // 0.01 × 600 × 2 / 800
      {true, 4.0f / 3, 800, 600, {0.01f, 0.01f}}, {false, 2, 800, 600, {0.01f, 0.01f}},
      {true, 0, 800, 600, {0.01f, 0.01f}},        {true, 2, 800, 0, {0.01f, 0.01f}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Aspect);
    TPointF units = AspectUnits(c.Use, c.Aspect, c.W, c.H);
    EXPECT_NEAR(units.X, c.Units.X, 1e-6);
    EXPECT_NEAR(units.Y, c.Units.Y, 1e-6);
  }
}

TEST(Placement, VisibleSourceOfAnImage) {
  struct TCase {
    const char* Name;
    TBorderParams Settings;
    float Zoom;
    TPointF Offset;
    TRectF Source;
    float Border;
    TSizeF Size;
  };
  TBorderParams plain;
  TBorderParams square = plain;
  square.UseAspect = true;
  square.Aspect = 1;
  TBorderParams wide = square;
  wide.Aspect = 2;
  TBorderParams ownAspect = square;
  ownAspect.Aspect = 0;
  TBorderParams cropped = plain;
  cropped.Crop = true;
  cropped.CropRect = {10, 0, 10, 0};
  TBorderParams bordered = plain;
  bordered.Border = true;
  bordered.BorderWidth = 5;
  TBorderParams cropBorder = bordered;
  cropBorder.Crop = true;
  cropBorder.CropRect = {0, 10, 0, 10};
  TBorderParams squareBorder = bordered;
  squareBorder.UseAspect = true;
  squareBorder.Aspect = 1;
  TBorderParams overCropped = plain;
  overCropped.Crop = true;
  overCropped.CropRect = {60, 0, 60, 0};
  const TCase kCases[] = {
      {"whole", plain, 100, {}, {0, 0, 800, 600}, 0, {800, 600}},
      {"aspect 1", square, 100, {}, {100, 0, 700, 600}, 0, {600, 600}},
      {"aspect 2", wide, 100, {}, {0, 100, 800, 500}, 0, {800, 400}},
      {"aspect 0 is the picture's", ownAspect, 100, {}, {0, 0, 800, 600}, 0, {800, 600}},
      {"crop", cropped, 100, {}, {80, 0, 720, 600}, 0, {640, 600}},
      {"border", bordered, 100, {}, {0, 0, 800, 600}, 30, {860, 660}},
      // The border follows the height before the crop.
      {"crop and border", cropBorder, 100, {}, {0, 60, 800, 540}, 30, {860, 540}},
      {"aspect and border", squareBorder, 100, {}, {100, 0, 700, 600}, 30, {660, 660}},
      {"cropped away", overCropped, 100, {}, {0, 0, 800, 600}, 0, {800, 600}},
      {"zoom 200", plain, 200, {}, {200, 150, 600, 450}, 0, {400, 300}},
      {"zoom 200 right", plain, 200, {100, 0}, {400, 150, 800, 450}, 0, {400, 300}},
      {"zoom 200 top", plain, 200, {0, -100}, {200, 0, 600, 300}, 0, {400, 300}},
      {"offset limited", plain, 200, {500, 0}, {400, 150, 800, 450}, 0, {400, 300}},
      {"zoom 400 half left", plain, 400, {-50, 0}, {150, 225, 350, 375}, 0, {200, 150}},
      {"zoom 50 counts as 100", plain, 50, {}, {0, 0, 800, 600}, 0, {800, 600}},
      {"zoom 0 counts as 100", plain, 0, {}, {0, 0, 800, 600}, 0, {800, 600}},
      {"offset without zoom", plain, 100, {50, 0}, {0, 0, 800, 600}, 0, {800, 600}},
      {"aspect 1 zoom 200", square, 200, {}, {250, 150, 550, 450}, 0, {300, 300}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    TSourceLayout layout = VisibleSource(c.Settings, 800, 600, c.Zoom, c.Offset);
    ExpectRect(layout.Source, c.Source);
    EXPECT_NEAR(layout.Border, c.Border, 1e-3);
    EXPECT_NEAR(layout.Size.Width, c.Size.Width, 1e-3);
    EXPECT_NEAR(layout.Size.Height, c.Size.Height, 1e-3);
  }
}

TEST(Placement, TextureReductionLevels) {
  struct TCase {
    float W, H, DrawnW, DrawnH;
    int Level;
  };
  const TCase kCases[] = {
      {4000, 3000, 900, 675, 2},  // to 1000 × 750
      {4000, 3000, 1000, 750, 1},      {4000, 3000, 999, 749, 2},   {4000, 3000, 2000, 1500, 0},
      {4000, 3000, 1999, 1499, 1},     {4000, 3000, 4000, 3000, 0}, {4000, 3000, 8000, 6000, 0},
      {800, 600, 900, 675, 0},         {4000, 3000, 100, 5000, 0},  // both sides must be larger
      {2000, 1500, 999.6f, 749.6f, 0},                              // drawn sizes are rounded first
      {4000, 3000, 0, 0, 11},      // at least one pixel: 12 halvings reach 1 × 1
      {4001, 3001, 1000, 750, 2},  // 2001 × 1501, then 1001 × 751
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.DrawnW) + "x" + std::to_string(c.DrawnH));
    EXPECT_EQ(TextureReductionLevel(c.W, c.H, c.DrawnW, c.DrawnH), c.Level);
  }
}

TEST(Placement, ShadowDisplacement) {
  struct TCase {
    const char* Name;
    TVec3 AxisX, AxisY;
    double Angle;
    bool ThreeD;
    TPointF Offset;
  };
  // Distance 1.5 of a base of 100: d = sqrt(|X| |Y|) × 1.5.
  const TCase kCases[] = {
      {"right", {1, 0, 0}, {0, 1, 0}, 0, false, {1.5f, 0}},
      {"down", {1, 0, 0}, {0, 1, 0}, 90, false, {0, 1.5f}},
      {"down right", {1, 0, 0}, {0, 1, 0}, 45, false, {1.06066f, 1.06066f}},
      {"left", {2, 0, 0}, {0, 0.5f, 0}, 180, false, {-1.5f, 0}},
      {"scaled", {2, 0, 0}, {0, 2, 0}, 0, false, {3, 0}},
      // Turned a quarter: screen directions ignore it, object axes follow it.
      {"turned 2D", {0, 1, 0}, {-1, 0, 0}, 0, false, {1.5f, 0}},
      {"turned 3D", {0, 1, 0}, {-1, 0, 0}, 0, true, {0, 1.5f}},
      {"turned 3D 90", {0, 1, 0}, {-1, 0, 0}, 90, true, {-1.5f, 0}},
      {"scaled 3D", {0, 2, 0}, {-2, 0, 0}, 0, true, {0, 3}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    TPointF offset = ShadowDisplacement(c.AxisX, c.AxisY, 1.5f, c.Angle, 100, c.ThreeD);
    EXPECT_NEAR(offset.X, c.Offset.X, 1e-4);
    EXPECT_NEAR(offset.Y, c.Offset.Y, 1e-4);
  }
}

// One image object in a 1920 x 1080 slide; every call loads a new slide.
class ImagePlacementTest : public ::testing::Test {
 protected:
  TVivImage& Image(int32_t w, int32_t h, const std::string& keys, double time = 0,
                   const std::string& keyframes = {}) {
    std::string picture = fShow.Picture("p.tpic", w, h);
    TVivSlide& slide = fShow.Load(OneSlideProject("object P:Image\nGUID=p\nImageName=" + picture +
                                                  "\n" + keys + keyframes + "end\n"),
                                  0, time);
    return ObjectAs<TVivImage>(slide, "P");
  }
  TTestShow fShow;
};

TEST_F(ImagePlacementTest, KeysGiveSizeSourceAndFit) {
  struct TCase {
    const char* Keys;
    TRectF Source;
    TSizeF Size;
    float K;
  };
  const TCase kCases[] = {
      {"", {0, 0, 800, 600}, {800, 600}, 1.8f},
      {"FitMode=Cover\n", {0, 0, 800, 600}, {800, 600}, 2.4f},
      {"FitMode=cover\n", {0, 0, 800, 600}, {800, 600}, 2.4f},
      {"FitMode=Stretch\n", {0, 0, 800, 600}, {800, 600}, 1.8f},
      {"EnableAspect=1\nAspect=1\n", {100, 0, 700, 600}, {600, 600}, 1.8f},
      {"EnableAspect=0\nAspect=1\n", {0, 0, 800, 600}, {800, 600}, 1.8f},
      {"EnableCrop=1\nCropRect=10,0,10,0\n", {80, 0, 720, 600}, {640, 600}, 1.8f},
      {"EnableCrop=0\nCropRect=10,0,10,0\n", {0, 0, 800, 600}, {800, 600}, 1.8f},
      // 860 × 660 into 1920 × 1080: min(2.2326, 1.6364).
      {"EnableBorder=1\nBorderWidth=5\n", {0, 0, 800, 600}, {860, 660}, 1080.0f / 660},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Keys);
    TVivImage& image = Image(800, 600, c.Keys);
    ExpectRect(image.SourceRect(), c.Source);
    EXPECT_EQ(image.Size(), c.Size);
    EXPECT_FLOAT_EQ(image.FitFactor(), c.K);
    EXPECT_NEAR(image.Frame().AxisX.X, c.K, 1e-5);
  }
}

TEST_F(ImagePlacementTest, BorderThicknessIsInPicturePixels) {
  TVivImage& image = Image(800, 600, "EnableBorder=1\nBorderWidth=5\nBorderColor=255,0,0,128\n");
  EXPECT_FLOAT_EQ(image.BorderThickness(), 30);
  EXPECT_EQ(image.BorderParams().BorderColour, 0x80FF0000u);
}

TEST_F(ImagePlacementTest, ZoomAndOffsetKeyframesMoveTheSource) {
  // Zoom 100 -> 300 and OffsX 0 -> 100 over 2 s; at 1 s the zoom is 200 and
  // the zoom-aware offset (0 + 200 × 0.5) / 1 = 100: the right half's middle.
  TVivImage& image =
      Image(800, 600, "", 1000, Key(0, "Zoom=100\nOffsX=0\n") + Key(2000, "Zoom=300\nOffsX=100\n"));
  EXPECT_FLOAT_EQ(image.Zoom(), 200);
  EXPECT_FLOAT_EQ(image.Value(kFrameX), 100);
  ExpectRect(image.SourceRect(), {400, 150, 800, 450});
  EXPECT_EQ(image.Size(), (TSizeF{400, 300}));
}

TEST_F(ImagePlacementTest, ForcedAspectSetsTheNodeUnits) {
  TVivImage& image = Image(800, 600, "EnableAspect=1\nAspect=1\n");
  EXPECT_NEAR(image.Props()->ScaleUnitX, 0.0133333f, 1e-6);
  EXPECT_FLOAT_EQ(image.Props()->ScaleUnitY, 0.01f);
}

TEST_F(ImagePlacementTest, MissingPictureDrawsNothing) {
  fShow.Write("bad.tpic", "not a picture");
  TVivSlide& slide =
      fShow.Load(OneSlideProject("object P:Image\nGUID=p\nImageName={dir}/none.tpic\nend\n"
                                 "object Q:Image\nGUID=q\nImageName={dir}/bad.tpic\nend\n"));
  for (const char* name : {"P", "Q"}) {
    TVivImage& image = ObjectAs<TVivImage>(slide, name);
    EXPECT_TRUE(image.Picture().Empty()) << name;
    EXPECT_EQ(image.Size(), (TSizeF{0, 0}));
  }
  TRecordingDrawer drawer;
  slide.Draw(drawer);
  EXPECT_TRUE(drawer.Drawn.empty());
}

TEST_F(ImagePlacementTest, LargestDrawnSizeChoosesTheTextureLevel) {
  // Opened in a 900 x 675 window: 4000 x 3000 fits at 0.225, and the largest
  // keyframe scale is 100, so the picture is drawn at most 900 x 675.
  std::string picture = fShow.Picture("big.tpic", 4000, 3000);
  fShow.Open(
      "[Main]\nopt_scr_width=900\nopt_scr_height=675\n"
      "[Times]\nopt_slidescount=1\nopt_synchpos1=5000\n"
      "[Slide1]\nobject Container:Root\nobject P:Image\nGUID=p\nImageName=" +
      picture + "\n" + Key(0, "ScaleX=50\nScaleY=50\n") + Key(4000, "ScaleX=100\nScaleY=100\n") +
      "end\nend\n");
  auto slide = MakeRef<TVivSlide>(TRef<TVivSlideHost>(&fShow.Host()), 0);
  slide->Load(fShow.Source());
  slide->AnimateSlide(1000);
  slide->EstimateDrawnSizes();
  TVivImage& image = ObjectAs<TVivImage>(*slide, "P");
  EXPECT_NEAR(image.MaxDrawnSize().Width, 900, 0.01);
  EXPECT_NEAR(image.MaxDrawnSize().Height, 675, 0.01);
  EXPECT_EQ(slide->MaxDrawnSize(), (TSizeF{900, 675}));
  // The pass ends where the slide was.
  EXPECT_FLOAT_EQ(image.Value(kScaleX), 62.5f);
  EXPECT_EQ(image.ReductionLevel(1), 2);
  // A larger display would need level 0, but a level once used is kept.
  EXPECT_EQ(image.ReductionLevel(4), 2);
  // A smaller one may still reduce further (450 x 338 drawn).
  EXPECT_EQ(image.ReductionLevel(0.5f), 3);
  EXPECT_EQ(image.ReductionLevel(1), 3);
}

TEST_F(ImagePlacementTest, NearerObjectsAreDrawnLarger) {
  // A 900 x 675 box at ZPos -50 in a 900 x 675 slide: depth -168.75 × f in
  // front of the screen, camera at -675: q = 1 / (1 - 292.28 / 675) = 1.76371.
  fShow.Open(
      "[Main]\nopt_scr_width=900\nopt_scr_height=675\n"
      "[Times]\nopt_slidescount=1\nopt_synchpos1=5000\n"
      "[Slide1]\nobject Container:Root\nobject B:Box\nGUID=b\nSize=900,675\n" +
      Key(0, "ZPos=-50\n") + Key(1000, "ZPos=0\n") + "end\nend\n");
  auto slide = MakeRef<TVivSlide>(TRef<TVivSlideHost>(&fShow.Host()), 0);
  slide->Load(fShow.Source());
  slide->EstimateDrawnSizes();
  TVivObject& box = ObjectNamed(*slide, "B");
  EXPECT_NEAR(box.MaxDrawnSize().Width, 900 * 1.7637079f, 0.05);
  EXPECT_NEAR(box.MaxDrawnSize().Height, 675 * 1.7637079f, 0.05);
}

TEST_F(ImagePlacementTest, ZoomedPicturesAreDrawnLarger) {
  // Zoom 200 shows 400 x 300 of the picture, fitted 3.6 times: 1440 x 1080
  // on screen, holding twice the detail.
  TVivImage& image = Image(800, 600, Key(0, "Zoom=200\n"));
  image.GetSlide()->EstimateDrawnSizes();
  EXPECT_EQ(image.Size(), (TSizeF{400, 300}));
  EXPECT_NEAR(image.MaxDrawnSize().Width, 2880, 0.01);
  EXPECT_NEAR(image.MaxDrawnSize().Height, 2160, 0.01);
}

TEST_F(ImagePlacementTest, ShadowOffsetOfAnImage) {
  // Axes of length 1.8, base sqrt(800 × 600) = 692.82: d = 1.8 × 1.5 × 6.9282.
  struct TCase {
    const char* Keys;
    TPointF Offset;
  };
  const TCase kCases[] = {
      {"ShadowAngle=0\n", {18.7061f, 0}},
      {"ShadowAngle=90\n", {0, 18.7061f}},
      {"", {13.2272f, 13.2272f}},  // 45 by default
      {"ShadowAngle=0\nShadowDistance=3\n", {37.4123f, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Keys);
    TVivImage& image = Image(800, 600, c.Keys);
    EXPECT_NEAR(image.ShadowOffset().X, c.Offset.X, 1e-3);
    EXPECT_NEAR(image.ShadowOffset().Y, c.Offset.Y, 1e-3);
  }
}

}  // namespace
}  // namespace viv::test
