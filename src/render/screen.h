// The binding of one draw target to the device layer: the renderer, the
// batcher and the resources that must be made again after the device is
// lost. The drawer, the textures and the transitions draw through it.
#pragma once

#include <atomic>
#include <span>
#include <vector>

#include "model/geometry.h"
#include "render/device.h"
#include "render/device_resource.h"
#include "render/draw_target.h"
#include "render/vertex_batcher.h"

namespace viv {

class T3DScreen : public TRefObject, private TDeviceKilledMessenger {
 public:
  explicit T3DScreen(TRef<T3DEngine> engine);
  ~T3DScreen() override;

  // Binds the screen to a target (none: unbound); the renderer is made by
  // the next BeginScene.
  void BindTarget(TRef<TDrawTarget> target);
  TDrawTarget* Target() const { return fTarget.Get(); }

  // Makes a renderer when there is none (or the target's window or exclusive
  // mode changed, or the device was lost), starts the frame and sets the
  // viewport and projection of the whole target. False: nothing may be drawn.
  bool BeginScene();
  // Draws what is batched, ends the frame and, when asked, presents it.
  bool EndScene(bool present);
  bool Drawing() const { return fDrawing; }

  bool Clear(uint32_t colour, const std::vector<TPixelRect>& rects = {},
             uint32_t flags = kClearColour);
  bool DrawTriangle(const TScreenVertex (&vertices)[3], std::span<const TBatchTexture> textures);
  // Corners in order top left, top right, bottom right, bottom left.
  bool DrawQuad(const TScreenVertex (&corners)[4], std::span<const TBatchTexture> textures);
  bool Flush();
  TVertexBuffer& Batcher() { return *fBatcher; }
  // Draws into a render-target texture (none: the target itself), with its
  // viewport and projection.
  bool SetTarget(T3DTexture* texture);

  // The renderer of the current scene (none outside one); for shaders and constants.
  T3DRenderer* Renderer() const { return fRenderer.Get(); }
  T3DEngine& Engine() const { return *fEngine; }
  int32_t Card() const { return fCard; }
  TPixelSize TargetSize() const { return fSize; }
  float ReciprocalWidth() const { return 1.0f / static_cast<float>(std::max(fSize.Width, 1)); }
  float ReciprocalHeight() const { return 1.0f / static_cast<float>(std::max(fSize.Height, 1)); }

  // Resources whose backend objects go with a lost device; a resource that
  // goes leaves the list by itself.
  void Register(TDeviceResource& resource);
  void Unregister(TDeviceResource& resource);

  // The camera that Project looks from (screen pixels; z towards the viewer).
  void SetCamera(const TVec3& camera) { fCamera = camera; }
  TPointF Project(const TVec3& point) const { return ProjectToScreen(point, fCamera); }
  // The point at depth z that projects to the screen point.
  TVec3 Unproject(const TPointF& screen, float z) const;

 private:
  void DeviceKilled() override { fKilled = true; }
  // The renderer and every backend object go; the resources stay.
  void DropDevice();
  void SetFullViewport(TPixelSize size);

  TRef<T3DEngine> fEngine;
  TRef<TDrawTarget> fTarget;
  TRef<T3DRenderer> fRenderer;
  TRef<TVertexBuffer> fBatcher;
  std::vector<TDeviceResource*> fResources;
  std::atomic<bool> fKilled = false;
  SDL_Window* fBoundWindow = nullptr;
  bool fBoundExclusive = false;
  int32_t fCard = 0;
  TPixelSize fSize;
  bool fDrawing = false;
  TVec3 fCamera;
};

}  // namespace viv
