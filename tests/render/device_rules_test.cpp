// The device layer's rules that need no device: present pacing, the quality
// tier, surface formats, the screen projection.
#include <gtest/gtest.h>

#include <vector>

#include "base/exceptions.h"
#include "render/box_fill.h"
#include "render/device.h"
#include "render/gauss_blur_schedule.h"
#include "render/present_pacing.h"
#include "render/surface_formats.h"

namespace viv {
namespace {

class TFakeClock : public TPresentClock {
 public:
  int64_t NowMs() override { return Now; }
  void SleepMs(int64_t ms) override {
    Slept.push_back(ms);
    Now += ms;
  }
  int64_t Now = 1000;
  std::vector<int64_t> Slept;
};

TEST(PresentPacing, WaitsForTheNextRefresh) {
  // 60 Hz: d = 1000 / 60 = 16 ms; the sleep is max(1, clamp(d + last - now, 1, d) - 3).
  struct TCase {
    int64_t Gap;  // ms from the previous present to this one's request
    int64_t Sleep;
  };
  const TCase kCases[] = {
      {5, 8},   // 16 - 5 = 11, less 3
      {0, 13},  // a whole frame ahead
      {14, 1},  // 16 - 14 = 2, less 3 is below 1
      {40, 1},  // late: at least 1 ms
      {12, 1},  // 4 - 3
      {10, 3},  // 6 - 3
  };
  TFakeClock clock;
  TPresentPacer pacer(clock);
  EXPECT_EQ(pacer.WaitBeforePresent(60), 1);  // nothing to wait for before the first
  pacer.Presented();
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Gap);
    clock.Now += c.Gap;
    EXPECT_EQ(pacer.WaitBeforePresent(60), c.Sleep);
    pacer.Presented();
  }
  // 100 Hz: d = 10; 2 ms after a present the wait is 8, less 3.
  clock.Now += 2;
  EXPECT_EQ(pacer.WaitBeforePresent(100), 5);
}

TEST(QualityTier, ByShaderVersionAndVendor) {
  struct TCase {
    int32_t Version, Vendor;
    int Tier;
  };
  const TCase kCases[] = {
      {PixelShaderVersion(1, 4), 0x10DE, 0},
      {PixelShaderVersion(1, 4), kIntelVendor, 0},
      {PixelShaderVersion(2, 0), kIntelVendor, 1},
      {PixelShaderVersion(2, 0xB), kIntelVendor, 1},
      {PixelShaderVersion(2, 0), 0x10DE, 2},
      {PixelShaderVersion(3, 0), kIntelVendor, 2},
      {PixelShaderVersion(3, 0), 0, 2},
      {0, 0x10DE, 0},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Version);
    EXPECT_EQ(QualityTierFor(c.Version, c.Vendor), c.Tier);
  }
}

TEST(SurfaceFormats, EveryFormatReadsAsArgbAndBack) {
  struct TCase {
    TSurfaceFormat Format;
    std::vector<uint8_t> Bytes;  // two pixels
    uint32_t First, Second;
  };
  const TCase kCases[] = {
      {TSurfaceFormat::Argb32,
       {0x10, 0x20, 0x30, 0x40, 0xFF, 0x00, 0x80, 0x00},
       0x40302010,
       0x008000FF},
      {TSurfaceFormat::Xrgb32,
       {0x10, 0x20, 0x30, 0x40, 0xFF, 0x00, 0x80, 0x00},
       0xFF302010,
       0xFF8000FF},
      {TSurfaceFormat::Rgb24, {0x10, 0x20, 0x30, 0xFF, 0x00, 0x80}, 0xFF302010, 0xFF8000FF},
      // 0x7C00 is all red (31 -> 255); 0x0200: green 16 -> 132.
      {TSurfaceFormat::X1r5g5b5, {0x00, 0x7C, 0x00, 0x02}, 0xFFFF0000, 0xFF008400},
      // 0xF800 all red; 0x07E0 all green (63 -> 255).
      {TSurfaceFormat::R5g6b5, {0x00, 0xF8, 0xE0, 0x07}, 0xFFFF0000, 0xFF00FF00},
      {TSurfaceFormat::L8, {0x00, 0x7F}, 0xFF000000, 0xFF7F7F7F},
      {TSurfaceFormat::P8, {0x05, 0xFF}, 0xFF050505, 0xFFFFFFFF},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Format));
    uint32_t argb[2];
    SurfaceRowToArgb(c.Format, c.Bytes.data(), 2, argb);
    EXPECT_EQ(argb[0], c.First);
    EXPECT_EQ(argb[1], c.Second);
    if (c.Format == TSurfaceFormat::P8) continue;
    // Written back, the colours give the same bytes (the unused bit of
    // X1r5g5b5 is written set; alpha of Xrgb32 as it came).
    std::vector<uint8_t> back(c.Bytes.size());
    ArgbRowToSurface(c.Format, argb, 2, back.data());
    std::vector<uint8_t> expected = c.Bytes;
    if (c.Format == TSurfaceFormat::X1r5g5b5) expected[1] |= 0x80, expected[3] |= 0x80;
    if (c.Format == TSurfaceFormat::Xrgb32) expected[3] = expected[7] = 0xFF;
    EXPECT_EQ(back, expected);
  }
  // A palette gives P8 its colours.
  uint32_t palette[256] = {};
  palette[5] = 0x80112233;
  uint8_t index = 5;
  uint32_t colour = 0;
  SurfaceRowToArgb(TSurfaceFormat::P8, &index, 1, &colour, palette);
  EXPECT_EQ(colour, 0x80112233u);
}

TEST(ScreenProjection, PixelCentresLandOnPixelCentres) {
  // Screen (x, y) of a 200 x 100 target: clip x = (x + 0.5) / 100 - 1, y = 1 - (y + 0.5) / 50.
  TMatrix4 m = ScreenProjection({200, 100});
  auto project = [&](float x, float y) {
    float v[4] = {x, y, 0, 1}, r[4] = {};
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r[j] += v[k] * m[k * 4 + j];
    return std::pair{r[0] / r[3], r[1] / r[3]};
  };
  auto [x0, y0] = project(-0.5f, -0.5f);  // the top left corner of pixel (0, 0)
  EXPECT_FLOAT_EQ(x0, -1);
  EXPECT_FLOAT_EQ(y0, 1);
  auto [x1, y1] = project(199.5f, 99.5f);
  EXPECT_FLOAT_EQ(x1, 1);
  EXPECT_FLOAT_EQ(y1, -1);
  EXPECT_EQ(FullMipChainLength({1000, 700}), 10);  // 1000, 500, ..., 1
  EXPECT_EQ(FullMipChainLength({1, 1}), 1);
}

TEST(BoxFill, CornerColoursOfEveryKind) {
  constexpr uint32_t a = 0xFFFF0000, b = 0xFF0000FF, mean = 0xFF800080;
  struct TCase {
    int Code;
    std::array<uint32_t, 4> Corners;  // top left, top right, bottom right, bottom left
  };
  const TCase kCases[] = {
      {kFillSolid, {a, a, a, a}},
      {kFillVertical, {a, a, b, b}},    // first colour along the top edge
      {kFillHorizontal, {a, b, b, a}},  // first colour down the left edge
      {4, {b, a, a, b}},
      {7, {b, b, a, a}},
      {kFillTopLeftToBottomRight, {a, mean, b, mean}},
      {kFillTopRightToBottomLeft, {mean, a, mean, b}},
      {2, {b, mean, a, mean}},
      {3, {mean, b, mean, a}},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Code);
    std::array<uint32_t, 4> corners = BoxCornerColours(c.Code, a, b);
    EXPECT_EQ(corners, c.Corners);
  }
  EXPECT_THROW(BoxCornerColours(9, a, b), EAssertionFailed);
  EXPECT_THROW(BoxCornerColours(-1, a, b), EAssertionFailed);
  // Opacity 50 of alpha 200 is 100; 33.3 of 255 is 84.9.
  EXPECT_EQ(ApplyBoxOpacity(0xC8112233, 50), 0x64112233u);
  EXPECT_EQ(ApplyBoxOpacity(0xFF112233, 33.3f), 0x55112233u);
  EXPECT_EQ(ApplyBoxOpacity(0xC8112233, 100), 0xC8112233u);
  EXPECT_EQ(ApplyBoxOpacity(0xC8112233, 0), 0x00112233u);
  EXPECT_EQ(MeanColour(0xFF000001, 0x00FFFFFF), 0x80808080u);
}

TEST(GaussBlur, PassScheduleByRadius) {
  struct TCase {
    double G;
    bool Mix;
    double MixAlpha;
    int32_t Full, Step;
    double Strength;
  };
  const TCase kCases[] = {
      {0, false, 0, 0, 1, 0},          // no blur: one pass pair that copies
      {0.5, true, 0.499995, 0, 1, 0},  // (0.5 - 0.00001) / 0.99999
      {1, false, 0, 0, 1, 0},         {4, false, 0, 0, 1, 0.5},  // (4 - 1) / 6
      {7, false, 0, 0, 1, 1},         {14, false, 0, 1, 2, 1},   // log2(2) = 1: one full pass
      {20, false, 0, 2, 4, 0.514573},                            // log2(20 / 7) = 1.514573
      {28, false, 0, 2, 4, 1},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.G);
    TGaussSchedule s = GaussScheduleFor(c.G);
    EXPECT_EQ(s.MixOnly, c.Mix);
    EXPECT_NEAR(s.MixAlpha, c.MixAlpha, 1e-6);
    EXPECT_EQ(s.FullPasses, c.Full);
    EXPECT_EQ(s.FinalStep, c.Step);
    EXPECT_NEAR(s.FinalStrength, c.Strength, 1e-6);
  }
  std::array<double, 4> full = GaussWeights(1);
  EXPECT_NEAR(full[3] + 2 * (full[2] + full[1] + full[0]), 1, 1e-6);
  EXPECT_EQ(GaussWeights(0), (std::array<double, 4>{0, 0, 0, 1}));
}

}  // namespace
}  // namespace viv
