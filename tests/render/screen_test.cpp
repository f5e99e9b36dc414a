// The screen over an off-screen target: the batcher's modes and flushes,
// premultiplied colours, and a lost device that comes back.
#include "render/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/gl/gl_engine.h"
#include "render/surface_formats.h"
#include "render_test_support.h"

namespace viv {
namespace {

using test::ChannelDistance;

TEST(Batcher, BlendModeChoice) {
  TBaseTexture* some = reinterpret_cast<TBaseTexture*>(0x10);  // never drawn
  const TBatchTexture plain{some, false, false}, withAlpha{some, false, true},
      premultiplied{some, true, false};
  struct TCase {
    const char* Name;
    std::vector<TBatchTexture> Textures;
    bool BatchPremultiplied, ColourAlpha;
    TBlendMode Mode;
  };
  const TCase kCases[] = {
      {"no texture", {}, false, true, TBlendMode::Untextured},
      {"one plain", {plain}, false, false, TBlendMode::Opaque},
      {"one with alpha", {withAlpha}, false, false, TBlendMode::Alpha},
      {"colour with alpha", {plain}, false, true, TBlendMode::Alpha},
      {"two, colour with alpha", {plain, plain}, false, true, TBlendMode::Opaque},
      {"two, one with alpha", {plain, withAlpha}, false, false, TBlendMode::Opaque},
      {"premultiplied second", {plain, premultiplied}, false, false, TBlendMode::Premultiplied},
      {"premultiplied batch", {withAlpha}, true, false, TBlendMode::Premultiplied},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ChooseBlendMode(c.Textures, c.BatchPremultiplied, c.ColourAlpha), c.Mode);
  }
  // Channel x alpha / 255, rounded: 255 -> 128, 0x80 -> 64.25, 0x40 -> 32.1.
  EXPECT_EQ(PremultiplyColour(0x80FF8040), 0x80804020u);
  EXPECT_EQ(PremultiplyColour(0xFF123456), 0xFF123456u);
  EXPECT_EQ(PremultiplyColour(0x00FFFFFF), 0x00000000u);
}

// A 2 x 2 picture, counting how often it is filled.
class TPatternTexture : public TCustomTexture {
 public:
  TPatternTexture() : TCustomTexture({2, 2}, TSurfaceFormat::Argb32) { Filtering = false; }
  int Fills = 0;
  static constexpr uint32_t kTexels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};

 protected:
  bool FillContents(T3DTexture& texture) override {
    ++Fills;
    TRef<T3DSurface> level = texture.GetLevel(0);
    TSurfaceLock lock = level->Lock({}, false);
    if (!lock.IsValid()) return false;
    for (int32_t y = 0; y < 2; ++y) ArgbRowToSurface(lock.Format, kTexels + 2 * y, 2, lock.Row(y));
    return level->Unlock(lock);
  }
};

TScreenVertex Corner(float x, float y, uint32_t colour, float u, float v) {
  TScreenVertex vertex;
  vertex.X = x, vertex.Y = y, vertex.Colour = colour;
  vertex.Tex[0] = {u, v};
  return vertex;
}

void Quad(T3DScreen& screen, float left, float top, float right, float bottom, uint32_t colour,
          std::span<const TBatchTexture> textures) {
  const TScreenVertex corners[4] = {
      Corner(left, top, colour, 0, 0), Corner(right, top, colour, 1, 0),
      Corner(right, bottom, colour, 1, 1), Corner(left, bottom, colour, 0, 1)};
  ASSERT_TRUE(screen.DrawQuad(corners, textures));
}

std::vector<uint32_t> Pixels(T3DScreen& screen) {
  TRef<T3DSurface> back;
  EXPECT_TRUE(screen.Renderer()->GetBackBuffer(back));
  TPixelSize size = back->GetSize();
  TBitmap bitmap(size.Width, size.Height, TPixelFormat::Argb32);
  EXPECT_TRUE(back->CopyTo(bitmap));
  std::vector<uint32_t> pixels(static_cast<size_t>(size.Width) * size.Height);
  std::memcpy(pixels.data(), bitmap.Data(), pixels.size() * 4);
  return pixels;
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fScreen = MakeRef<T3DScreen>(CreateGLEngine());
    fTarget = MakeRef<TOffscreenTarget>(4, 4);
    fScreen->BindTarget(fTarget);
    ASSERT_TRUE(fScreen->BeginScene());
  }
  TRef<T3DScreen> fScreen;
  TRef<TOffscreenTarget> fTarget;
};

TEST_F(ScreenTest, BatchesFlushWhenFullOrWhenTheTexturesChange) {
  T3DScreen& screen = *fScreen;
  TRef<TPatternTexture> pattern = MakeRef<TPatternTexture>();
  screen.Register(*pattern);
  T3DTexture* texture = pattern->GetTexture(*screen.Renderer());
  ASSERT_TRUE(texture);
  const TBatchTexture one[] = {{texture, false, false}};
  screen.Clear(0xFF000000);
  TVertexBuffer& batcher = screen.Batcher();
  int64_t before = batcher.DrawnBatches();
  // 512 quads are 1024 triangles: a full batch, still waiting.
  for (int i = 0; i < 512; ++i) Quad(screen, 0, 0, 2, 2, 0xFFFFFFFF, one);
  EXPECT_EQ(batcher.PendingTriangles(), 1024);
  EXPECT_EQ(batcher.DrawnBatches(), before);
  Quad(screen, 0, 0, 2, 2, 0xFFFFFFFF, one);  // the 1025th triangle draws the batch
  EXPECT_EQ(batcher.DrawnBatches(), before + 1);
  EXPECT_EQ(batcher.PendingTriangles(), 2);
  Quad(screen, 2, 2, 4, 4, 0xFF00FF00, {});  // another texture set
  EXPECT_EQ(batcher.DrawnBatches(), before + 2);
  ASSERT_TRUE(screen.EndScene(false));
  std::vector<uint32_t> pixels = Pixels(screen);
  EXPECT_EQ(pixels[0], TPatternTexture::kTexels[0]);
  EXPECT_EQ(pixels[4 + 1], TPatternTexture::kTexels[3]);
  EXPECT_EQ(pixels[3 * 4 + 3], 0xFF00FF00u);
  EXPECT_EQ(pixels[3], 0xFF000000u);
  screen.Unregister(*pattern);
}

TEST_F(ScreenTest, APremultipliedTextureGetsPremultipliedVertexColours) {
  T3DScreen& screen = *fScreen;
  TRef<TPatternTexture> pattern = MakeRef<TPatternTexture>();
  T3DTexture* texture = pattern->GetTexture(*screen.Renderer());
  const TBatchTexture premultiplied[] = {{texture, true, false}};
  screen.Clear(0xFF000000);
  // 0x80FF0000 becomes 0x80800000; texel (0, 0) is red. Over black:
  // red 128 + 0; alpha 128 + 255 x 127/255 = 255.
  Quad(screen, 0, 0, 4, 4, 0x80FF0000, premultiplied);
  ASSERT_TRUE(screen.EndScene(false));
  EXPECT_LE(ChannelDistance(Pixels(screen)[0], 0xFF800000), 1);
}

TEST_F(ScreenTest, ALostDeviceComesBackWithEveryResource) {
  T3DScreen& screen = *fScreen;
  TRef<TPatternTexture> pattern = MakeRef<TPatternTexture>();
  TRef<TShader> inverse = MakeRef<TShader>(
      "#version 330 core\nin vec4 vColour;\nin vec2 vTex[7];\nuniform sampler2D s0;\n"
      "out vec4 fragColour;\n"
      "void main() { vec4 t = texture(s0, vTex[0]); fragColour = vec4(1.0 - t.rgb, 1.0); }\n",
      TShaderKind::Pixel);
  screen.Register(*pattern);
  screen.Register(*inverse);
  auto frame = [&] {
    EXPECT_TRUE(screen.Drawing() || screen.BeginScene());
    T3DRenderer& renderer = *screen.Renderer();
    T3DTexture* texture = pattern->GetTexture(renderer);
    EXPECT_TRUE(texture);
    const TBatchTexture one[] = {{texture, false, false}};
    screen.Clear(0xFF202020);
    Quad(screen, 0, 0, 2, 2, 0xFFFFFFFF, one);
    screen.Flush();
    renderer.UseShader(inverse->Backend(renderer));
    Quad(screen, 2, 2, 4, 4, 0xFFFFFFFF, one);
    screen.Flush();
    renderer.UseShader(nullptr);
    EXPECT_TRUE(screen.EndScene(true));
    return Pixels(screen);
  };
  std::vector<uint32_t> first = frame();
  EXPECT_EQ(first[0], 0xFFFF0000u);
  EXPECT_EQ(first[2 * 4 + 2], 0xFF00FFFFu);  // red inverted
  EXPECT_EQ(pattern->Fills, 1);

  screen.Renderer()->SimulateDeviceLoss();
  EXPECT_EQ(screen.Renderer()->State(), TRendererState::Lost);
  ASSERT_TRUE(screen.BeginScene());  // a new renderer; the shader is compiled again
  EXPECT_TRUE(inverse->HasBackend());
  EXPECT_EQ(frame(), first);
  EXPECT_EQ(pattern->Fills, 2);  // filled again from its own source
  screen.Unregister(*pattern);
  screen.Unregister(*inverse);
}

TEST_F(ScreenTest, RenderTargetsGetTheirOwnViewportAndProjection) {
  T3DScreen& screen = *fScreen;
  TRef<T3DTexture> target =
      screen.Renderer()->CreateTexture(2, 2, 1, kRenderTargetTexture, TSurfaceFormat::Argb32);
  ASSERT_TRUE(screen.SetTarget(target.Get()));
  EXPECT_EQ(screen.TargetSize(), (TPixelSize{2, 2}));
  screen.Clear(0xFF000000);
  Quad(screen, 1, 0, 2, 1, 0xFF0000FF, {});  // the top right pixel of the 2 x 2 target
  ASSERT_TRUE(screen.SetTarget(nullptr));
  EXPECT_EQ(screen.TargetSize(), (TPixelSize{4, 4}));
  TBitmap picture(2, 2, TPixelFormat::Argb32);
  ASSERT_TRUE(target->GetLevel(0)->CopyTo(picture));
  EXPECT_EQ(picture.Pixel(1, 0), 0xFF0000FFu);
  EXPECT_EQ(picture.Pixel(0, 0), 0xFF000000u);
  EXPECT_EQ(picture.Pixel(1, 1), 0xFF000000u);
  screen.EndScene(false);
}

TEST(Screen, ProjectionFromTheCamera) {
  T3DScreen screen(CreateGLEngine());
  screen.SetCamera({960, 540, -2000});
  // A point at depth 0 stays where it is; one behind the screen moves towards the camera's axis.
  TPointF flat = screen.Project({100, 200, 0});
  EXPECT_FLOAT_EQ(flat.X, 100);
  EXPECT_FLOAT_EQ(flat.Y, 200);
  TPointF far = screen.Project({1960, 540, 2000});  // twice the camera's distance away
  EXPECT_FLOAT_EQ(far.X, 1460);
  TVec3 back = screen.Unproject(far, 2000);
  EXPECT_NEAR(back.X, 1960, 1e-3);
  EXPECT_NEAR(back.Y, 540, 1e-3);
  // Without a target nothing can be drawn.
  EXPECT_FALSE(screen.BeginScene());
}

}  // namespace
}  // namespace viv
