// The renderer of one draw target on GL 3.3 core. Everything is drawn into
// framebuffer objects whose first row is the top of the picture, the back
// buffer included; a window's present copies that to the window.
#pragma once

#include <epoxy/gl.h>

#include <memory>

#include "render/device.h"
#include "render/draw_target.h"
#include "render/gl/gl_device.h"
#include "render/gl/gl_programs.h"
#include "render/gl/gl_resources.h"
#include "render/present_pacing.h"

namespace viv {

struct TGLCapabilities;

class TGLRenderer : public T3DRenderer {
 public:
  TGLRenderer(TRef<TGLDevice> device, TRef<TDrawTarget> target);
  ~TGLRenderer() override;

  TRendererState State() const override { return fState; }
  int64_t LastResult() const override { return fDevice->LastResult(); }

  void UpdateBounds() override;
  bool BeginFrame() override;
  bool EndFrame() override;
  bool Present(const std::vector<TPixelRect>& sourceRects,
               const std::vector<TPixelRect>& targetRects) override;
  bool Clear(const std::vector<TPixelRect>& rects, uint32_t flags, uint32_t colour,
             float depth) override;
  bool PrimeDraw() override;
  bool SetTarget(T3DSurface* surface) override;
  TRef<T3DSurface> GetTarget() override;
  bool GetBackBuffer(TRef<T3DSurface>& surface) override;
  bool SetViewport(const TPixelRect& rect, float minZ, float maxZ) override;
  bool DrawVertexList(T3DVertexList& list, TBaseTexture* const* textures, int32_t count,
                      TBlendMode mode) override;
  bool BindTexture(int32_t stage, TBaseTexture* texture) override;
  TRef<T3DTexture> CreateTexture(int32_t width, int32_t height, int32_t levels, int32_t kind,
                                 TSurfaceFormat format) override;
  TRef<TVolumeTexture> CreateVolumeTexture(int32_t width, int32_t height, int32_t depth) override;
  TRef<T3DVertexList> CreateVertexList(int32_t capacity, TVertexFormat format) override;
  bool StretchCopy(T3DSurface& source, const TPixelRect& sourceRect, T3DSurface& target,
                   const TPixelRect& targetRect, bool linear) override;
  bool SetPresentFlag(bool wholeFrames) override;
  bool SetTransform(TTransformKind kind, const TMatrix4& matrix) override;
  bool SetCulling(bool enabled) override;
  std::array<float, 2> GetPixelCentre() const override { return {0.5f, 0.5f}; }
  TRef<T3DShader> CreateShader(const std::string& code, TShaderKind kind) override;
  bool UseShader(T3DShader* shader) override;
  bool SetShaderConstants(int32_t start, const float* values, int32_t count, bool vertex) override;
  void SimulateDeviceLoss() override;

  // Allows anisotropic minification up to min(4, the device's maximum).
  void SetAnisotropy(bool wanted) { fAnisotropyWanted = wanted; }
  // The pacing of window presents (tests give it their clock).
  void SetPacer(std::unique_ptr<TPresentPacer> pacer) { fPacer = std::move(pacer); }

 private:
  bool Usable();
  // Sets up the frame buffer objects and the priming vertices once.
  bool Prepare();
  // The back buffer follows the target's size; the depth-stencil buffer with it.
  bool EnsureBackBuffer();
  bool Attach(TGLLevelSurface& surface);
  void DefaultStates();
  void ApplyBlend(TBlendMode mode);
  void ApplyTexture(int32_t stage, TBaseTexture* texture, bool ownSettings);
  bool Lost(std::string_view what);

  TRef<TGLDevice> fDevice;
  TRef<TDrawTarget> fTarget;
  std::unique_ptr<TGLPrograms> fPrograms;
  std::unique_ptr<TPresentPacer> fPacer;
  TRendererState fState = TRendererState::Ready;

  GLuint fFrame = 0, fRead = 0, fDraw = 0;  // frame buffer objects
  GLuint fDepthStencil = 0;
  TPixelSize fDepthStencilSize;
  std::array<GLuint, kMaxTextureStages> fSamplers{};
  GLuint fBoundSampler = 0;  // linear and clamped, for BindTexture
  GLuint fPrimeBuffer = 0, fPrimeArray = 0;
  TRef<TGLTexture> fBackBuffer;
  TRef<TGLLevelSurface> fTargetSurface;  // none: the back buffer
  bool fTargetHasStencil = false;

  TMatrix4 fWorld = IdentityMatrix(), fView = IdentityMatrix(), fProjection = IdentityMatrix();
  bool fCulling = false;
  bool fWholeFrames = false;
  bool fAnisotropyWanted = false;
  float fMaxAnisotropy = 1;
  TRef<TGLShader> fVertexShader, fPixelShader;
  std::array<float, 4 * kShaderConstants> fPixelConstants{}, fVertexConstants{};
};

}  // namespace viv
