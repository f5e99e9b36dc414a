#include "render/vertex_batcher.h"

#include <algorithm>
#include <cstring>

namespace viv {

TBlendMode ChooseBlendMode(std::span<const TBatchTexture> textures, bool batchPremultiplied,
                           bool colourHasAlpha) {
  if (textures.empty()) return TBlendMode::Untextured;
  bool premultiplied =
      batchPremultiplied || std::any_of(textures.begin(), textures.end(),
                                        [](const TBatchTexture& t) { return t.Premultiplied; });
  if (premultiplied) return TBlendMode::Premultiplied;
  if (textures.size() == 1 && (colourHasAlpha || textures[0].HasAlpha)) return TBlendMode::Alpha;
  return TBlendMode::Opaque;
}

uint32_t PremultiplyColour(uint32_t colour) {
  uint32_t alpha = colour >> 24;
  uint32_t out = colour & 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t channel = (colour >> shift) & 0xFF;
    out |= ((channel * alpha + 127) / 255) << shift;
  }
  return out;
}

bool TVertexBuffer::SetPremultiplied(T3DRenderer& renderer, bool premultiplied) {
  if (premultiplied == fPremultiplied) return true;
  bool ok = Flush(renderer);
  fPremultiplied = premultiplied;
  return ok;
}

bool TVertexBuffer::AddTriangle(T3DRenderer& renderer, const TScreenVertex (&vertices)[3],
                                std::span<const TBatchTexture> textures) {
  size_t count = std::min<size_t>(textures.size(), kMaxTextureStages);
  std::span<const TBatchTexture> used = textures.first(count);
  bool ok = true;
  if (fTriangles == kTriangles ||
      !std::equal(used.begin(), used.end(), fTextures.begin(), fTextures.end()))
    ok = Flush(renderer);
  if (fTriangles == 0) fTextures.assign(used.begin(), used.end());

  TVertexFormat format{kVertexDiffuse, static_cast<int32_t>(count), TPrimitive::TriangleList};
  size_t stride = format.Stride();
  std::array<float, 2> centre = renderer.GetPixelCentre();
  bool premultiplyColours = count > 0 && used[0].Premultiplied;
  for (const TScreenVertex& v : vertices) {
    size_t at = fVertices.size();
    fVertices.resize(at + stride);
    uint8_t* out = fVertices.data() + at;
    float position[3] = {v.X - centre[0], v.Y - centre[1], v.Z};
    std::memcpy(out, position, sizeof position);
    uint32_t colour = premultiplyColours ? PremultiplyColour(v.Colour) : v.Colour;
    if ((v.Colour >> 24) < 255) fColourHasAlpha = true;
    std::memcpy(out + format.DiffuseOffset(), &colour, 4);
    for (size_t i = 0; i < count; ++i) {
      float pair[2] = {v.Tex[i].X, v.Tex[i].Y};
      std::memcpy(out + format.TextureOffset(static_cast<int32_t>(i)), pair, sizeof pair);
    }
  }
  ++fTriangles;
  return ok;
}

bool TVertexBuffer::Flush(T3DRenderer& renderer) {
  if (fTriangles == 0) return true;
  TVertexFormat format{kVertexDiffuse, static_cast<int32_t>(fTextures.size()),
                       TPrimitive::TriangleList};
  int32_t vertices = 3 * fTriangles;
  bool ok = true;
  if (!fList) fList = renderer.CreateVertexList(3 * kTriangles, format);
  if (!fList) {
    ok = false;
  } else {
    // Setting the format starts the list afresh, so it draws only this batch.
    fList->SetFormat(format);
    std::vector<TBaseTexture*> textures;
    for (const TBatchTexture& t : fTextures) textures.push_back(t.Texture);
    ok = fList->Write(0, fVertices.data(), vertices) &&
         renderer.DrawVertexList(*fList, textures.data(), static_cast<int32_t>(textures.size()),
                                 ChooseBlendMode(fTextures, fPremultiplied, fColourHasAlpha));
    ++fBatches;
  }
  fVertices.clear();
  fTriangles = 0;
  fColourHasAlpha = false;
  return ok;
}

}  // namespace viv
