// Pictures of any size drawn with textures of nine fixed sizes: tiles with a
// one-pixel apron, taken from pools and given back when their picture goes.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "image/bitmap.h"
#include "model/geometry.h"
#include "render/device_resource.h"
#include "render/vertex_batcher.h"

namespace viv {

class T3DScreen;

// The pool sizes, in the order that breaks ties.
inline constexpr std::array<TPixelSize, 9> kTileSizes = {{{512, 512},
                                                          {512, 256},
                                                          {256, 512},
                                                          {256, 256},
                                                          {256, 128},
                                                          {128, 256},
                                                          {256, 64},
                                                          {64, 256},
                                                          {64, 64}}};
inline constexpr int32_t kTileApron = 1;

// The pool for a request of w x h texels: the largest covered area, then the
// least waste, then the earlier pool.
size_t ChooseTilePool(int32_t width, int32_t height);

// Where a tile lies: its first texel at (X, Y) in picture coordinates (the
// apron one pixel outside what it covers) and the texels it uses.
struct TTilePlacement {
  size_t Pool = 0;
  int32_t X = 0, Y = 0;
  int32_t UsedWidth = 0, UsedHeight = 0;
  // The picture pixels it covers: its used area less the apron.
  TPixelRect Inner() const {
    return {X + kTileApron, Y + kTileApron, X + UsedWidth - kTileApron,
            Y + UsedHeight - kTileApron};
  }
};

// Tiles covering the region (x, y, width, height) of a picture without gaps;
// neighbours overlap by their aprons.
std::vector<TTilePlacement> CoverWithTiles(int32_t x, int32_t y, int32_t width, int32_t height);

// A tile's texture, filled from its picture: texels outside the picture
// repeat its edge, so bilinear filtering shows no seam.
class TTextureTile : public TCustomTexture {
 public:
  explicit TTextureTile(TPixelSize size) : TCustomTexture(size, TSurfaceFormat::Argb32) {}
  void Show(TRef<TBitmap> picture, const TTilePlacement& placement);
  const TTilePlacement& Placement() const { return fPlacement; }

 protected:
  bool FillContents(T3DTexture& texture) override;

 private:
  TRef<TBitmap> fPicture;
  TTilePlacement fPlacement;
};

// The tiles of one size, with the free ones kept for the next picture.
class TTileManager {
 public:
  TTileManager(T3DScreen& screen, TPixelSize size) : fScreen(screen), fSize(size) {}
  TTileManager(const TTileManager&) = delete;
  TTileManager& operator=(const TTileManager&) = delete;

  TPixelSize Size() const { return fSize; }
  TRef<TTextureTile> Take();
  void GiveBack(TRef<TTextureTile> tile);
  size_t FreeCount() const { return fFree.size(); }
  size_t MadeCount() const { return fMade; }

 private:
  T3DScreen& fScreen;
  TPixelSize fSize;
  std::vector<TRef<TTextureTile>> fFree;
  size_t fMade = 0;
};

// The nine pools of a drawer.
class TTextureManager6 {
 public:
  explicit TTextureManager6(T3DScreen& screen);
  TTileManager& Pool(size_t index) { return *fPools[index]; }
  size_t PoolCount() const { return fPools.size(); }

 private:
  std::vector<std::unique_ptr<TTileManager>> fPools;
};

// The tiles that together hold one picture; they go back to their pools
// with it.
class TMultiTexture6 : public TRefObject {
 public:
  TMultiTexture6(TTextureManager6& manager, TRef<TBitmap> picture);
  ~TMultiTexture6() override;

  const std::vector<TRef<TTextureTile>>& Tiles() const { return fTiles; }
  int32_t Width() const { return fPicture->Width(); }
  int32_t Height() const { return fPicture->Height(); }

  uint8_t Opacity = 255;
  bool Premultiplied = false;
  uint32_t TextColour = 0xFFFFFF;  // the vertex colour's red, green and blue

  // Draws the source rectangle of the picture (picture pixels) onto the quad
  // of four screen corners (top left, top right, bottom right, bottom left):
  // each tile draws the part of the rectangle inside its inner area, at the
  // matching place of the quad. Tiles outside the rectangle are skipped.
  bool Draw(T3DScreen& screen, const TRectF& source, const std::array<TPointF, 4>& quad);

 private:
  TTextureManager6& fManager;
  TRef<TBitmap> fPicture;
  std::vector<TRef<TTextureTile>> fTiles;
};

}  // namespace viv
