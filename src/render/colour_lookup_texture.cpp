#include "render/colour_lookup_texture.h"

#include "render/surface_formats.h"

namespace viv {

TColorLookupTexture::TColorLookupTexture(TKind kind, std::vector<uint32_t> base, TFilterChain chain)
    : fKind(kind), fBase(std::move(base)), fChain(std::move(chain)) {
  size_t entries = kind == TKind::Grid ? size_t{kLutGridWidth} * kLutGridHeight
                                       : size_t{kLutCurveWidth} * kLutCurveHeight;
  if (fBase.size() != entries)
    fBase = kind == TKind::Grid ? MakeIdentityGrid() : MakeIdentityCurve();
}

std::vector<uint32_t> TColorLookupTexture::Table() const {
  std::vector<uint32_t> table = fBase;
  if (fKind == TKind::Grid)
    ApplyChainToLut(fChain, table.data(), kLutGridWidth, kLutGridHeight);
  else
    ApplyChainToLut(fChain, table.data(), kLutCurveWidth, kLutCurveHeight);
  return table;
}

TBaseTexture* TColorLookupTexture::GetTexture(T3DRenderer& renderer) {
  if (fBackend) return fBackend.Get();
  std::vector<uint32_t> table = Table();
  if (fKind == TKind::Grid) {
    // The table's rows run through the slices as the volume's do: row
    // blue x 32 + green, column red.
    TRef<TVolumeTexture> volume =
        renderer.CreateVolumeTexture(kLutGridSize, kLutGridSize, kLutGridSize);
    if (!volume) return nullptr;
    TSurfaceLock lock = volume->LockLevel(0);
    if (!lock.IsValid()) return nullptr;
    for (int32_t row = 0; row < kLutGridHeight; ++row)
      ArgbRowToSurface(lock.Format, table.data() + static_cast<size_t>(row) * kLutGridWidth,
                       kLutGridWidth, lock.Row(row));
    if (!volume->UnlockLevel(0, lock)) return nullptr;
    fBackend = volume;
  } else {
    TRef<T3DTexture> curve = renderer.CreateTexture(kLutCurveWidth, kLutCurveHeight, 1,
                                                    kManagedTexture, TSurfaceFormat::Argb32);
    if (!curve) return nullptr;
    TRef<T3DSurface> level = curve->GetLevel(0);
    TSurfaceLock lock = level->Lock({}, false);
    if (!lock.IsValid()) return nullptr;
    ArgbRowToSurface(lock.Format, table.data(), kLutCurveWidth, lock.Row(0));
    if (!level->Unlock(lock)) return nullptr;
    curve->SetMipFiltering(false);
    fBackend = curve;
  }
  return fBackend.Get();
}

}  // namespace viv
