// What a renderer and the resources it made share: the context, whether the
// device still lives, and the reporting of GL errors.
#pragma once

#include <epoxy/gl.h>

#include <atomic>
#include <memory>
#include <string_view>

#include "base/ref_object.h"
#include "render/device.h"
#include "render/gl/gl_context.h"

namespace viv {

// How a surface format is held by GL.
struct TGLFormat {
  GLenum Internal = GL_RGBA8;
  GLenum Format = GL_BGRA;
  GLenum Type = GL_UNSIGNED_INT_8_8_8_8_REV;
  bool OpaqueAlpha = false;  // sampled alpha is 1
  bool Luminance = false;    // one channel, sampled as grey
  bool Supported = true;
};
TGLFormat GLFormatOf(TSurfaceFormat format);

class TGLDevice : public TRefObject {
 public:
  explicit TGLDevice(std::unique_ptr<TGLContext> context) : fContext(std::move(context)) {}

  bool Alive() const { return fContext != nullptr; }
  // Makes the context current; false once the device is gone.
  bool Use();
  TGLContext* Context() const { return fContext.get(); }
  // Drops the context with every object made in it.
  void Kill();

  // Logs "Dx Error = " and the code for a pending GL error; false when there was one.
  bool Check(std::string_view what);
  int64_t LastResult() const { return fLastResult; }

 private:
  std::unique_ptr<TGLContext> fContext;
  std::atomic<int64_t> fLastResult = 0;
};

}  // namespace viv
