#include "render/screen.h"

#include <algorithm>

#include "base/log.h"
#include "render/device_mutex.h"

namespace viv {

T3DScreen::T3DScreen(TRef<T3DEngine> engine)
    : fEngine(std::move(engine)), fBatcher(MakeRef<TVertexBuffer>()) {
  Register(*fBatcher);
}

T3DScreen::~T3DScreen() {
  if (fTarget) fTarget->SetMessenger(nullptr);
  DropDevice();
  std::lock_guard guard(DeviceMutex());
  for (TDeviceResource* resource : fResources) resource->fScreen = nullptr;
  fResources.clear();
}

void T3DScreen::BindTarget(TRef<TDrawTarget> target) {
  std::lock_guard guard(DeviceMutex());
  if (fTarget) fTarget->SetMessenger(nullptr);
  fTarget = std::move(target);
  if (!fTarget) {
    LogLine("No window to draw");
    DropDevice();
    return;
  }
  fTarget->SetMessenger(this);
}

void T3DScreen::DropDevice() {
  std::lock_guard guard(DeviceMutex());
  for (TDeviceResource* resource : fResources) resource->DropBackend();
  fRenderer.Reset();
  fDrawing = false;
  fKilled = false;
}

bool T3DScreen::BeginScene() {
  std::lock_guard guard(DeviceMutex());
  fDrawing = false;
  if (!fTarget) {
    LogLine("No window to draw");
    return false;
  }
  TPixelRect client = fTarget->ClientRect();
  bool rebind =
      fRenderer && (fBoundWindow != fTarget->Window() || fBoundExclusive != fTarget->Exclusive());
  if (fKilled || rebind || (fRenderer && fRenderer->State() == TRendererState::Lost)) DropDevice();
  if (!fRenderer) {
    if (!fEngine->CheckDevice()) return false;
    fCard = fEngine->CardForRect(client);
    TDisplayMode mode;
    if (fTarget->Window() && !fEngine->GetDisplayMode(fCard, mode)) LogLine("Can't GetDisplayMode");
    fRenderer = fEngine->CreateRenderer(*fTarget, client);
    if (!fRenderer) {
      LogLine("Can't init");
      return false;
    }
    fBoundWindow = fTarget->Window();
    fBoundExclusive = fTarget->Exclusive();
  }
  // Shaders come back from their code before anything draws with them.
  for (TDeviceResource* resource : fResources)
    if (auto* shader = dynamic_cast<TShader*>(resource); shader && !shader->HasBackend())
      shader->Backend(*fRenderer);
  fRenderer->UpdateBounds();
  if (!fRenderer->BeginFrame()) return false;
  SetFullViewport({client.Width(), client.Height()});
  fDrawing = true;
  return true;
}

void T3DScreen::SetFullViewport(TPixelSize size) {
  fSize = size;
  fRenderer->SetViewport({0, 0, size.Width, size.Height}, 0, 1);
  fRenderer->SetTransform(TTransformKind::World, IdentityMatrix());
  fRenderer->SetTransform(TTransformKind::View, IdentityMatrix());
  fRenderer->SetTransform(TTransformKind::Projection, ScreenProjection(size));
}

bool T3DScreen::EndScene(bool present) {
  std::lock_guard guard(DeviceMutex());
  if (!fDrawing || !fRenderer) return false;
  bool ok = Flush();
  ok = fRenderer->EndFrame() && ok;
  if (present) ok = fRenderer->Present({}, {}) && ok;
  fDrawing = false;
  return ok;
}

bool T3DScreen::Clear(uint32_t colour, const std::vector<TPixelRect>& rects, uint32_t flags) {
  std::lock_guard guard(DeviceMutex());
  if (!fDrawing) return false;
  return Flush() && fRenderer->Clear(rects, flags, colour, 1);
}

bool T3DScreen::DrawTriangle(const TScreenVertex (&vertices)[3],
                             std::span<const TBatchTexture> textures) {
  std::lock_guard guard(DeviceMutex());
  if (!fDrawing) return false;
  return fBatcher->AddTriangle(*fRenderer, vertices, textures);
}

bool T3DScreen::DrawQuad(const TScreenVertex (&corners)[4],
                         std::span<const TBatchTexture> textures) {
  const TScreenVertex first[3] = {corners[0], corners[1], corners[2]};
  const TScreenVertex second[3] = {corners[0], corners[2], corners[3]};
  return DrawTriangle(first, textures) && DrawTriangle(second, textures);
}

bool T3DScreen::Flush() {
  std::lock_guard guard(DeviceMutex());
  if (!fRenderer) return false;
  return fBatcher->Flush(*fRenderer);
}

bool T3DScreen::SetTarget(T3DTexture* texture) {
  std::lock_guard guard(DeviceMutex());
  if (!fDrawing || !Flush()) return false;
  if (!fRenderer->SetTarget(texture ? texture->GetLevel(0).Get() : nullptr)) return false;
  TPixelRect client = fTarget->ClientRect();
  SetFullViewport(texture ? texture->Size() : TPixelSize{client.Width(), client.Height()});
  return true;
}

void T3DScreen::Register(TDeviceResource& resource) {
  std::lock_guard guard(DeviceMutex());
  if (resource.fScreen == this) return;
  if (resource.fScreen) resource.fScreen->Unregister(resource);
  resource.fScreen = this;
  fResources.push_back(&resource);
}

void T3DScreen::Unregister(TDeviceResource& resource) {
  std::lock_guard guard(DeviceMutex());
  if (resource.fScreen != this) return;
  resource.fScreen = nullptr;
  fResources.erase(std::remove(fResources.begin(), fResources.end(), &resource), fResources.end());
}

TVec3 T3DScreen::Unproject(const TPointF& screen, float z) const {
  // ProjectToScreen: s = c + c.z (c - p) / (p.z - c.z), solved for p at depth z.
  float denominator = fCamera.Z == 0 ? 1 : fCamera.Z;
  float k = (z - fCamera.Z) / denominator;
  return {fCamera.X - (screen.X - fCamera.X) * k, fCamera.Y - (screen.Y - fCamera.Y) * k, z};
}

}  // namespace viv
