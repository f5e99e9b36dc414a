// The GL renderer off screen: what it draws, read back and compared with
// values worked out from the blend rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/surface_formats.h"
#include "render_test_support.h"
#include "support/log_capture.h"

namespace viv {
namespace {

using test::ChannelDistance;
using test::TOffscreenRenderer;

constexpr uint32_t kWhite = 0xFFFFFFFF;

TEST(GLRenderer, CapabilitiesOfTheDevice) {
  TOffscreenRenderer r(4, 4);
  ASSERT_TRUE(r.Ready());
  T3DEngine& engine = r.Engine();
  // GL 3.3 core has GLSL 3.30: shader model 3.0, so the best tier.
  EXPECT_EQ(engine.GetCapInt("PixelShaderVersion", 0), PixelShaderVersion(3, 0));
  EXPECT_EQ(engine.QualityTier(0), 2);
  EXPECT_GE(engine.GetCapInt("maxtexwidth", 0), 4096);  // GL 3.3 guarantees 1024; Mesa has more
  EXPECT_EQ(engine.GetCapInt("maxtexheight", 0), engine.GetCapInt("maxtexwidth", 0));
  EXPECT_NE(engine.GetCapInt("raster", 0) & kRasterMipMapLodBias, 0);
  EXPECT_EQ(engine.GetCapInt("no such thing", 0), 0);
  EXPECT_FALSE(engine.GetCapText("vendor", 0).empty());
  EXPECT_EQ(engine.GetCapText("maxtexwidth", 0), "");
  std::array<float, 2> centre = r.Renderer().GetPixelCentre();
  EXPECT_EQ(centre[0], 0.5f);
  EXPECT_EQ(centre[1], 0.5f);
}

TEST(GLRenderer, ClearsTheTargetOrRectangles) {
  TOffscreenRenderer r(8, 6);
  ASSERT_TRUE(r.Ready());
  T3DRenderer& renderer = r.Renderer();
  ASSERT_TRUE(renderer.Clear({}, kClearColour | kClearStencil, 0xFF336699, 1));
  for (uint32_t pixel : r.Pixels()) ASSERT_EQ(pixel, 0xFF336699u);
  ASSERT_TRUE(renderer.Clear({{2, 1, 5, 3}, {7, 5, 8, 6}}, kClearColour, 0x80102030, 1));
  struct TCase {
    int32_t X, Y;
    uint32_t Colour;
  };
  const TCase kCases[] = {{2, 1, 0x80102030}, {4, 2, 0x80102030}, {5, 1, 0xFF336699},
                          {2, 3, 0xFF336699}, {1, 1, 0xFF336699}, {7, 5, 0x80102030},
                          {0, 0, 0xFF336699}};
  std::vector<uint32_t> pixels = r.Pixels();
  for (const TCase& c : kCases) {
    SCOPED_TRACE(std::to_string(c.X) + "," + std::to_string(c.Y));
    EXPECT_EQ(pixels[static_cast<size_t>(c.Y) * 8 + c.X], c.Colour);
  }
}

TEST(GLRenderer, BlendModes) {
  // Colours over a known background, one channel at a time:
  //   source alpha a: out = s a + d (1 - a), alpha too;
  //   premultiplied:  out = s + d (1 - a);
  //   maximum:        out = max(s, d).
  struct TCase {
    const char* Name;
    uint32_t Background, Colour;
    TBlendMode Mode;
    uint32_t Expected;
  };
  const TCase kCases[] = {
      // a = 128/255: red 255; green and blue 255 x 127/255 = 127; alpha
      // 128 x 128/255 + 255 x 127/255 = 191.25.
      {"alpha", kWhite, 0x80FF0000, TBlendMode::Untextured, 0xBFFF7F7F},
      {"opaque colour", 0xFF000000, 0xFF204060, TBlendMode::Untextured, 0xFF204060},
      // Red 128 + 255 x 127/255 = 255; green 0 + 127; alpha 128 + 127.
      {"premultiplied", kWhite, 0x80800000, TBlendMode::Premultiplied, 0xFFFF7F7F},
      {"maximum", 0xFF404040, 0x10208060, TBlendMode::Maximum, 0xFF408060},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TOffscreenRenderer r(4, 4);
    ASSERT_TRUE(r.Ready());
    ASSERT_TRUE(r.Renderer().Clear({}, kClearColour, c.Background, 1));
    r.DrawQuad(0, 0, 4, 4, c.Colour, nullptr, c.Mode);
    uint32_t got = r.Pixel(1, 2);
    EXPECT_LE(ChannelDistance(got, c.Expected), 1) << std::hex << got;
  }
}

TEST(GLRenderer, QuadsCoverExactlyTheirPixels) {
  TOffscreenRenderer r(6, 6);
  ASSERT_TRUE(r.Ready());
  r.Renderer().Clear({}, kClearColour, 0xFF000000, 1);
  r.DrawQuad(1, 2, 4, 5, 0xFFFF0000);
  std::vector<uint32_t> pixels = r.Pixels();
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      bool inside = x >= 1 && x < 4 && y >= 2 && y < 5;
      EXPECT_EQ(pixels[static_cast<size_t>(y) * 6 + x], inside ? 0xFFFF0000u : 0xFF000000u)
          << x << "," << y;
    }
  }
}

TEST(GLRenderer, TexturesModulateTheVertexColour) {
  TOffscreenRenderer r(2, 2);
  ASSERT_TRUE(r.Ready());
  T3DRenderer& renderer = r.Renderer();
  auto texture = renderer.CreateTexture(2, 2, 1, kManagedTexture, TSurfaceFormat::Argb32);
  ASSERT_TRUE(texture);
  EXPECT_EQ(texture->GetLevelCount(), 1);
  texture->SetFiltering(false);
  const uint32_t texels[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080};
  TRef<T3DSurface> level = texture->GetLevel(0);
  TSurfaceLock lock = level->Lock({}, false);
  ASSERT_TRUE(lock.IsValid());
  for (int32_t y = 0; y < 2; ++y) ArgbRowToSurface(lock.Format, texels + 2 * y, 2, lock.Row(y));
  ASSERT_TRUE(level->Unlock(lock));

  renderer.Clear({}, kClearColour, 0xFF000000, 1);
  r.DrawQuad(0, 0, 2, 2, kWhite, texture.Get(), TBlendMode::Opaque);
  EXPECT_EQ(r.Pixels(), std::vector<uint32_t>(std::begin(texels), std::end(texels)));
  // A half-grey vertex colour halves every channel: 255 x 128/255 = 128.
  r.DrawQuad(0, 0, 2, 2, 0xFF808080, texture.Get(), TBlendMode::Opaque);
  EXPECT_LE(ChannelDistance(r.Pixel(0, 0), 0xFF800000), 1);
  EXPECT_LE(ChannelDistance(r.Pixel(1, 1), 0xFF404040), 1);
}

TEST(GLRenderer, SurfacesInEveryFormatKeepTheirPixels) {
  TOffscreenRenderer r(1, 1);
  ASSERT_TRUE(r.Ready());
  const uint32_t kColours[] = {0x80FF0000, 0x4000FF00, 0xFF0000FF, 0x00FFFFFF};
  struct TCase {
    TSurfaceFormat Format;
    std::vector<uint32_t> Expected;  // what reads back
  };
  const TCase kCases[] = {
      {TSurfaceFormat::Argb32, {0x80FF0000, 0x4000FF00, 0xFF0000FF, 0x00FFFFFF}},
      {TSurfaceFormat::Xrgb32, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
      {TSurfaceFormat::Rgb24, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
      {TSurfaceFormat::X1r5g5b5, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
      {TSurfaceFormat::R5g6b5, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
      // Luminance: the mean of the channels, (255 + 1) / 3 = 85.
      {TSurfaceFormat::L8, {0xFF555555, 0xFF555555, 0xFF555555, 0xFFFFFFFF}},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Format));
    auto texture = r.Renderer().CreateTexture(2, 2, 1, kManagedTexture, c.Format);
    ASSERT_TRUE(texture);
    TRef<T3DSurface> level = texture->GetLevel(0);
    EXPECT_EQ(level->GetPixelFormat(), c.Format);
    TSurfaceLock lock = level->Lock({}, false);
    ASSERT_TRUE(lock.IsValid());
    for (int32_t y = 0; y < 2; ++y) ArgbRowToSurface(c.Format, kColours + 2 * y, 2, lock.Row(y));
    ASSERT_TRUE(level->Unlock(lock));
    TBitmap back(2, 2, TPixelFormat::Argb32);
    ASSERT_TRUE(level->CopyTo(back));
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(back.Pixel(i % 2, i / 2), c.Expected[i]) << i;
    // A lock of one pixel sees that pixel; a read-only lock writes nothing back.
    TSurfaceLock one = level->Lock({1, 1, 2, 2}, true);
    ASSERT_TRUE(one.IsValid());
    uint32_t colour = 0;
    SurfaceRowToArgb(c.Format, one.Row(0), 1, &colour);
    EXPECT_EQ(colour, c.Expected[3]);
    one.Row(0)[0] ^= 0xFF;
    ASSERT_TRUE(level->Unlock(one));
    ASSERT_TRUE(level->CopyTo(back));
    EXPECT_EQ(back.Pixel(1, 1), c.Expected[3]);
  }
  // GL has no palettes.
  EXPECT_FALSE(r.Renderer().CreateTexture(2, 2, 1, kManagedTexture, TSurfaceFormat::P8));
}

TEST(GLRenderer, RenderTargetsAndStretchCopy) {
  TOffscreenRenderer r(4, 4);
  ASSERT_TRUE(r.Ready());
  T3DRenderer& renderer = r.Renderer();
  auto target = renderer.CreateTexture(4, 4, 1, kRenderTargetTexture, TSurfaceFormat::Argb32);
  ASSERT_TRUE(target);
  EXPECT_TRUE(target->IsRenderTarget());
  // A plain texture is no target.
  auto plain = renderer.CreateTexture(4, 4, 1, kManagedTexture, TSurfaceFormat::Argb32);
  EXPECT_FALSE(renderer.SetTarget(plain->GetLevel(0).Get()));

  ASSERT_TRUE(renderer.SetTarget(target->GetLevel(0).Get()));
  EXPECT_EQ(renderer.GetTarget().Get(), target->GetLevel(0).Get());
  renderer.Clear({}, kClearColour, 0xFF00FF00, 1);
  renderer.Clear({{0, 0, 2, 2}}, kClearColour, 0xFFFF0000, 1);
  ASSERT_TRUE(renderer.SetTarget(nullptr));
  renderer.Clear({}, kClearColour, 0xFF000000, 1);
  TRef<T3DSurface> back;
  ASSERT_TRUE(renderer.GetBackBuffer(back));
  // The target's red quarter doubled into the top left half of the back buffer.
  ASSERT_TRUE(renderer.StretchCopy(*target->GetLevel(0), {0, 0, 2, 2}, *back, {0, 0, 4, 2}, false));
  std::vector<uint32_t> pixels = r.Pixels();
  for (int32_t i = 0; i < 16; ++i)
    EXPECT_EQ(pixels[static_cast<size_t>(i)], i < 8 ? 0xFFFF0000u : 0xFF000000u) << i;
  // Drawn into the target, the first row stays the top one.
  renderer.SetTarget(target->GetLevel(0).Get());
  r.DrawQuad(0, 0, 4, 1, 0xFF0000FF);
  TBitmap picture(4, 4, TPixelFormat::Argb32);
  ASSERT_TRUE(target->GetLevel(0)->CopyTo(picture));
  EXPECT_EQ(picture.Pixel(3, 0), 0xFF0000FFu);
  EXPECT_EQ(picture.Pixel(3, 1), 0xFF00FF00u);
}

TEST(GLRenderer, CullingDropsCounterClockwiseFaces) {
  struct TVertex {
    float X, Y, Z;
    uint32_t Colour;
  };
  // On the screen (y down) the first runs counter-clockwise, the second clockwise.
  const TVertex kCounterClockwise[] = {
      {-0.5f, -0.5f, 0, 0xFFFF0000}, {-0.5f, 3.5f, 0, 0xFFFF0000}, {3.5f, -0.5f, 0, 0xFFFF0000}};
  const TVertex kClockwise[] = {
      {-0.5f, -0.5f, 0, 0xFF00FF00}, {3.5f, -0.5f, 0, 0xFF00FF00}, {-0.5f, 3.5f, 0, 0xFF00FF00}};
  for (bool culling : {false, true}) {
    SCOPED_TRACE(culling);
    TOffscreenRenderer r(4, 4);
    ASSERT_TRUE(r.Ready());
    T3DRenderer& renderer = r.Renderer();
    renderer.Clear({}, kClearColour, 0xFF000000, 1);
    renderer.SetCulling(culling);
    auto list = renderer.CreateVertexList(3, {kVertexDiffuse, 0, TPrimitive::TriangleList});
    ASSERT_TRUE(list->Write(0, kCounterClockwise, 3));
    ASSERT_TRUE(renderer.DrawVertexList(*list, nullptr, 0, TBlendMode::Untextured));
    EXPECT_EQ(r.Pixel(0, 0), culling ? 0xFF000000u : 0xFFFF0000u);
    ASSERT_TRUE(list->Write(0, kClockwise, 3));
    ASSERT_TRUE(renderer.DrawVertexList(*list, nullptr, 0, TBlendMode::Untextured));
    EXPECT_EQ(r.Pixel(0, 0), 0xFF00FF00u);
  }
}

TEST(GLRenderer, PixelShadersWithTheirConstants) {
  TOffscreenRenderer r(2, 2);
  ASSERT_TRUE(r.Ready());
  T3DRenderer& renderer = r.Renderer();
  auto shader = renderer.CreateShader(
      "#version 330 core\nin vec4 vColour;\nin vec2 vTex[7];\nuniform vec4 c[32];\n"
      "out vec4 fragColour;\nvoid main() { fragColour = c[3] * vColour.a; }\n",
      TShaderKind::Pixel);
  ASSERT_TRUE(shader);
  const float constants[] = {0.25f, 0.5f, 1.0f, 1.0f};
  ASSERT_TRUE(renderer.SetShaderConstants(3, constants, 1, false));
  ASSERT_TRUE(renderer.UseShader(shader.Get()));
  renderer.Clear({}, kClearColour, 0xFF000000, 1);
  r.DrawQuad(0, 0, 2, 2, kWhite);
  // 0.25, 0.5 and 1 of 255: 64 (63.75), 128 (127.5), 255.
  EXPECT_LE(ChannelDistance(r.Pixel(1, 0), 0xFF4080FF), 1);
  ASSERT_TRUE(renderer.UseShader(nullptr));
  r.DrawQuad(0, 0, 2, 2, 0xFF102030);
  EXPECT_EQ(r.Pixel(1, 0), 0xFF102030u);
  // Code that does not compile gives no shader, with the compiler's words logged.
  test::TLogCapture log;
  EXPECT_FALSE(renderer.CreateShader("#version 330 core\nnot glsl", TShaderKind::Pixel));
  EXPECT_TRUE(log.Contains("CreateShader: "));
  EXPECT_FALSE(renderer.SetShaderConstants(31, constants, 2, false));  // past the 32 registers
}

TEST(GLRenderer, VolumeTexturesHoldEverySlice) {
  TOffscreenRenderer r(1, 1);
  ASSERT_TRUE(r.Ready());
  auto volume = r.Renderer().CreateVolumeTexture(2, 2, 3);
  ASSERT_TRUE(volume);
  TSurfaceLock lock = volume->LockLevel(0);
  ASSERT_TRUE(lock.IsValid());
  EXPECT_EQ(lock.Rect.Height(), 6);  // rows through all three slices
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 2; ++x) {
      uint32_t colour = 0xFF000000u | static_cast<uint32_t>(y * 16 + x);
      ArgbRowToSurface(TSurfaceFormat::Argb32, &colour, 1, lock.Row(y) + 4 * x);
    }
  ASSERT_TRUE(volume->UnlockLevel(0, lock));
  TSurfaceLock again = volume->LockLevel(0);
  ASSERT_TRUE(again.IsValid());
  uint32_t colour = 0;
  SurfaceRowToArgb(TSurfaceFormat::Argb32, again.Row(5) + 4, 1, &colour);
  EXPECT_EQ(colour, 0xFF000051u);  // slice 2, row 1, column 1
  volume->UnlockLevel(0, again);
}

class TKilledCounter : public TDeviceKilledMessenger {
 public:
  void DeviceKilled() override { ++Calls; }
  int Calls = 0;
};

TEST(GLRenderer, ALostDeviceFailsEveryOperationAndTellsItsTarget) {
  TOffscreenRenderer r(4, 4);
  ASSERT_TRUE(r.Ready());
  T3DRenderer& renderer = r.Renderer();
  TKilledCounter counter;
  r.Target().SetMessenger(&counter);
  auto texture = renderer.CreateTexture(4, 4, 1, kManagedTexture, TSurfaceFormat::Argb32);
  ASSERT_TRUE(texture);
  test::TLogCapture log;
  renderer.SimulateDeviceLoss();
  EXPECT_EQ(renderer.State(), TRendererState::Lost);
  EXPECT_EQ(counter.Calls, 1);
  EXPECT_TRUE(log.Contains("T3DRenderer9: DEVICE LOST!"));
  EXPECT_FALSE(renderer.BeginFrame());
  EXPECT_FALSE(renderer.Clear({}, kClearColour, 0, 1));
  EXPECT_FALSE(renderer.CreateTexture(4, 4, 1, kManagedTexture, TSurfaceFormat::Argb32));
  TRef<T3DSurface> back;
  EXPECT_FALSE(renderer.GetBackBuffer(back));
  // Resources made before the loss fail too, and go without touching GL.
  EXPECT_FALSE(texture->GetLevel(0)->Lock({}, true).IsValid());
  texture.Reset();
  r.Target().SetMessenger(nullptr);
}

}  // namespace
}  // namespace viv
