#include "render/gl/gl_context.h"

#include <SDL2/SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <mutex>

#include "base/log.h"

namespace viv {
namespace {

constexpr int kGLMajor = 3, kGLMinor = 3;

// One display for the process, initialised on first use.
EGLDisplay SurfacelessDisplay() {
  static std::once_flag once;
  static EGLDisplay display = EGL_NO_DISPLAY;
  std::call_once(once, [] {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
      LogLine("EGL: no surfaceless platform");
      return;
    }
    EGLDisplay d =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
      LogLine("EGL: the surfaceless display cannot be initialised");
      return;
    }
    display = d;
  });
  return display;
}

class TSurfacelessContext : public TGLContext {
 public:
  TSurfacelessContext(EGLDisplay display, EGLContext context)
      : fDisplay(display), fContext(context) {}
  ~TSurfacelessContext() override {
    if (eglGetCurrentContext() == fContext)
      eglMakeCurrent(fDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(fDisplay, fContext);
  }
  bool MakeCurrent() override {
    if (eglGetCurrentContext() == fContext) return true;
    return eglMakeCurrent(fDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, fContext) == EGL_TRUE;
  }
  void ReleaseCurrent() override {
    if (eglGetCurrentContext() == fContext)
      eglMakeCurrent(fDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  }
  void Swap() override {}

 private:
  EGLDisplay fDisplay;
  EGLContext fContext;
};

class TWindowContext : public TGLContext {
 public:
  TWindowContext(SDL_Window* window, SDL_GLContext context) : fWindow(window), fContext(context) {}
  ~TWindowContext() override {
    if (SDL_GL_GetCurrentContext() == fContext) SDL_GL_MakeCurrent(fWindow, nullptr);
    SDL_GL_DeleteContext(fContext);
  }
  bool MakeCurrent() override {
    if (SDL_GL_GetCurrentContext() == fContext) return true;
    return SDL_GL_MakeCurrent(fWindow, fContext) == 0;
  }
  void ReleaseCurrent() override {
    if (SDL_GL_GetCurrentContext() == fContext) SDL_GL_MakeCurrent(fWindow, nullptr);
  }
  void Swap() override { SDL_GL_SwapWindow(fWindow); }

 private:
  SDL_Window* fWindow;
  SDL_GLContext fContext;
};

}  // namespace

std::unique_ptr<TGLContext> CreateSurfacelessContext() {
  EGLDisplay display = SurfacelessDisplay();
  if (display == EGL_NO_DISPLAY) return nullptr;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    LogLine("EGL: no desktop GL");
    return nullptr;
  }
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                               kGLMajor,
                               EGL_CONTEXT_MINOR_VERSION,
                               kGLMinor,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) {
    LogLine("EGL: no GL 3.3 core context (error " + std::to_string(eglGetError()) + ")");
    return nullptr;
  }
  auto result = std::make_unique<TSurfacelessContext>(display, context);
  if (!result->MakeCurrent()) {
    LogLine("EGL: the context cannot be made current");
    return nullptr;
  }
  return result;
}

std::unique_ptr<TGLContext> CreateWindowContext(SDL_Window* window) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kGLMajor);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kGLMinor);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    LogLine(std::string("SDL: no GL 3.3 core context: ") + SDL_GetError());
    return nullptr;
  }
  auto result = std::make_unique<TWindowContext>(window, context);
  // The drawing thread takes it over.
  result->ReleaseCurrent();
  return result;
}

}  // namespace viv
