// The GL programs a renderer draws with: the fixed stages of the device
// layer (the vertex colour modulated by each texture in turn) for 0 to 7
// textures, and shaders of the caller linked with the standard vertex stage.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <map>
#include <utility>

#include "render/device.h"
#include "render/gl/gl_device.h"

namespace viv {

struct TGLProgram {
  GLuint Name = 0;
  GLint Transform = -1;
  GLint PixelConstants = -1;
  GLint VertexConstants = -1;
};

class TGLPrograms {
 public:
  explicit TGLPrograms(TGLDevice& device) : fDevice(device) {}
  ~TGLPrograms();
  TGLPrograms(const TGLPrograms&) = delete;
  TGLPrograms& operator=(const TGLPrograms&) = delete;

  // Programs are made on first use and kept; none when GL refuses.
  const TGLProgram* FixedStages(int32_t textureCount);
  // Either shader may be 0 (the standard vertex stage, the fixed stages).
  const TGLProgram* Linked(GLuint vertexShader, GLuint pixelShader, int32_t textureCount);
  // Compiles GLSL; 0, with the compiler's words in the log, when it fails.
  GLuint Compile(GLenum kind, const std::string& code);

 private:
  const TGLProgram* Link(GLuint vertexShader, GLuint pixelShader);
  GLuint StandardVertexStage();
  GLuint FixedPixelStage(int32_t textureCount);

  TGLDevice& fDevice;
  GLuint fStandardVertex = 0;
  std::array<GLuint, kMaxTextureStages + 1> fFixedPixel{};
  std::map<std::pair<GLuint, GLuint>, TGLProgram> fPrograms;
};

}  // namespace viv
