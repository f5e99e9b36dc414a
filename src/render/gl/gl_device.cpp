#include "render/gl/gl_device.h"

#include <cstdio>

#include "base/log.h"

namespace viv {

TGLFormat GLFormatOf(TSurfaceFormat format) {
  switch (format) {
    case TSurfaceFormat::Argb32: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    case TSurfaceFormat::Xrgb32: return {GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true};
    case TSurfaceFormat::Rgb24: return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, true};
    case TSurfaceFormat::X1r5g5b5: return {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true};
    case TSurfaceFormat::R5g6b5: return {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, true};
    case TSurfaceFormat::L8: return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, true, true};
    case TSurfaceFormat::P8: break;
  }
  // GL has no palettes.
  TGLFormat none;
  none.Supported = false;
  return none;
}

bool TGLDevice::Use() { return fContext && fContext->MakeCurrent(); }

void TGLDevice::Kill() { fContext.reset(); }

bool TGLDevice::Check(std::string_view what) {
  GLenum error = glGetError();
  if (error == GL_NO_ERROR) return true;
  // Only the first of several pending errors is kept; drain the rest.
  while (glGetError() != GL_NO_ERROR) {
  }
  fLastResult = static_cast<int64_t>(error);
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(error));
  LogLine(std::string(what) + ": Dx Error = " + code);
  return false;
}

}  // namespace viv
