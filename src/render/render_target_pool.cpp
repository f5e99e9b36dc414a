#include "render/render_target_pool.h"

#include "render/screen.h"

namespace viv {

void TRenderTargetManager::SetSize(TPixelSize size) {
  if (size == fSize) return;
  fFree.clear();
  fSize = size;
}

TRef<TRenderTargetTexture> TRenderTargetManager::Take() {
  if (!fFree.empty()) {
    TRef<TRenderTargetTexture> target = std::move(fFree.back());
    fFree.pop_back();
    return target;
  }
  auto target = MakeRef<TRenderTargetTexture>(fSize, fFormat);
  fScreen.Register(*target);
  return target;
}

void TRenderTargetManager::GiveBack(TRef<TRenderTargetTexture> target) {
  if (!target) return;
  // One of another size goes (and leaves the screen's resources with it).
  if (target->GetSize() == fSize) fFree.push_back(std::move(target));
}

}  // namespace viv
