#include "render_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "render/gl/gl_engine.h"

namespace viv::test {

TOffscreenRenderer::TOffscreenRenderer(int32_t width, int32_t height)
    : fEngine(CreateGLEngine()), fTarget(MakeRef<TOffscreenTarget>(width, height)) {
  fRenderer = fEngine->CreateRenderer(*fTarget, fTarget->ClientRect());
  EXPECT_TRUE(fRenderer) << "no off-screen renderer (EGL without a surface)";
  if (!fRenderer) return;
  EXPECT_TRUE(fRenderer->BeginFrame());
  fRenderer->SetTransform(TTransformKind::Projection, ScreenProjection({width, height}));
}

std::vector<uint32_t> TOffscreenRenderer::Pixels() const {
  TRef<T3DSurface> back;
  if (!fRenderer || !fRenderer->GetBackBuffer(back)) return {};
  TPixelSize size = back->GetSize();
  TBitmap bitmap(size.Width, size.Height, TPixelFormat::Argb32);
  EXPECT_TRUE(back->CopyTo(bitmap));
  std::vector<uint32_t> pixels(static_cast<size_t>(size.Width) * size.Height);
  std::memcpy(pixels.data(), bitmap.Data(), pixels.size() * 4);
  return pixels;
}

uint32_t TOffscreenRenderer::Pixel(int32_t x, int32_t y) const {
  std::vector<uint32_t> pixels = Pixels();
  TPixelRect client = fTarget->ClientRect();
  return pixels.at(static_cast<size_t>(y) * client.Width() + x);
}

void TOffscreenRenderer::DrawQuad(float left, float top, float right, float bottom, uint32_t colour,
                                  TBaseTexture* texture, TBlendMode mode) {
  struct TVertex {
    float X, Y, Z;
    uint32_t Colour;
    float U, V;
  };
  // The batcher's pixel centre: screen coordinates minus (0.5, 0.5).
  left -= 0.5f, right -= 0.5f, top -= 0.5f, bottom -= 0.5f;
  const TVertex vertices[] = {{left, top, 0, colour, 0, 0},     {right, top, 0, colour, 1, 0},
                              {left, bottom, 0, colour, 0, 1},  {right, top, 0, colour, 1, 0},
                              {right, bottom, 0, colour, 1, 1}, {left, bottom, 0, colour, 0, 1}};
  TVertexFormat format{kVertexDiffuse, 1, TPrimitive::TriangleList};
  auto list = fRenderer->CreateVertexList(6, format);
  ASSERT_TRUE(list);
  ASSERT_TRUE(list->Write(0, vertices, 6));
  TBaseTexture* textures[] = {texture};
  ASSERT_TRUE(fRenderer->DrawVertexList(*list, textures, texture ? 1 : 0, mode));
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8)
    worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                     static_cast<int>((b >> shift) & 0xFF)));
  return worst;
}

}  // namespace viv::test
