#include "render/device_resource.h"

#include "render/screen.h"

namespace viv {

TDeviceResource::~TDeviceResource() {
  if (fScreen) fScreen->Unregister(*this);
}

T3DShader* TShader::Backend(T3DRenderer& renderer) {
  if (!fBackend) fBackend = renderer.CreateShader(fCode, fKind);
  return fBackend.Get();
}

T3DTexture* TCustomTexture::GetTexture(T3DRenderer& renderer) {
  if (!fBackend) {
    fBackend = renderer.CreateTexture(fSize.Width, fSize.Height, fLevels, fKind, fFormat);
    fContentsValid = false;
    if (!fBackend) return nullptr;
  }
  if (!fContentsValid) fContentsValid = FillContents(*fBackend);
  fBackend->SetFiltering(Filtering);
  fBackend->SetMipFiltering(MipMapping);
  fBackend->SetLodBias(LodBias);
  return fBackend.Get();
}

void TCustomTexture::DropBackend() {
  fBackend.Reset();
  fContentsValid = false;
}

}  // namespace viv
