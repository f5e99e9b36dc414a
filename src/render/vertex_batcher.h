// The triangle batcher of a screen: triangles are gathered while they share
// one set of textures, and written and drawn in one go when the set changes,
// the batch is full or the screen flushes.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "model/geometry.h"
#include "render/device.h"
#include "render/device_resource.h"

namespace viv {

// A texture of a batch with what the blend mode depends on.
struct TBatchTexture {
  TBaseTexture* Texture = nullptr;
  bool Premultiplied = false;
  bool HasAlpha = false;
  friend bool operator==(const TBatchTexture&, const TBatchTexture&) = default;
};

// A vertex as callers give it: screen position (pixel centres on whole
// numbers, depth 0 unless projected), colour 0xAARRGGBB, one coordinate pair
// per texture of the batch.
struct TScreenVertex {
  float X = 0, Y = 0, Z = 0;
  uint32_t Colour = 0xFFFFFFFF;
  std::array<TPointF, kMaxTextureStages> Tex{};
};

// The blend mode of a batch: no texture untextured; a premultiplied texture
// or batch 7; one texture with alpha, or drawn with a colour whose alpha is
// below 255, 5; otherwise 1.
TBlendMode ChooseBlendMode(std::span<const TBatchTexture> textures, bool batchPremultiplied,
                           bool colourHasAlpha);
// Each channel times alpha / 255, rounded.
uint32_t PremultiplyColour(uint32_t colour);

class TVertexBuffer : public TDeviceResource {
 public:
  static constexpr int32_t kTriangles = 1024;

  // Adds a triangle; first draws what is gathered when the texture set
  // differs or the batch is full. False when drawing failed.
  bool AddTriangle(T3DRenderer& renderer, const TScreenVertex (&vertices)[3],
                   std::span<const TBatchTexture> textures);
  // A batch whose colours are already multiplied by their alpha.
  bool SetPremultiplied(T3DRenderer& renderer, bool premultiplied);
  // Draws what is gathered.
  bool Flush(T3DRenderer& renderer);
  int32_t PendingTriangles() const { return fTriangles; }
  // How many batches were drawn (for tests and benchmarks).
  int64_t DrawnBatches() const { return fBatches; }

  void DropBackend() override { fList.Reset(); }

 private:
  std::vector<TBatchTexture> fTextures;
  bool fPremultiplied = false;
  bool fColourHasAlpha = false;
  std::vector<uint8_t> fVertices;
  int32_t fTriangles = 0;
  int64_t fBatches = 0;
  TRef<T3DVertexList> fList;
};

}  // namespace viv
