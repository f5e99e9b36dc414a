#include "render/gl/gl_renderer.h"

#include <algorithm>
#include <cstring>

#include "base/log.h"
#include "render/device_mutex.h"

namespace viv {
namespace {

constexpr float kAnisotropyLimit = 4;
// The priming strip: four transparent corners just off the target.
constexpr float kPrimeCorner = -0.05f;

GLenum AddressMode(TAddressing addressing) {
  switch (addressing) {
    case TAddressing::Wrap: return GL_REPEAT;
    case TAddressing::Mirror: return GL_MIRRORED_REPEAT;
    case TAddressing::Clamp: break;
  }
  return GL_CLAMP_TO_EDGE;
}

GLenum PrimitiveMode(TPrimitive primitive) {
  switch (primitive) {
    case TPrimitive::TriangleStrip: return GL_TRIANGLE_STRIP;
    case TPrimitive::TriangleFan: return GL_TRIANGLE_FAN;
    case TPrimitive::TriangleList: break;
  }
  return GL_TRIANGLES;
}

TGLLevelSurface* AsGLSurface(T3DSurface* surface) {
  return dynamic_cast<TGLLevelSurface*>(surface);
}

}  // namespace

TGLRenderer::TGLRenderer(TRef<TGLDevice> device, TRef<TDrawTarget> target)
    : fDevice(std::move(device)),
      fTarget(std::move(target)),
      fPrograms(std::make_unique<TGLPrograms>(*fDevice)),
      fPacer(std::make_unique<TPresentPacer>()) {}

TGLRenderer::~TGLRenderer() {
  std::lock_guard guard(DeviceMutex());
  fTargetSurface.Reset();
  fBackBuffer.Reset();
  fVertexShader.Reset();
  fPixelShader.Reset();
  fPrograms.reset();
  // The frame buffers, samplers and buffers die with the context; resources
  // that outlive the renderer find their device gone.
  fDevice->Kill();
}

bool TGLRenderer::Lost(std::string_view what) {
  if (fState == TRendererState::Lost) return false;
  LogLine("T3DRenderer9: DEVICE LOST!");
  LogLine(std::string(what) + ": the device is gone");
  fState = TRendererState::Lost;
  return false;
}

bool TGLRenderer::Usable() {
  if (fState != TRendererState::Ready) return false;
  if (!fDevice->Use()) return Lost("Use");
  return Prepare();
}

bool TGLRenderer::Prepare() {
  if (fFrame) return true;
  GLuint frames[3];
  glGenFramebuffers(3, frames);
  fFrame = frames[0], fRead = frames[1], fDraw = frames[2];
  glGenSamplers(kMaxTextureStages, fSamplers.data());
  glGenSamplers(1, &fBoundSampler);
  glSamplerParameteri(fBoundSampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(fBoundSampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    glSamplerParameteri(fBoundSampler, wrap, GL_CLAMP_TO_EDGE);
  if (epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &fMaxAnisotropy);
  // Position and colour, 16 bytes a vertex.
  struct TPrimeVertex {
    float X, Y, Z;
    uint32_t Colour;
  };
  const TPrimeVertex corners[] = {{kPrimeCorner, kPrimeCorner, 0, 0},
                                  {kPrimeCorner, 0, 0, 0},
                                  {0, kPrimeCorner, 0, 0},
                                  {0, 0, 0, 0}};
  glGenVertexArrays(1, &fPrimeArray);
  glGenBuffers(1, &fPrimeBuffer);
  glBindVertexArray(fPrimeArray);
  glBindBuffer(GL_ARRAY_BUFFER, fPrimeBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(TPrimeVertex), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TPrimeVertex),
                        reinterpret_cast<const void*>(12));
  return fDevice->Check("Prepare");
}

bool TGLRenderer::EnsureBackBuffer() {
  TPixelRect client = fTarget->ClientRect();
  TPixelSize size{std::max(1, client.Width()), std::max(1, client.Height())};
  if (fBackBuffer && fBackBuffer->Size() == size) return true;
  GLuint name = CreateGLTexture(*fDevice, size, 1, TSurfaceFormat::Argb32);
  if (!name) return false;
  fBackBuffer =
      MakeRef<TGLTexture>(fDevice, name, size, 1, kRenderTargetTexture, TSurfaceFormat::Argb32);
  // One depth-stencil buffer of the back buffer's size, shared by every
  // target that fits into it.
  if (!fDepthStencil) glGenRenderbuffers(1, &fDepthStencil);
  glBindRenderbuffer(GL_RENDERBUFFER, fDepthStencil);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size.Width, size.Height);
  fDepthStencilSize = size;
  return fDevice->Check("GetBackBuffer");
}

bool TGLRenderer::Attach(TGLLevelSurface& surface) {
  glBindFramebuffer(GL_FRAMEBUFFER, fFrame);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                         surface.Texture().Name(), surface.Level());
  TPixelSize size = surface.GetSize();
  fTargetHasStencil = fDepthStencil && size.Width <= fDepthStencilSize.Width &&
                      size.Height <= fDepthStencilSize.Height;
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            fTargetHasStencil ? fDepthStencil : 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    fDevice->Check("SetTarget");
    LogLine("SetTarget: the surface cannot be drawn into");
    return false;
  }
  glViewport(0, 0, size.Width, size.Height);
  glDepthRange(0, 1);
  return fDevice->Check("SetTarget");
}

void TGLRenderer::DefaultStates() {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_STENCIL_TEST);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void TGLRenderer::UpdateBounds() {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return;
  EnsureBackBuffer();
}

bool TGLRenderer::BeginFrame() {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || !EnsureBackBuffer()) return false;
  fTargetSurface.Reset();
  auto* level = AsGLSurface(fBackBuffer->GetLevel(0).Get());
  if (!level || !Attach(*level)) return false;
  return PrimeDraw();
}

bool TGLRenderer::EndFrame() {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  glFlush();
  return fDevice->Check("EndFrame");
}

bool TGLRenderer::Present(const std::vector<TPixelRect>& sourceRects,
                          const std::vector<TPixelRect>& targetRects) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || !fBackBuffer) return false;
  if (!fTarget->Window()) return true;  // off screen the back buffer is the picture
  fPacer->WaitBeforePresent(fTarget->RefreshRate());
  TPixelSize size = fBackBuffer->Size();
  std::vector<TPixelRect> sources = sourceRects, targets = targetRects;
  if (fWholeFrames || sources.empty() || sources.size() != targets.size()) {
    sources = {{0, 0, size.Width, size.Height}};
    TPixelRect client = fTarget->ClientRect();
    targets = {client};
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fFrame);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                         fBackBuffer->Name(), 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  int32_t windowHeight = fTarget->ClientRect().Height();
  for (size_t i = 0; i < sources.size(); ++i) {
    const TPixelRect& s = sources[i];
    const TPixelRect& t = targets[i];
    // The window's first row is its bottom one.
    glBlitFramebuffer(s.Left, s.Top, s.Right, s.Bottom, t.Left, windowHeight - t.Top, t.Right,
                      windowHeight - t.Bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  bool ok = fDevice->Check("Present");
  fDevice->Context()->Swap();
  fPacer->Presented();
  glBindFramebuffer(GL_FRAMEBUFFER, fFrame);
  if (fTargetSurface)
    Attach(*fTargetSurface);
  else if (auto* level = AsGLSurface(fBackBuffer->GetLevel(0).Get()))
    Attach(*level);
  return ok;
}

bool TGLRenderer::Clear(const std::vector<TPixelRect>& rects, uint32_t flags, uint32_t colour,
                        float depth) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  GLbitfield mask = 0;
  if (flags & kClearColour) {
    mask |= GL_COLOR_BUFFER_BIT;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                 static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(colour & 0xFF) / 255.0f,
                 static_cast<float>(colour >> 24) / 255.0f);
  }
  // Only targets with a stencil buffer clear it.
  if ((flags & kClearStencil) && fTargetHasStencil) {
    mask |= GL_STENCIL_BUFFER_BIT;
    glStencilMask(0xFF);
    glClearStencil(0);
  }
  glClearDepth(depth);
  if (mask == 0) return true;
  if (rects.empty()) {
    glDisable(GL_SCISSOR_TEST);
    glClear(mask);
  } else {
    glEnable(GL_SCISSOR_TEST);
    for (const TPixelRect& r : rects) {
      if (r.IsEmpty()) continue;
      glScissor(r.Left, r.Top, r.Width(), r.Height());
      glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
  }
  return fDevice->Check("Clear");
}

bool TGLRenderer::PrimeDraw() {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  DefaultStates();
  const TGLProgram* program = fPrograms->FixedStages(0);
  if (!program) return false;
  glUseProgram(program->Name);
  TMatrix4 identity = IdentityMatrix();
  glUniformMatrix4fv(program->Transform, 1, GL_FALSE, identity.data());
  glBindVertexArray(fPrimeArray);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  return fDevice->Check("PrimeDraw");
}

bool TGLRenderer::SetTarget(T3DSurface* surface) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || !EnsureBackBuffer()) return false;
  TGLLevelSurface* level = surface ? AsGLSurface(surface) : nullptr;
  if (surface && (!level || !level->Texture().IsRenderTarget())) {
    LogLine("SetTarget: not a render-target surface");
    return false;
  }
  if (!level) level = AsGLSurface(fBackBuffer->GetLevel(0).Get());
  if (!level || !Attach(*level)) return false;
  fTargetSurface = surface ? TRef<TGLLevelSurface>(level) : nullptr;
  return true;
}

TRef<T3DSurface> TGLRenderer::GetTarget() {
  std::lock_guard guard(DeviceMutex());
  if (fTargetSurface) return fTargetSurface;
  return fBackBuffer ? fBackBuffer->GetLevel(0) : nullptr;
}

bool TGLRenderer::GetBackBuffer(TRef<T3DSurface>& surface) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || !EnsureBackBuffer()) return false;
  surface = fBackBuffer->GetLevel(0);
  return surface != nullptr;
}

bool TGLRenderer::SetViewport(const TPixelRect& rect, float minZ, float maxZ) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  glViewport(rect.Left, rect.Top, rect.Width(), rect.Height());
  glDepthRange(minZ, maxZ);
  return fDevice->Check("SetViewport");
}

void TGLRenderer::ApplyBlend(TBlendMode mode) {
  glEnable(GL_BLEND);
  switch (mode) {
    case TBlendMode::Premultiplied:
      glBlendEquation(GL_FUNC_ADD);
      glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case TBlendMode::Maximum:
      glBlendEquation(GL_MAX);
      glBlendFunc(GL_ONE, GL_ONE);
      break;
    case TBlendMode::Untextured:
    case TBlendMode::Opaque:
    case TBlendMode::Alpha:
      glBlendEquation(GL_FUNC_ADD);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
  }
}

void TGLRenderer::ApplyTexture(int32_t stage, TBaseTexture* texture, bool ownSettings) {
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
  if (!texture) {
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_3D, 0);
    glBindSampler(static_cast<GLuint>(stage), 0);
    return;
  }
  if (auto* volume = dynamic_cast<TGLVolumeTexture*>(texture)) {
    glBindTexture(GL_TEXTURE_3D, volume->Name());
    glBindSampler(static_cast<GLuint>(stage), fBoundSampler);
    return;
  }
  auto* flat = dynamic_cast<TGLTexture*>(texture);
  if (!flat) return;
  glBindTexture(GL_TEXTURE_2D, flat->Name());
  if (!ownSettings) {
    glBindSampler(static_cast<GLuint>(stage), fBoundSampler);
    return;
  }
  GLuint sampler = fSamplers[static_cast<size_t>(stage)];
  auto [u, v] = flat->GetAddressing();
  glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(u)));
  glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(v)));
  bool linear = flat->GetFiltering();
  bool mips = flat->MipFiltering() && flat->GetLevelCount() > 1;
  GLenum minify = linear ? (mips ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR)
                         : (mips ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST);
  glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minify));
  glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
  glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, flat->LodBias());
  if (fMaxAnisotropy > 1) {
    float anisotropy =
        fAnisotropyWanted && linear ? std::min(kAnisotropyLimit, fMaxAnisotropy) : 1.0f;
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY, anisotropy);
  }
  glBindSampler(static_cast<GLuint>(stage), sampler);
}

bool TGLRenderer::DrawVertexList(T3DVertexList& list, TBaseTexture* const* textures, int32_t count,
                                 TBlendMode mode) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  auto* glList = dynamic_cast<TGLVertexList*>(&list);
  if (!glList || count < 0 || count > kMaxTextureStages) return false;
  const TGLProgram* program =
      (fVertexShader || fPixelShader)
          ? fPrograms->Linked(fVertexShader ? fVertexShader->Name() : 0,
                              fPixelShader ? fPixelShader->Name() : 0, count)
          : fPrograms->FixedStages(count);
  if (!program) return false;
  glUseProgram(program->Name);
  // Row vectors times row-major matrices read as GL's column-major ones.
  TMatrix4 transform = Multiply(Multiply(fWorld, fView), fProjection);
  glUniformMatrix4fv(program->Transform, 1, GL_FALSE, transform.data());
  if (program->PixelConstants >= 0)
    glUniform4fv(program->PixelConstants, kShaderConstants, fPixelConstants.data());
  if (program->VertexConstants >= 0)
    glUniform4fv(program->VertexConstants, kShaderConstants, fVertexConstants.data());
  for (int32_t i = 0; i < count; ++i) ApplyTexture(i, textures[i], true);
  glDisable(GL_DEPTH_TEST);
  ApplyBlend(mode);
  if (fCulling) {
    // Counter-clockwise faces on the screen are culled; turned over into the
    // frame buffer object they wind the other way.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
  if (!glList->Bind()) return false;
  glDrawArrays(PrimitiveMode(list.Format().Primitive), 0, list.VertexCount());
  return fDevice->Check("DrawVertexList");
}

bool TGLRenderer::BindTexture(int32_t stage, TBaseTexture* texture) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || stage < 0 || stage >= kMaxTextureStages) return false;
  ApplyTexture(stage, texture, false);
  return fDevice->Check("BindTexture");
}

TRef<T3DTexture> TGLRenderer::CreateTexture(int32_t width, int32_t height, int32_t levels,
                                            int32_t kind, TSurfaceFormat format) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return nullptr;
  TPixelSize size{width, height};
  if (levels <= 0) levels = FullMipChainLength(size);
  levels = std::min(levels, FullMipChainLength(size));
  GLuint name = CreateGLTexture(*fDevice, size, levels, format);
  if (!name) {
    LogLine("CreateTexture: " + std::to_string(width) + " x " + std::to_string(height) +
            " cannot be made");
    return nullptr;
  }
  return MakeRef<TGLTexture>(fDevice, name, size, levels, kind, format);
}

TRef<TVolumeTexture> TGLRenderer::CreateVolumeTexture(int32_t width, int32_t height,
                                                      int32_t depth) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || width <= 0 || height <= 0 || depth <= 0) return nullptr;
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_3D, name);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, width, height, depth, 0, GL_BGRA,
               GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAX_LEVEL, 0);
  if (!fDevice->Check("CreateVolumeTexture")) {
    glDeleteTextures(1, &name);
    return nullptr;
  }
  return MakeRef<TGLVolumeTexture>(fDevice, name, width, height, depth);
}

TRef<T3DVertexList> TGLRenderer::CreateVertexList(int32_t capacity, TVertexFormat format) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable() || capacity <= 0 || format.TextureCount < 0 ||
      format.TextureCount > kMaxTextureStages)
    return nullptr;
  return MakeRef<TGLVertexList>(fDevice, capacity, format);
}

bool TGLRenderer::StretchCopy(T3DSurface& source, const TPixelRect& sourceRect, T3DSurface& target,
                              const TPixelRect& targetRect, bool linear) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return false;
  auto* from = AsGLSurface(&source);
  auto* to = AsGLSurface(&target);
  if (!from || !to) return false;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fRead);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                         from->Texture().Name(), from->Level());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fDraw);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                         to->Texture().Name(), to->Level());
  glDisable(GL_SCISSOR_TEST);
  glBlitFramebuffer(sourceRect.Left, sourceRect.Top, sourceRect.Right, sourceRect.Bottom,
                    targetRect.Left, targetRect.Top, targetRect.Right, targetRect.Bottom,
                    GL_COLOR_BUFFER_BIT, linear ? GL_LINEAR : GL_NEAREST);
  bool ok = fDevice->Check("StretchCopy");
  glBindFramebuffer(GL_FRAMEBUFFER, fFrame);
  return ok;
}

bool TGLRenderer::SetPresentFlag(bool wholeFrames) {
  fWholeFrames = wholeFrames;
  return true;
}

bool TGLRenderer::SetTransform(TTransformKind kind, const TMatrix4& matrix) {
  std::lock_guard guard(DeviceMutex());
  switch (kind) {
    case TTransformKind::World: fWorld = matrix; break;
    case TTransformKind::View: fView = matrix; break;
    case TTransformKind::Projection: fProjection = matrix; break;
  }
  return fState == TRendererState::Ready;
}

bool TGLRenderer::SetCulling(bool enabled) {
  fCulling = enabled;
  return fState == TRendererState::Ready;
}

TRef<T3DShader> TGLRenderer::CreateShader(const std::string& code, TShaderKind kind) {
  std::lock_guard guard(DeviceMutex());
  if (!Usable()) return nullptr;
  GLuint name =
      fPrograms->Compile(kind == TShaderKind::Pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER, code);
  if (!name) return nullptr;
  return MakeRef<TGLShader>(fDevice, name, kind);
}

bool TGLRenderer::UseShader(T3DShader* shader) {
  std::lock_guard guard(DeviceMutex());
  if (!shader) {
    fVertexShader.Reset();
    fPixelShader.Reset();
    return fState == TRendererState::Ready;
  }
  auto* glShader = dynamic_cast<TGLShader*>(shader);
  if (!glShader || !Usable()) return false;
  if (glShader->Kind() == TShaderKind::Pixel)
    fPixelShader = TRef<TGLShader>(glShader);
  else
    fVertexShader = TRef<TGLShader>(glShader);
  return true;
}

bool TGLRenderer::SetShaderConstants(int32_t start, const float* values, int32_t count,
                                     bool vertex) {
  std::lock_guard guard(DeviceMutex());
  if (start < 0 || count < 0 || start + count > kShaderConstants) return false;
  auto& constants = vertex ? fVertexConstants : fPixelConstants;
  std::memcpy(constants.data() + 4 * start, values, sizeof(float) * 4 * static_cast<size_t>(count));
  return fState == TRendererState::Ready;
}

void TGLRenderer::SimulateDeviceLoss() {
  std::lock_guard guard(DeviceMutex());
  if (fState != TRendererState::Ready) return;
  // Every GL object dies with the context, as with a lost device.
  fDevice->Kill();
  fPrograms.reset();
  Lost("SimulateDeviceLoss");
  fTarget->ReportDeviceKilled();
}

}  // namespace viv
