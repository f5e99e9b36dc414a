// Each of the drawer's pixel shaders on known inputs, against its arithmetic
// worked out here in doubles.
#include "render/shaders/pixel_shaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "render/colour_lookup_texture.h"
#include "render/surface_formats.h"
#include "render_test_support.h"

namespace viv {
namespace {

using test::TOffscreenRenderer;

struct TRgba {
  double R = 0, G = 0, B = 0, A = 1;
};

uint32_t Pack(TRgba c) {
  auto byte = [](double v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return byte(c.A) << 24 | byte(c.R) << 16 | byte(c.G) << 8 | byte(c.B);
}
TRgba Unpack(uint32_t c) {
  return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
          (c >> 24) / 255.0};
}
double Mix(double a, double b, double t) { return a + (b - a) * t; }

class PixelShaders : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fRenderer.Ready()); }
  T3DRenderer& R() { return fRenderer.Renderer(); }

  // A texture of 32-bit pixels, rows top first.
  TRef<T3DTexture> Flat(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    return Fill(width, height, TSurfaceFormat::Argb32, pixels);
  }
  // A luminance plane of bytes.
  TRef<T3DTexture> Plane(int32_t width, int32_t height, const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> grey;
    for (uint8_t b : bytes) grey.push_back(0xFF000000u | b << 16 | b << 8 | b);
    return Fill(width, height, TSurfaceFormat::L8, grey);
  }
  TRef<T3DTexture> Fill(int32_t width, int32_t height, TSurfaceFormat format,
                        const std::vector<uint32_t>& pixels) {
    auto texture = R().CreateTexture(width, height, 1, kManagedTexture, format);
    EXPECT_TRUE(texture);
    TRef<T3DSurface> level = texture->GetLevel(0);
    TSurfaceLock lock = level->Lock({}, false);
    for (int32_t y = 0; y < height; ++y)
      ArgbRowToSurface(format, pixels.data() + static_cast<size_t>(y) * width, width, lock.Row(y));
    EXPECT_TRUE(level->Unlock(lock));
    return texture;
  }
  // A 32 x 32 x 32 table: the colour at grid point (r, g, b) / 31.
  TRef<TVolumeTexture> Table(const std::function<TRgba(double, double, double)>& colour) {
    auto volume = R().CreateVolumeTexture(32, 32, 32);
    EXPECT_TRUE(volume);
    TSurfaceLock lock = volume->LockLevel(0);
    for (int32_t b = 0; b < 32; ++b)
      for (int32_t g = 0; g < 32; ++g)
        for (int32_t r = 0; r < 32; ++r) {
          uint32_t c = Pack(colour(r / 31.0, g / 31.0, b / 31.0));
          ArgbRowToSurface(TSurfaceFormat::Argb32, &c, 1, lock.Row(b * 32 + g) + 4 * r);
        }
    EXPECT_TRUE(volume->UnlockLevel(0, lock));
    return volume;
  }
  // A 256 x 256 curve whose diagonal holds the curve's value per channel.
  TRef<T3DTexture> Curve(const std::function<double(double)>& curve) {
    std::vector<uint32_t> pixels(256 * 256, 0);
    for (int32_t i = 0; i < 256; ++i) {
      double v = curve(i / 255.0);
      pixels[static_cast<size_t>(i) * 256 + i] = Pack({v, v, v, 1});
    }
    return Flat(256, 256, pixels);
  }

  // Draws the whole target with the shader (coordinates 0 to 1 on every
  // stage, vertex colour white with the given alpha) over transparent black,
  // keeping the larger value, so the target holds what the shader wrote.
  std::vector<uint32_t> Run(const char* name, const std::vector<TBaseTexture*>& stages,
                            const std::vector<std::array<float, 4>>& constants,
                            double vertexAlpha = 1) {
    std::string_view code = PixelShaderSource(name);
    EXPECT_FALSE(code.empty()) << name;
    auto shader = R().CreateShader(std::string(code), TShaderKind::Pixel);
    EXPECT_TRUE(shader) << name;
    if (!shader) return {};
    for (size_t i = 0; i < constants.size(); ++i)
      R().SetShaderConstants(static_cast<int32_t>(i), constants[i].data(), 1, false);
    for (size_t i = 0; i < stages.size(); ++i) R().BindTexture(static_cast<int32_t>(i), stages[i]);
    R().UseShader(shader.Get());
    R().Clear({}, kClearColour, 0, 1);
    TPixelRect client = fRenderer.Target().ClientRect();
    float w = static_cast<float>(client.Width()), h = static_cast<float>(client.Height());
    uint32_t colour = Pack({1, 1, 1, vertexAlpha});
    struct TVertex {
      float X, Y, Z;
      uint32_t Colour;
      float U0, V0, U1, V1;
    };
    const TVertex v[] = {{-0.5f, -0.5f, 0, colour, 0, 0, 0, 0},
                         {w - 0.5f, -0.5f, 0, colour, 1, 0, 1, 0},
                         {-0.5f, h - 0.5f, 0, colour, 0, 1, 0, 1},
                         {w - 0.5f, h - 0.5f, 0, colour, 1, 1, 1, 1}};
    auto list = R().CreateVertexList(4, {kVertexDiffuse, 2, TPrimitive::TriangleStrip});
    list->Write(0, v, 4);
    EXPECT_TRUE(R().DrawVertexList(*list, nullptr, 0, TBlendMode::Maximum));
    R().UseShader(nullptr);
    for (size_t i = 0; i < stages.size(); ++i) R().BindTexture(static_cast<int32_t>(i), nullptr);
    return fRenderer.Pixels();
  }

  void ExpectColour(uint32_t got, TRgba expected, int tolerance = 2) {
    uint32_t want = Pack(expected);
    EXPECT_LE(test::ChannelDistance(got, want), tolerance)
        << std::hex << "got " << got << ", want " << want;
  }

  TOffscreenRenderer fRenderer{1, 1};
};

TEST_F(PixelShaders, EveryShaderIsThere) {
  std::vector<std::string_view> names = PixelShaderNames();
  EXPECT_EQ(names.size(), 14u);
  for (std::string_view name : names) {
    SCOPED_TRACE(std::string(name));
    EXPECT_TRUE(R().CreateShader(std::string(PixelShaderSource(name)), TShaderKind::Pixel));
  }
  EXPECT_TRUE(PixelShaderSource("no such shader").empty());
}

TEST_F(PixelShaders, VideoMask) {
  auto luma = Plane(1, 1, {128});
  for (float invert : {0.0f, 1.0f}) {
    SCOPED_TRACE(invert);
    double l = (128 / 255.0 - 0.0625) * 1.164384;
    double m = (1 - 2 * invert) * l + invert;
    uint32_t got = Run("videomask", {luma.Get()}, {{invert, 0, 0, 0}}, 0.5)[0];
    ExpectColour(got, {m, m, m, m * 0.5});
  }
}

TEST_F(PixelShaders, ColourGradingThroughTwoTables) {
  auto identity = Table([](double r, double g, double b) { return TRgba{r, g, b, 1}; });
  auto inverse = Table([](double r, double g, double b) { return TRgba{1 - r, 1 - g, 1 - b, 1}; });
  auto picture = Flat(1, 1, {0xC0336699});
  TRgba in = Unpack(0xC0336699);
  for (float t : {0.0f, 0.25f, 1.0f}) {
    SCOPED_TRACE(t);
    uint32_t got =
        Run("color_grading", {picture.Get(), identity.Get(), inverse.Get()}, {{t, 0, 0, 0}})[0];
    ExpectColour(got,
                 {Mix(in.R, 1 - in.R, t), Mix(in.G, 1 - in.G, t), Mix(in.B, 1 - in.B, t), in.A});
  }
}

TEST_F(PixelShaders, ColourGradingThroughTwoCurves) {
  auto identity = Curve([](double x) { return x; });
  auto square = Curve([](double x) { return x * x; });
  auto picture = Flat(1, 1, {0x80408CFF});
  TRgba in = Unpack(0x80408CFF);
  double t = 0.5;
  uint32_t got = Run("color_grade_linear", {picture.Get(), identity.Get(), square.Get()},
                     {{0.5f, 0, 0, 0}})[0];
  auto graded = [&](double x) { return Mix(x, x * x, t); };
  ExpectColour(got, {graded(in.R), graded(in.G), graded(in.B), in.A});
}

TEST_F(PixelShaders, VideoPlanesThroughTables) {
  auto identity = Table([](double r, double g, double b) { return TRgba{r, g, b, 1}; });
  auto inverse = Table([](double r, double g, double b) { return TRgba{1 - r, 1 - g, 1 - b, 1}; });
  auto luma = Plane(1, 1, {200}), u = Plane(1, 1, {100}), v = Plane(1, 1, {50});
  double L = 200 / 255.0, U = 100 / 255.0, V = 50 / 255.0;
  // The table's first axis is V, then U, then luma.
  double t = 0.25;
  uint32_t got =
      Run("color_grade_video", {luma.Get(), u.Get(), v.Get(), identity.Get(), inverse.Get()},
          {{0.25f, 0, 0, 0}}, 0.75)[0];
  ExpectColour(got, {Mix(V, 1 - V, t), Mix(U, 1 - U, t), Mix(L, 1 - L, t), 0.75});
}

TEST_F(PixelShaders, ChromaKey) {
  auto identity = Table([](double r, double g, double b) { return TRgba{r, g, b, 1}; });
  auto luma = Plane(1, 1, {255}), u = Plane(1, 1, {128}), v = Plane(1, 1, {128});
  double U = 128 / 255.0, V = 128 / 255.0;
  // d = |(U - 0.4) + (V - 0.4)| / 2 = 0.10196.
  double d = std::fabs((U - 0.4) + (V - 0.4)) * 0.5;
  struct TCase {
    float Threshold;
    double Alpha;
  };
  const TCase kCases[] = {{0.05f, 1.0}, {0.2f, d * d * 4 * 1.0}};  // softness 2
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Threshold);
    uint32_t got =
        Run("color_grade_chromakey", {luma.Get(), u.Get(), v.Get(), identity.Get(), identity.Get()},
            {{0, 0, 0, 0}, {}, {}, {c.Threshold, 2, 0, 0}, {0.4f, 0.4f, 0, 0}})[0];
    ExpectColour(got, {V, U, 1, c.Alpha});
  }
}

// The field luma of the deinterlacing shaders at the row of texture
// coordinate y, for a plane of `lines` rows, reading lines at their centres.
double FieldLuma(const std::vector<uint8_t>& rows, double y, double field, double offset) {
  double lines = static_cast<double>(rows.size());
  double at = y * lines + offset;
  double k = std::floor(at / 2);
  double a = 2 * k + field + 2.5, b = 2 * k + 0.5 + field;
  double f = (at - (2 * k + 0.5)) / 2;
  // Sampled at a line number / line count: texel a - 0.5, clamped.
  auto line = [&](double n) {
    int index = std::clamp(static_cast<int>(n - 0.5), 0, static_cast<int>(lines) - 1);
    return rows[static_cast<size_t>(index)] / 255.0;
  };
  return f * line(a) + (1 - f) * line(b);
}

TEST_F(PixelShaders, Deinterlacing) {
  TOffscreenRenderer tall(1, 8);
  ASSERT_TRUE(tall.Ready());
  // Run on the 1 x 8 target: one pixel per line.
  std::swap(fRenderer, tall);
  const std::vector<uint8_t> rows = {10, 200, 30, 180, 50, 160, 70, 140};
  auto luma = Plane(1, 8, rows), u = Plane(1, 8, std::vector<uint8_t>(8, 128)),
       v = Plane(1, 8, std::vector<uint8_t>(8, 128));
  auto identity = Table([](double r, double g, double b) { return TRgba{r, g, b, 1}; });
  for (float field : {0.0f, 1.0f}) {
    SCOPED_TRACE(field);
    std::vector<uint32_t> got =
        Run("color_grade_deinter", {luma.Get(), u.Get(), v.Get(), identity.Get(), identity.Get()},
            {{0, 0, 0, 0}, {8, 1.0f / 8, 0, 0}, {field, 0, 0, 0}});
    ASSERT_EQ(got.size(), 8u);
    for (int32_t y = 0; y < 8; ++y) {
      double expected = FieldLuma(rows, (y + 0.5) / 8, field, 0);
      // Luma is the table's third axis: blue.
      EXPECT_NEAR(static_cast<int>(got[static_cast<size_t>(y)] & 0xFF), expected * 255, 2.5) << y;
    }
    // With the key as well (every pixel keyed away: d = 0 < threshold).
    std::vector<uint32_t> keyed =
        Run("color_grade_chroma_deinter",
            {luma.Get(), u.Get(), v.Get(), identity.Get(), identity.Get()},
            {{0, 0, 0, 0},
             {8, 1.0f / 8, 0, 0},
             {field, 0, 0, 0},
             {0.1f, 1, 0, 0},
             {128 / 255.0f, 128 / 255.0f, 0, 0}});
    for (int32_t y = 0; y < 8; ++y) {
      EXPECT_EQ(keyed[static_cast<size_t>(y)] >> 24, 0u) << y;
      EXPECT_NEAR(static_cast<int>(keyed[static_cast<size_t>(y)] & 0xFF),
                  FieldLuma(rows, (y + 0.5) / 8, field, 0) * 255, 2.5)
          << y;
    }
  }
  std::swap(fRenderer, tall);
}

TEST_F(PixelShaders, Unsharp) {
  TOffscreenRenderer square(3, 3);
  ASSERT_TRUE(square.Ready());
  std::swap(fRenderer, square);
  // Centre 0.5, edges 0.25, corners 0: blur = (4 x 0.5 + 2 x 4 x 0.25) / 16 = 0.25.
  auto grey = [](double v) { return Pack({v, v, v, 1}); };
  auto picture = Flat(3, 3,
                      {grey(0), grey(0.25), grey(0), grey(0.25), grey(0.5), grey(0.25), grey(0),
                       grey(0.25), grey(0)});
  double centre = Unpack(grey(0.5)).R, edge = Unpack(grey(0.25)).R;
  double blur = (4 * centre + 2 * 4 * edge) / 16, diff = centre - blur;
  struct TCase {
    float Threshold, Amount;
    double Expected;
  };
  const TCase kCases[] = {{0, 1, centre + diff}, {0, 0.5f, centre + diff * 0.5}, {0.3f, 1, centre}};
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Threshold);
    std::vector<uint32_t> got =
        Run("unsharp", {picture.Get()},
            {{1.0f / 3, 1.0f / 3, 0, 0}, {c.Threshold, 0, 0, 0}, {c.Amount, 0, 0, 0}});
    ExpectColour(got[4], {c.Expected, c.Expected, c.Expected, 1});
  }
  std::swap(fRenderer, square);
}

TEST_F(PixelShaders, GaussianTapsAcrossAStepEdge) {
  // Seven texels, dark then light from the fifth on; the middle pixel's taps
  // all fall on texel centres.
  const std::vector<double> values = {0, 0, 0, 0, 1, 1, 1};
  for (bool vertical : {false, true}) {
    SCOPED_TRACE(vertical);
    TOffscreenRenderer line(vertical ? 1 : 7, vertical ? 7 : 1);
    ASSERT_TRUE(line.Ready());
    std::swap(fRenderer, line);
    std::vector<uint32_t> pixels;
    for (double v : values) pixels.push_back(Pack({v, v, v, 1}));
    auto picture = vertical ? Flat(1, 7, pixels) : Flat(7, 1, pixels);
    for (double s : {1.0, 0.5}) {
      SCOPED_TRACE(s);
      double w3 = 0.065722 * s, w2 = 0.108356 * s, w1 = 0.17865 * s, w0 = 0.294544 * s + (1 - s);
      double expected = w0 * values[3] + w1 * (values[2] + values[4]) +
                        w2 * (values[1] + values[5]) + w3 * (values[0] + values[6]);
      std::vector<uint32_t> got = Run(vertical ? "gauss_blur_v7" : "gauss_blur_h7", {picture.Get()},
                                      {{static_cast<float>(w3), static_cast<float>(w2),
                                        static_cast<float>(w1), static_cast<float>(w0)},
                                       {1.0f / 7, 0, 0, 0}});
      double alpha = (w0 + 2 * (w1 + w2 + w3)) * 1.0;
      ExpectColour(got[3], {expected, expected, expected, alpha});
    }
    std::swap(fRenderer, line);
  }
}

TEST_F(PixelShaders, MixingAndPremultiplying) {
  struct TCase {
    const char* Name;
    uint32_t First, Second;
    float Constant;
    TRgba Expected;
  };
  TRgba a = Unpack(0x80402080), b = Unpack(0x40FF8040);
  // premul: p = first x second; colour p / p.alpha.
  TRgba p{a.R * b.R, a.G * b.G, a.B * b.B, a.A * b.A};
  // premul2: first x second's colour out of its alpha.
  TRgba q{a.R * b.R / b.A, a.G * b.G / b.A, a.B * b.B / b.A, a.A * b.A};
  const TCase kCases[] = {
      {"gauss_mix",
       0x80402080,
       0x40FF8040,
       0.25f,
       {Mix(a.R, b.R, 0.25), Mix(a.G, b.G, 0.25), Mix(a.B, b.B, 0.25), Mix(a.A, b.A, 0.25)}},
      {"premul", 0x80402080, 0x40FF8040, 0, {p.R / p.A, p.G / p.A, p.B / p.A, p.A}},
      {"premul2", 0x80402080, 0x40FF8040, 0, q},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    auto first = Flat(1, 1, {c.First}), second = Flat(1, 1, {c.Second});
    uint32_t got = Run(c.Name, {first.Get(), second.Get()}, {{c.Constant, 0, 0, 0}})[0];
    ExpectColour(got, c.Expected);
  }
}

TEST_F(PixelShaders, MasksOfViewports) {
  TRgba content = Unpack(0x80402010);
  struct TCase {
    const char* Name;
    uint32_t Mask;
    TRgba Expected;
  };
  TRgba greyMask = Unpack(0xFF808080), red = Unpack(0xFFFF0000);
  const TCase kCases[] = {
      // A grey mask keeps the colour and gives its level as alpha.
      {"grey",
       0xFF808080,
       {content.R / content.A, content.G / content.A, content.B / content.A,
        content.A * greyMask.R * 0.5}},
      // A red mask keeps only red, at full strength.
      {"red", 0xFFFF0000, {content.R / content.A * red.R, 0, 0, content.A * 0.5}},
  };
  auto inside = Flat(1, 1, {0x80402010});
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    auto mask = Flat(1, 1, {c.Mask});
    uint32_t got = Run("premul3", {mask.Get(), inside.Get()}, {}, 0.5)[0];
    ExpectColour(got, c.Expected);
  }
}

TEST_F(PixelShaders, LookupTexturesOfFilterChains) {
  auto picture = Flat(1, 1, {0xFF3366CC});
  TRgba in = Unpack(0xFF3366CC);
  TFilterChain invert{CreateObjectFilter("Invert")};
  ASSERT_TRUE(invert[0]);
  using TKind = TColorLookupTexture::TKind;
  auto identityGrid =
      MakeRef<TColorLookupTexture>(TKind::Grid, std::vector<uint32_t>{}, TFilterChain{});
  auto invertedGrid = MakeRef<TColorLookupTexture>(TKind::Grid, MakeIdentityGrid(), invert);
  auto identityCurve =
      MakeRef<TColorLookupTexture>(TKind::Curve, std::vector<uint32_t>{}, TFilterChain{});
  auto invertedCurve = MakeRef<TColorLookupTexture>(TKind::Curve, MakeIdentityCurve(), invert);
  TRgba inverted{1 - in.R, 1 - in.G, 1 - in.B, 1};
  struct TCase {
    const char* Shader;
    TColorLookupTexture* Low;
    TColorLookupTexture* High;
    float T;
    TRgba Expected;
  };
  const TCase kCases[] = {
      // The identity leaves the picture as it is.
      {"color_grading", identityGrid.Get(), identityGrid.Get(), 0.5f, in},
      {"color_grade_linear", identityCurve.Get(), identityCurve.Get(), 0.5f, in},
      {"color_grading", invertedGrid.Get(), identityGrid.Get(), 0, inverted},
      {"color_grade_linear", invertedCurve.Get(), identityCurve.Get(), 0, inverted},
      {"color_grading",
       invertedGrid.Get(),
       identityGrid.Get(),
       0.75f,
       {Mix(inverted.R, in.R, 0.75), Mix(inverted.G, in.G, 0.75), Mix(inverted.B, in.B, 0.75), 1}},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(std::string(c.Shader) + " " + std::to_string(c.T));
    uint32_t got = Run(c.Shader, {picture.Get(), c.Low->GetTexture(R()), c.High->GetTexture(R())},
                       {{c.T, 0, 0, 0}})[0];
    ExpectColour(got, c.Expected);
  }
  // Made again from the table and the chain when the device went.
  invertedGrid->DropBackend();
  uint32_t again =
      Run("color_grading",
          {picture.Get(), invertedGrid->GetTexture(R()), identityGrid->GetTexture(R())},
          {{0, 0, 0, 0}})[0];
  ExpectColour(again, inverted);
}

}  // namespace
}  // namespace viv
