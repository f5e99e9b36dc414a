#include "render/texture_tiles.h"

#include <algorithm>

#include "render/screen.h"
#include "render/surface_formats.h"

namespace viv {

size_t ChooseTilePool(int32_t width, int32_t height) {
  size_t best = 0;
  int64_t bestCovered = -1, bestWaste = 0;
  for (size_t i = 0; i < kTileSizes.size(); ++i) {
    const TPixelSize& tile = kTileSizes[i];
    int64_t covered = int64_t{std::min(width, tile.Width)} * std::min(height, tile.Height);
    int64_t waste = int64_t{tile.Width} * tile.Height - covered;
    if (covered > bestCovered || (covered == bestCovered && waste < bestWaste)) {
      best = i, bestCovered = covered, bestWaste = waste;
    }
  }
  return best;
}

std::vector<TTilePlacement> CoverWithTiles(int32_t x, int32_t y, int32_t width, int32_t height) {
  std::vector<TTilePlacement> tiles;
  // Regions still to cover; the rest of a row is covered the same way as the
  // whole region, after the row's first tile.
  std::vector<TPixelRect> pending;
  if (width > 0 && height > 0) pending.push_back({x, y, x + width, y + height});
  while (!pending.empty()) {
    TPixelRect region = pending.back();
    pending.pop_back();
    int32_t top = region.Top;
    int32_t left = region.Left, w = region.Width();
    for (int32_t h = region.Bottom - top; h > 0;) {
      int32_t wantW = w + 2 * kTileApron, wantH = h + 2 * kTileApron;
      size_t pool = ChooseTilePool(wantW, wantH);
      TTilePlacement tile{pool, left - kTileApron, top - kTileApron,
                          std::min(wantW, kTileSizes[pool].Width),
                          std::min(wantH, kTileSizes[pool].Height)};
      tiles.push_back(tile);
      int32_t coveredW = tile.UsedWidth - 2 * kTileApron;
      int32_t coveredH = tile.UsedHeight - 2 * kTileApron;
      if (coveredW < w) pending.push_back({left + coveredW, top, left + w, top + coveredH});
      top += coveredH;
      h -= coveredH;
    }
  }
  return tiles;
}

// --- TTextureTile

void TTextureTile::Show(TRef<TBitmap> picture, const TTilePlacement& placement) {
  fPicture = std::move(picture);
  fPlacement = placement;
  Invalidate();
}

bool TTextureTile::FillContents(T3DTexture& texture) {
  if (!fPicture) return false;
  TRef<T3DSurface> level = texture.GetLevel(0);
  TSurfaceLock lock = level ? level->Lock({}, false) : TSurfaceLock{};
  if (!lock.IsValid()) return false;
  int32_t lastX = fPicture->Width() - 1, lastY = fPicture->Height() - 1;
  std::vector<uint32_t> row(static_cast<size_t>(lock.Rect.Width()));
  for (int32_t j = 0; j < lock.Rect.Height(); ++j) {
    int32_t py = std::clamp(fPlacement.Y + j, 0, lastY);
    for (int32_t i = 0; i < lock.Rect.Width(); ++i)
      row[static_cast<size_t>(i)] = fPicture->Pixel(std::clamp(fPlacement.X + i, 0, lastX), py);
    ArgbRowToSurface(lock.Format, row.data(), lock.Rect.Width(), lock.Row(j));
  }
  return level->Unlock(lock);
}

// --- TTileManager

TRef<TTextureTile> TTileManager::Take() {
  if (!fFree.empty()) {
    TRef<TTextureTile> tile = std::move(fFree.back());
    fFree.pop_back();
    return tile;
  }
  auto tile = MakeRef<TTextureTile>(fSize);
  fScreen.Register(*tile);
  ++fMade;
  return tile;
}

void TTileManager::GiveBack(TRef<TTextureTile> tile) { fFree.push_back(std::move(tile)); }

TTextureManager6::TTextureManager6(T3DScreen& screen) {
  for (const TPixelSize& size : kTileSizes)
    fPools.push_back(std::make_unique<TTileManager>(screen, size));
}

// --- TMultiTexture6

TMultiTexture6::TMultiTexture6(TTextureManager6& manager, TRef<TBitmap> picture)
    : fManager(manager), fPicture(std::move(picture)) {
  for (const TTilePlacement& placement :
       CoverWithTiles(0, 0, fPicture->Width(), fPicture->Height())) {
    TRef<TTextureTile> tile = fManager.Pool(placement.Pool).Take();
    tile->Show(fPicture, placement);
    fTiles.push_back(std::move(tile));
  }
}

TMultiTexture6::~TMultiTexture6() {
  for (auto& tile : fTiles) fManager.Pool(tile->Placement().Pool).GiveBack(std::move(tile));
}

bool TMultiTexture6::Draw(T3DScreen& screen, const TRectF& source,
                          const std::array<TPointF, 4>& quad) {
  T3DRenderer* renderer = screen.Renderer();
  if (!renderer || source.IsEmpty()) return false;
  // A picture point's place on the quad: bilinear over the source rectangle.
  auto place = [&](float px, float py) {
    float s = (px - source.Left) / source.Width(), t = (py - source.Top) / source.Height();
    TPointF top{quad[0].X + (quad[1].X - quad[0].X) * s, quad[0].Y + (quad[1].Y - quad[0].Y) * s};
    TPointF bottom{quad[3].X + (quad[2].X - quad[3].X) * s,
                   quad[3].Y + (quad[2].Y - quad[3].Y) * s};
    return TPointF{top.X + (bottom.X - top.X) * t, top.Y + (bottom.Y - top.Y) * t};
  };
  uint32_t colour = (static_cast<uint32_t>(Opacity) << 24) | (TextColour & 0xFFFFFF);
  bool ok = true;
  for (auto& tile : fTiles) {
    const TTilePlacement& p = tile->Placement();
    TPixelRect inner = p.Inner();
    TRectF part{std::max(source.Left, static_cast<float>(inner.Left)),
                std::max(source.Top, static_cast<float>(inner.Top)),
                std::min(source.Right, static_cast<float>(inner.Right)),
                std::min(source.Bottom, static_cast<float>(inner.Bottom))};
    if (part.IsEmpty()) continue;
    T3DTexture* texture = tile->GetTexture(*renderer);
    if (!texture) {
      ok = false;
      continue;
    }
    texture->SetAddressing(TAddressing::Clamp, TAddressing::Clamp);
    TPixelSize size = tile->GetSize();
    auto corner = [&](float px, float py) {
      TScreenVertex v;
      TPointF at = place(px, py);
      v.X = at.X, v.Y = at.Y, v.Colour = colour;
      v.Tex[0] = {(px - static_cast<float>(p.X)) / static_cast<float>(size.Width),
                  (py - static_cast<float>(p.Y)) / static_cast<float>(size.Height)};
      return v;
    };
    const TScreenVertex corners[4] = {corner(part.Left, part.Top), corner(part.Right, part.Top),
                                      corner(part.Right, part.Bottom),
                                      corner(part.Left, part.Bottom)};
    const TBatchTexture textures[] = {{texture, Premultiplied, HasAlpha(fPicture->Format())}};
    ok = screen.DrawQuad(corners, textures) && ok;
  }
  return ok;
}

}  // namespace viv
