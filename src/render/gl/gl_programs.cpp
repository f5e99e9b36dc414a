#include "render/gl/gl_programs.h"

#include <algorithm>
#include <string>

#include "base/log.h"

namespace viv {
namespace {

// Rendering goes into framebuffer objects whose first row is the top of the
// picture, so y is turned over; depth maps [0, w] onto GL's [-w, w].
constexpr const char* kStandardVertexStage = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aDiffuse;
layout(location = 4) in vec2 aTex0;
layout(location = 5) in vec2 aTex1;
layout(location = 6) in vec2 aTex2;
layout(location = 7) in vec2 aTex3;
layout(location = 8) in vec2 aTex4;
layout(location = 9) in vec2 aTex5;
layout(location = 10) in vec2 aTex6;
uniform mat4 uTransform;
out vec4 vColour;
out vec2 vTex[7];
void main() {
  vec4 p = uTransform * vec4(aPosition, 1.0);
  gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
  vColour = aDiffuse;
  vTex[0] = aTex0; vTex[1] = aTex1; vTex[2] = aTex2; vTex[3] = aTex3;
  vTex[4] = aTex4; vTex[5] = aTex5; vTex[6] = aTex6;
}
)";

std::string FixedPixelSource(int32_t textureCount) {
  std::string code = "#version 330 core\nin vec4 vColour;\nin vec2 vTex[7];\n";
  for (int32_t i = 0; i < textureCount; ++i)
    code += "uniform sampler2D s" + std::to_string(i) + ";\n";
  code += "out vec4 fragColour;\nvoid main() {\n  vec4 c = vColour;\n";
  // Each stage modulates what the stages before it made; a texture without
  // alpha samples alpha 1, which leaves the alpha as it was.
  for (int32_t i = 0; i < textureCount; ++i)
    code += "  c *= texture(s" + std::to_string(i) + ", vTex[" + std::to_string(i) + "]);\n";
  code += "  fragColour = c;\n}\n";
  return code;
}

std::string InfoLog(GLuint object, bool program) {
  GLint length = 0;
  if (program)
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  else
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
  if (program)
    glGetProgramInfoLog(object, length, nullptr, log.data());
  else
    glGetShaderInfoLog(object, length, nullptr, log.data());
  while (!log.empty() && (log.back() == '\0' || log.back() == '\n')) log.pop_back();
  return log;
}

}  // namespace

TGLPrograms::~TGLPrograms() {
  if (!fDevice.Use()) return;
  for (auto& [key, program] : fPrograms) glDeleteProgram(program.Name);
  for (GLuint shader : fFixedPixel)
    if (shader) glDeleteShader(shader);
  if (fStandardVertex) glDeleteShader(fStandardVertex);
}

GLuint TGLPrograms::Compile(GLenum kind, const std::string& code) {
  GLuint shader = glCreateShader(kind);
  const char* text = code.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  LogLine("CreateShader: " + InfoLog(shader, false));
  glDeleteShader(shader);
  return 0;
}

GLuint TGLPrograms::StandardVertexStage() {
  if (!fStandardVertex) fStandardVertex = Compile(GL_VERTEX_SHADER, kStandardVertexStage);
  return fStandardVertex;
}

GLuint TGLPrograms::FixedPixelStage(int32_t textureCount) {
  GLuint& shader = fFixedPixel[static_cast<size_t>(textureCount)];
  if (!shader) shader = Compile(GL_FRAGMENT_SHADER, FixedPixelSource(textureCount));
  return shader;
}

const TGLProgram* TGLPrograms::Link(GLuint vertexShader, GLuint pixelShader) {
  auto key = std::make_pair(vertexShader, pixelShader);
  if (auto it = fPrograms.find(key); it != fPrograms.end()) return &it->second;
  if (!vertexShader || !pixelShader) return nullptr;
  GLuint name = glCreateProgram();
  glAttachShader(name, vertexShader);
  glAttachShader(name, pixelShader);
  glBindFragDataLocation(name, 0, "fragColour");
  glLinkProgram(name);
  GLint ok = GL_FALSE;
  glGetProgramiv(name, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    LogLine("UseShader: " + InfoLog(name, true));
    glDeleteProgram(name);
    return nullptr;
  }
  TGLProgram program{name, glGetUniformLocation(name, "uTransform"),
                     glGetUniformLocation(name, "c"), glGetUniformLocation(name, "vc")};
  glUseProgram(name);
  for (int32_t i = 0; i < kMaxTextureStages; ++i) {
    GLint sampler = glGetUniformLocation(name, ("s" + std::to_string(i)).c_str());
    if (sampler >= 0) glUniform1i(sampler, i);
  }
  return &fPrograms.emplace(key, program).first->second;
}

const TGLProgram* TGLPrograms::FixedStages(int32_t textureCount) {
  return Linked(0, 0, textureCount);
}

const TGLProgram* TGLPrograms::Linked(GLuint vertexShader, GLuint pixelShader,
                                      int32_t textureCount) {
  textureCount = std::clamp(textureCount, 0, kMaxTextureStages);
  return Link(vertexShader ? vertexShader : StandardVertexStage(),
              pixelShader ? pixelShader : FixedPixelStage(textureCount));
}

}  // namespace viv
