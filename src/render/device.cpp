#include "render/device.h"

#include <algorithm>

namespace viv {

TPixelRect Intersect(const TPixelRect& a, const TPixelRect& b) {
  TPixelRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TPixelRect{} : r;
}

int SurfaceBytesPerPixel(TSurfaceFormat format) {
  switch (format) {
    case TSurfaceFormat::Argb32:
    case TSurfaceFormat::Xrgb32: return 4;
    case TSurfaceFormat::Rgb24: return 3;
    case TSurfaceFormat::X1r5g5b5:
    case TSurfaceFormat::R5g6b5: return 2;
    case TSurfaceFormat::L8:
    case TSurfaceFormat::P8: return 1;
  }
  return 4;
}

bool IsRenderTargetKind(int32_t kind) { return kind != kManagedTexture && kind != 3 && kind != 4; }

int32_t FullMipChainLength(TPixelSize size) {
  int32_t levels = 1;
  for (int32_t side = std::max(size.Width, size.Height); side > 1; side /= 2) ++levels;
  return levels;
}

size_t TVertexFormat::SpecularOffset() const {
  return DiffuseOffset() + ((Components & kVertexDiffuse) ? 4 : 0);
}

size_t TVertexFormat::NormalOffset() const {
  return SpecularOffset() + ((Components & kVertexSpecular) ? 4 : 0);
}

size_t TVertexFormat::TextureOffset(int32_t index) const {
  return NormalOffset() + ((Components & kVertexNormal) ? 12 : 0) + 8 * static_cast<size_t>(index);
}

size_t TVertexFormat::Stride() const { return TextureOffset(TextureCount); }

TMatrix4 IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

TMatrix4 Multiply(const TMatrix4& a, const TMatrix4& b) {
  TMatrix4 r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
  return r;
}

TMatrix4 ScreenProjection(TPixelSize size) {
  float w = static_cast<float>(std::max(size.Width, 1));
  float h = static_cast<float>(std::max(size.Height, 1));
  // x' = (x + 0.5) 2 / w - 1, y' = 1 - (y + 0.5) 2 / h.
  return {2 / w, 0, 0, 0, 0, -2 / h, 0, 0, 0, 0, 1, 0, 1 / w - 1, 1 - 1 / h, 0, 1};
}

int QualityTierFor(int32_t pixelShaderVersion, int32_t vendor) {
  // The low 16 bits hold major and minor; without them there is no shader.
  int32_t version = pixelShaderVersion & 0xFFFF;
  if (version < 0x0200) return 0;
  if (version >= 0x0300 || vendor != kIntelVendor) return 2;
  return 1;
}

int T3DEngine::QualityTier(int32_t card) {
  return QualityTierFor(GetCapInt("pixelshaderversion", card), GetCapInt("vendor", card));
}

}  // namespace viv
