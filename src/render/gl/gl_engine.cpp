#include "render/gl/gl_engine.h"

#include <SDL2/SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <mutex>
#include <optional>

#include "base/log.h"
#include "base/text.h"
#include "render/device_mutex.h"
#include "render/draw_target.h"
#include "render/gl/gl_context.h"
#include "render/gl/gl_device.h"
#include "render/gl/gl_renderer.h"

namespace viv {
namespace {

constexpr size_t kMaxDescription = 512;

struct TVendorName {
  std::string_view Word;
  int32_t Id;
};
// PCI vendor ids by the words GL's vendor and renderer strings use.
constexpr TVendorName kVendors[] = {{"intel", kIntelVendor}, {"nvidia", 0x10DE}, {"amd", 0x1002},
                                    {"ati ", 0x1002},        {"radeon", 0x1002}, {"vmware", 0x15AD},
                                    {"apple", 0x106B}};

struct TCapabilities {
  int32_t PixelShaderVersion = 0;
  int32_t MaxTextureWidth = 0, MaxTextureHeight = 0;
  int32_t MaxAnisotropy = 0;
  int32_t Raster = 0;
  int32_t Vendor = 0;
  std::string Description;
};

// GLSL 1.30 and later do what shader model 3.0 does; 1.10 and 1.20 what 2.0 does.
int32_t ShaderModelOf(int glslVersion) {
  if (glslVersion >= 130) return PixelShaderVersion(3, 0);
  if (glslVersion >= 110) return PixelShaderVersion(2, 0);
  return 0;
}

TCapabilities ReadCapabilities() {
  TCapabilities caps;
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  caps.MaxTextureWidth = caps.MaxTextureHeight = size;
  int glsl = 0;
  if (const auto* text = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION))) {
    int major = 0, minor = 0;
    if (std::sscanf(text, "%d.%d", &major, &minor) == 2) glsl = major * 100 + minor;
  }
  caps.PixelShaderVersion = ShaderModelOf(glsl);
  caps.Raster = kRasterMipMapLodBias;  // core GL has the LOD bias
  if (epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic")) {
    float anisotropy = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &anisotropy);
    caps.MaxAnisotropy = static_cast<int32_t>(anisotropy);
    if (caps.MaxAnisotropy > 1) caps.Raster |= kRasterAnisotropy;
  }
  auto text = [](GLenum name) {
    const auto* value = reinterpret_cast<const char*>(glGetString(name));
    return std::string(value ? value : "");
  };
  std::string vendor = text(GL_VENDOR), renderer = text(GL_RENDERER);
  caps.Description = (vendor + " " + renderer).substr(0, kMaxDescription);
  std::string words = LowerCase(caps.Description);
  for (const TVendorName& known : kVendors) {
    if (words.find(known.Word) != std::string::npos) {
      caps.Vendor = known.Id;
      break;
    }
  }
  glGetError();
  return caps;
}

class TGLEngine : public T3DEngine {
 public:
  int32_t CardForRect(const TPixelRect& rect) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
    int32_t best = 0;
    int64_t bestArea = 0;
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
      SDL_Rect bounds;
      if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
      TPixelRect overlap =
          Intersect(rect, {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h});
      int64_t area = int64_t{overlap.Width()} * overlap.Height();
      if (area > bestArea) best = i, bestArea = area;
    }
    return best;
  }

  int32_t GetCapInt(std::string_view name, int32_t card) override {
    const TCapabilities* caps = Capabilities(card);
    if (!caps) return 0;
    std::string key = LowerCase(name);
    if (key == "pixelshaderversion") return caps->PixelShaderVersion;
    if (key == "maxtexwidth") return caps->MaxTextureWidth;
    if (key == "maxtexheight") return caps->MaxTextureHeight;
    if (key == "maxanisotropy") return caps->MaxAnisotropy;
    if (key == "raster") return caps->Raster;
    if (key == "vendor") return caps->Vendor;
    return 0;
  }

  std::string GetCapText(std::string_view name, int32_t card) override {
    const TCapabilities* caps = Capabilities(card);
    return caps && LowerCase(name) == "vendor" ? caps->Description : std::string();
  }

  bool GetDisplayMode(int32_t card, TDisplayMode& mode) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Rect bounds;
    SDL_DisplayMode display;
    if (SDL_GetDisplayBounds(card, &bounds) != 0 || SDL_GetCurrentDisplayMode(card, &display) != 0)
      return false;
    mode.Bounds = {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    mode.RefreshRate =
        display.refresh_rate > 0 ? display.refresh_rate : TDrawTarget::kDefaultRefreshRate;
    mode.Format =
        SDL_BITSPERPIXEL(display.format) == 16 ? TSurfaceFormat::R5g6b5 : TSurfaceFormat::Xrgb32;
    return true;
  }

  TRef<T3DRenderer> CreateRenderer(TDrawTarget& target, const TPixelRect&) override {
    std::lock_guard guard(DeviceMutex());
    std::unique_ptr<TGLContext> context =
        target.Window() ? CreateWindowContext(target.Window()) : CreateSurfacelessContext();
    if (!context) {
      LogLine("Can't init");
      return nullptr;
    }
    auto device = MakeRef<TGLDevice>(std::move(context));
    if (!fCapabilities && device->Use()) fCapabilities = ReadCapabilities();
    // A window's context goes to the drawing thread, which takes it on first use.
    if (target.Window()) device->Context()->ReleaseCurrent();
    return MakeRef<TGLRenderer>(device, TRef<TDrawTarget>(&target));
  }

  // A GL context is not lost the way a Direct3D device is; a renderer that
  // lost its context is replaced by a new one.
  bool CheckDevice() override { return true; }

 private:
  // All cards are driven by one GL implementation: read once, from the first
  // context made (a surfaceless one when none was made yet).
  const TCapabilities* Capabilities(int32_t) {
    std::lock_guard guard(DeviceMutex());
    if (!fCapabilities) {
      if (auto probe = CreateSurfacelessContext()) {
        fCapabilities = ReadCapabilities();
        probe->ReleaseCurrent();
      }
    }
    return fCapabilities ? &*fCapabilities : nullptr;
  }

  std::optional<TCapabilities> fCapabilities;
};

}  // namespace

TRef<T3DEngine> CreateGLEngine() { return MakeRef<TGLEngine>(); }

}  // namespace viv
