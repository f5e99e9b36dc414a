// Render-target textures of one size for passes off screen (blur,
// sharpening, masks, transitions): taken for one pass and given back after it.
#pragma once

#include <vector>

#include "render/device_resource.h"

namespace viv {

class T3DScreen;

// A render target's contents are redrawn by its pass, never filled from a source.
class TRenderTargetTexture : public TCustomTexture {
 public:
  TRenderTargetTexture(TPixelSize size, TSurfaceFormat format)
      : TCustomTexture(size, format, 1, kRenderTargetTexture) {}

 protected:
  bool FillContents(T3DTexture&) override { return true; }
};

class TRenderTargetManager {
 public:
  TRenderTargetManager(T3DScreen& screen, TSurfaceFormat format = TSurfaceFormat::Argb32)
      : fScreen(screen), fFormat(format) {}
  TRenderTargetManager(const TRenderTargetManager&) = delete;
  TRenderTargetManager& operator=(const TRenderTargetManager&) = delete;

  // A different size lets the free targets go.
  void SetSize(TPixelSize size);
  TPixelSize Size() const { return fSize; }
  TRef<TRenderTargetTexture> Take();
  // Targets of another size (taken before a resize) are let go.
  void GiveBack(TRef<TRenderTargetTexture> target);
  size_t FreeCount() const { return fFree.size(); }

 private:
  T3DScreen& fScreen;
  TSurfaceFormat fFormat;
  TPixelSize fSize;
  std::vector<TRef<TRenderTargetTexture>> fFree;
};

}  // namespace viv
