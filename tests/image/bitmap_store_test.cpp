// Pixels, mip levels and picture sources: reductions, turns, conversions,
// caches and the assertion texts.
#include <gtest/gtest.h>

#include "image/bitmap_store.h"
#include "image_test_support.h"

namespace viv {
namespace {

using test::PatternBitmap;
using test::PatternColour;

TEST(MipLevels, SidesHalveRoundingUp) {
  struct TCase {
    int32_t Side;
    int Level;
    int32_t Expected;
  } cases[] = {{1001, 1, 501}, {601, 1, 301}, {1001, 2, 251}, {1, 5, 1},
               {2, 1, 1},      {7, 3, 1},     {4000, 2, 1000}};
  for (const TCase& c : cases)
    EXPECT_EQ(MipLevelSide(c.Side, c.Level), c.Expected) << c.Side << " at " << c.Level;
}

TEST(MipLevels, LevelForTargetSize) {
  struct TCase {
    int32_t W, H, TargetW, TargetH;
    int Expected;
  } cases[] = {
      {4000, 3000, 1000, 750, 2},  // halved while larger in both sides
      {4000, 3000, 999, 749, 3},  {800, 600, 800, 600, 0},
      {800, 600, 1920, 10, 0},    {1001, 601, 500, 300, 2},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(MipLevelForSize(c.W, c.H, c.TargetW, c.TargetH), c.Expected)
        << c.W << "x" << c.H << " for " << c.TargetW << "x" << c.TargetH;
}

TEST(Bitmap, ReduceHalfAveragesBlocksAndEdges) {
  // 3 x 3 grey: the last column and row average 2 x 1, 1 x 2 and 1 x 1 blocks.
  auto grey = MakeRef<TBitmap>(3, 3, TPixelFormat::Gray8);
  const uint8_t values[9] = {10, 20, 30, 40, 51, 60, 70, 80, 90};
  for (int i = 0; i < 9; ++i) grey->Row(i / 3)[i % 3] = values[i];
  TRef<TBitmap> half = ReduceHalf(*grey);
  ASSERT_EQ(half->Width(), 2);
  ASSERT_EQ(half->Height(), 2);
  EXPECT_EQ(half->Row(0)[0], 30);  // (10 + 20 + 40 + 51 + 2) / 4
  EXPECT_EQ(half->Row(0)[1], 45);  // (30 + 60 + 1) / 2
  EXPECT_EQ(half->Row(1)[0], 75);  // (70 + 80 + 1) / 2
  EXPECT_EQ(half->Row(1)[1], 90);
}

// Where pixel (x, y) of a 3 x 2 picture lands after each turn.
TEST(Bitmap, TurnsMovePixelsWhereTheOrientationSays) {
  struct TCase {
    int Orientation;
    int32_t Width, Height;
    // For each source pixel (x, y): its place in the turned picture.
    int32_t (*X)(int32_t x, int32_t y);
    int32_t (*Y)(int32_t x, int32_t y);
  } cases[] = {
      {1, 3, 2, [](int32_t x, int32_t) { return x; }, [](int32_t, int32_t y) { return y; }},
      {3, 3, 2, [](int32_t x, int32_t) { return 2 - x; }, [](int32_t, int32_t y) { return 1 - y; }},
      {6, 2, 3, [](int32_t, int32_t y) { return 1 - y; }, [](int32_t x, int32_t) { return x; }},
      {8, 2, 3, [](int32_t, int32_t y) { return y; }, [](int32_t x, int32_t) { return 2 - x; }},
  };
  for (const TCase& c : cases) {
    TRef<TBitmap> turned = ApplyTurning(PatternBitmap(3, 2, TPixelFormat::Rgb24),
                                        TurningForOrientation(c.Orientation));
    ASSERT_EQ(turned->Width(), c.Width) << c.Orientation;
    ASSERT_EQ(turned->Height(), c.Height) << c.Orientation;
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(turned->Pixel(c.X(x, y), c.Y(x, y)), PatternColour(x, y))
            << "orientation " << c.Orientation << " pixel " << x << "," << y;
  }
}

TEST(Bitmap, ConversionsKeepColourAndRefuseColourToGrey) {
  TRef<TBitmap> colour = PatternBitmap(2, 2, TPixelFormat::Argb32);
  colour->SetPixel(1, 1, 0x80102030);
  TRef<TBitmap> rgb = ConvertBitmap(*colour, TPixelFormat::Rgb24);
  EXPECT_EQ(rgb->Pixel(1, 1), 0xFF102030u);
  EXPECT_EQ(ConvertBitmap(*rgb, TPixelFormat::Argb32)->Pixel(1, 1), 0xFF102030u);
  auto grey = MakeRef<TBitmap>(1, 1, TPixelFormat::Gray8);
  grey->Row(0)[0] = 0x42;
  EXPECT_EQ(ConvertBitmap(*grey, TPixelFormat::Rgb24)->Pixel(0, 0), 0xFF424242u);
  try {
    ConvertBitmap(*rgb, TPixelFormat::Gray8);
    FAIL() << "colour became grey";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("'Invalid Combination Of Bitmap Parameters'"), std::string::npos);
  }
}

TEST(Bitmap, LimitsDeclineHugeSizes) {
  EXPECT_FALSE(PictureSizeAllowed(65535, 65535, "huge"));
  EXPECT_FALSE(PictureSizeAllowed(70000, 1, "wide"));
  EXPECT_FALSE(PictureSizeAllowed(0, 10, "empty"));
  EXPECT_TRUE(PictureSizeAllowed(16384, 16384, "largest"));
}

// A source that decodes the levels it is told to, counting its decodes.
class TTestStore : public TSysBitmapStore {
 public:
  TTestStore(int32_t w, int32_t h, TPixelFormat format, int directLevels)
      : TSysBitmapStore("test", w, h, format), fDirectLevels(directLevels) {}
  std::string_view ClassName() const override { return "TTestStore"; }
  std::string_view LoaderName() const override { return "test"; }
  int Decodes = 0;
  bool WrongSize = false;

 protected:
  TRef<TBitmap> DecodeLevel(int level) override {
    if (level >= fDirectLevels) return nullptr;
    ++Decodes;
    bool swapped = SwapsSides(Turning());
    int32_t w = MipLevelSide(swapped ? Height() : Width(), level) + (WrongSize ? 1 : 0);
    int32_t h = MipLevelSide(swapped ? Width() : Height(), level);
    return PatternBitmap(w, h, PixelFormat());
  }

 private:
  int fDirectLevels;
};

TEST(BitmapStore, LevelsAreCachedPerFormatAndReducedFromTheLevelAbove) {
  auto store = MakeRef<TTestStore>(1001, 601, TPixelFormat::Rgb24, 1);
  TRef<TBitmap> level1 = store->GetMipLevel(1);
  EXPECT_EQ(level1->Width(), 501);
  EXPECT_EQ(level1->Height(), 301);
  EXPECT_EQ(store->Decodes, 1);  // level 1 came from level 0
  EXPECT_EQ(store->GetMipLevel(1).Get(), level1.Get());
  TRef<TBitmap> argb = store->GetMipLevel(1, TPixelFormat::Argb32);
  EXPECT_EQ(argb->Format(), TPixelFormat::Argb32);
  EXPECT_EQ(store->GetMipLevel(1, TPixelFormat::Argb32).Get(), argb.Get());
  EXPECT_EQ(store->GetMipLevel(1, TPixelFormat::Rgb24).Get(), level1.Get());
  EXPECT_EQ(store->Decodes, 1);
  // The reduction is the 2 x 2 average of level 0.
  TRef<TBitmap> level0 = store->GetMipLevel(0);
  uint32_t a = level0->Pixel(2, 4), b = level0->Pixel(3, 4), c = level0->Pixel(2, 5),
           d = level0->Pixel(3, 5);
  auto avg = [&](int shift) {
    return ((a >> shift & 0xFF) + (b >> shift & 0xFF) + (c >> shift & 0xFF) + (d >> shift & 0xFF) +
            2) /
           4;
  };
  uint32_t expected = 0xFF000000u | avg(16) << 16 | avg(8) << 8 | avg(0);
  EXPECT_EQ(level1->Pixel(1, 2), expected);
}

TEST(BitmapStore, QuarterTurnsSwapTheSizeOfEveryLevel) {
  auto store = MakeRef<TTestStore>(5, 3, TPixelFormat::Rgb24, 2);
  store->SetTurning(TTurning::Clockwise);
  EXPECT_EQ(store->Width(), 3);
  EXPECT_EQ(store->Height(), 5);
  TRef<TBitmap> level0 = store->GetMipLevel(0);
  EXPECT_EQ(level0->Width(), 3);
  EXPECT_EQ(level0->Height(), 5);
  // The left column of the file's picture, read bottom to top, is the top row.
  EXPECT_EQ(level0->Pixel(0, 0), PatternColour(0, 2));
  EXPECT_EQ(level0->Pixel(2, 0), PatternColour(0, 0));
  TRef<TBitmap> level1 = store->GetMipLevel(1);  // decoded directly, then turned
  EXPECT_EQ(level1->Width(), 2);
  EXPECT_EQ(level1->Height(), 3);
  EXPECT_EQ(level1->Pixel(1, 0), PatternColour(0, 0));
}

TEST(BitmapStore, FailuresRaiseTheirAssertions) {
  struct TCase {
    int DirectLevels;
    bool WrongSize;
    int Level;
    const char* Text;
  } cases[] = {
      {0, false, 0, "'\"TTestStore.GetMipLevel(0)\" Not Assigned'"},
      {1, true, 0, "'Incorrect MipLevelIndex'"},
      {1, false, -1, "'Incorrect MipLevelIndex'"},
      {1, false, 32, "'Incorrect MipLevelIndex'"},
  };
  for (const TCase& c : cases) {
    auto store = MakeRef<TTestStore>(4, 4, TPixelFormat::Rgb24, c.DirectLevels);
    store->WrongSize = c.WrongSize;
    try {
      store->GetMipLevel(c.Level);
      ADD_FAILURE() << c.Text << " not raised";
    } catch (const EAssertionFailed& e) {
      EXPECT_TRUE(e.Message().starts_with(std::string("Asseertion with message: ") + c.Text))
          << e.Message();
    }
  }
}

TEST(BitmapStore, ImagesShareTheirSource) {
  auto store = MakeRef<TTestStore>(6, 4, TPixelFormat::Rgb24, 1);
  TImage image(store);
  TImage copy = image;
  EXPECT_EQ(copy.Source(), image.Source());
  EXPECT_EQ(copy.Width(), 6);
  EXPECT_EQ(copy.Name(), "test");
  EXPECT_EQ(store->RefCount(), 3);
}

}  // namespace
}  // namespace viv
