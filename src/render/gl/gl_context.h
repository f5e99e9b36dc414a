// A GL 3.3 core context: EGL without a surface for off-screen targets, SDL's
// for windows. Only the thread that holds a context draws with it.
#pragma once

#include <memory>
#include <string>

struct SDL_Window;

namespace viv {

class TGLContext {
 public:
  virtual ~TGLContext() = default;
  // Makes the context current on this thread (nothing when it already is).
  virtual bool MakeCurrent() = 0;
  // Lets go of the context on this thread, so that another may take it.
  virtual void ReleaseCurrent() = 0;
  // Shows the default framebuffer of a window; nothing off screen.
  virtual void Swap() = 0;
};

// None (with the reason in the log) when the platform has no such context.
std::unique_ptr<TGLContext> CreateSurfacelessContext();
// Made on the thread that runs the window's events and released there, so
// that the drawing thread can take it.
std::unique_ptr<TGLContext> CreateWindowContext(SDL_Window* window);

}  // namespace viv
