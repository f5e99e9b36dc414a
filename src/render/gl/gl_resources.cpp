#include "render/gl/gl_resources.h"

#include <algorithm>
#include <cstring>

#include "render/device_mutex.h"
#include "render/surface_formats.h"

namespace viv {
namespace {

size_t RowBytes(TSurfaceFormat format, int32_t width) {
  return static_cast<size_t>(SurfaceBytesPerPixel(format)) * static_cast<size_t>(width);
}

// Every row packed: GL's default of 4-byte rows does not fit 1 and 3-byte pixels.
void PackRows() {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

}  // namespace

GLuint CreateGLTexture(TGLDevice& device, TPixelSize size, int32_t levels, TSurfaceFormat format) {
  TGLFormat gl = GLFormatOf(format);
  if (!gl.Supported || size.Width <= 0 || size.Height <= 0 || !device.Use()) return 0;
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  for (int32_t level = 0; level < levels; ++level) {
    glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(gl.Internal),
                 std::max(1, size.Width >> level), std::max(1, size.Height >> level), 0, gl.Format,
                 gl.Type, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  if (gl.Luminance) {
    const GLint swizzle[] = {GL_RED, GL_RED, GL_RED, GL_ONE};
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  } else if (gl.OpaqueAlpha) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  }
  if (!device.Check("CreateTexture")) {
    glDeleteTextures(1, &name);
    return 0;
  }
  return name;
}

// --- TGLLevelSurface

TSurfaceFormat TGLLevelSurface::GetPixelFormat() const { return fTexture->Format(); }

bool TGLLevelSurface::ReadLevel(std::vector<uint8_t>& pixels) {
  TGLDevice& device = fTexture->Device();
  if (!device.Use()) return false;
  TGLFormat gl = GLFormatOf(GetPixelFormat());
  pixels.resize(RowBytes(GetPixelFormat(), fSize.Width) * static_cast<size_t>(fSize.Height));
  PackRows();
  glBindTexture(GL_TEXTURE_2D, fTexture->Name());
  glGetTexImage(GL_TEXTURE_2D, fLevel, gl.Format, gl.Type, pixels.data());
  return device.Check("Lock");
}

bool TGLLevelSurface::CopyTo(TBitmap& sink) {
  std::lock_guard guard(DeviceMutex());
  if (sink.Format() != TPixelFormat::Argb32 || sink.Width() != fSize.Width ||
      sink.Height() != fSize.Height)
    return false;
  std::vector<uint8_t> pixels;
  if (!ReadLevel(pixels)) return false;
  size_t pitch = RowBytes(GetPixelFormat(), fSize.Width);
  for (int32_t y = 0; y < fSize.Height; ++y) {
    SurfaceRowToArgb(GetPixelFormat(), pixels.data() + pitch * static_cast<size_t>(y), fSize.Width,
                     reinterpret_cast<uint32_t*>(sink.Row(y)));
  }
  return true;
}

TSurfaceLock TGLLevelSurface::Lock(const TPixelRect& rect, bool readOnly) {
  std::lock_guard guard(DeviceMutex());
  TPixelRect whole{0, 0, fSize.Width, fSize.Height};
  TPixelRect area = rect.IsEmpty() ? whole : Intersect(rect, whole);
  if (area.IsEmpty() || !fLocked.empty()) return {};
  std::vector<uint8_t> level;
  if (!ReadLevel(level)) return {};
  TSurfaceFormat format = GetPixelFormat();
  size_t levelPitch = RowBytes(format, fSize.Width);
  size_t pitch = RowBytes(format, area.Width());
  size_t skip = RowBytes(format, area.Left);
  fLocked.resize(pitch * static_cast<size_t>(area.Height()));
  for (int32_t y = 0; y < area.Height(); ++y) {
    std::memcpy(fLocked.data() + pitch * static_cast<size_t>(y),
                level.data() + levelPitch * static_cast<size_t>(area.Top + y) + skip, pitch);
  }
  fLockedRect = area;
  return {fLocked.data(), pitch, area, format, readOnly};
}

bool TGLLevelSurface::Unlock(TSurfaceLock& lock) {
  std::lock_guard guard(DeviceMutex());
  if (fLocked.empty() || lock.Bits != fLocked.data()) return false;
  bool ok = true;
  if (!lock.ReadOnly) {
    TGLDevice& device = fTexture->Device();
    ok = device.Use();
    if (ok) {
      TGLFormat gl = GLFormatOf(GetPixelFormat());
      PackRows();
      glBindTexture(GL_TEXTURE_2D, fTexture->Name());
      glTexSubImage2D(GL_TEXTURE_2D, fLevel, fLockedRect.Left, fLockedRect.Top, fLockedRect.Width(),
                      fLockedRect.Height(), gl.Format, gl.Type, fLocked.data());
      ok = device.Check("Unlock");
    }
  }
  fLocked.clear();
  fLocked.shrink_to_fit();
  lock = {};
  return ok;
}

// --- TGLTexture

TGLTexture::TGLTexture(TRef<TGLDevice> device, GLuint name, TPixelSize size, int32_t levels,
                       int32_t kind, TSurfaceFormat format)
    : T3DTexture(size, levels, kind, format), fDevice(std::move(device)), fName(name) {
  fSurfaces.resize(static_cast<size_t>(levels));
}

TGLTexture::~TGLTexture() {
  std::lock_guard guard(DeviceMutex());
  if (fDevice->Use()) glDeleteTextures(1, &fName);
}

TPixelSize TGLTexture::LevelSize(int32_t level) const {
  return {std::max(1, fSize.Width >> level), std::max(1, fSize.Height >> level)};
}

TRef<T3DSurface> TGLTexture::GetLevel(int32_t index) {
  if (index < 0 || index >= fLevels) return nullptr;
  auto& surface = fSurfaces[static_cast<size_t>(index)];
  if (!surface) surface = MakeRef<TGLLevelSurface>(*this, index, LevelSize(index));
  return surface;
}

void TGLTexture::GenerateMipLevels() {
  std::lock_guard guard(DeviceMutex());
  if (fLevels < 2 || !fDevice->Use()) return;
  glBindTexture(GL_TEXTURE_2D, fName);
  glGenerateMipmap(GL_TEXTURE_2D);
  fDevice->Check("GenerateMipLevels");
}

// --- TGLVolumeTexture

TGLVolumeTexture::TGLVolumeTexture(TRef<TGLDevice> device, GLuint name, int32_t width,
                                   int32_t height, int32_t depth)
    : TVolumeTexture(width, height, depth), fDevice(std::move(device)), fName(name) {}

TGLVolumeTexture::~TGLVolumeTexture() {
  std::lock_guard guard(DeviceMutex());
  if (fDevice->Use()) glDeleteTextures(1, &fName);
}

TSurfaceLock TGLVolumeTexture::LockLevel(int32_t level) {
  std::lock_guard guard(DeviceMutex());
  if (level != 0 || !fLocked.empty() || !fDevice->Use()) return {};
  size_t pitch = 4 * static_cast<size_t>(fWidth);
  fLocked.resize(pitch * static_cast<size_t>(fHeight) * static_cast<size_t>(fDepth));
  PackRows();
  glBindTexture(GL_TEXTURE_3D, fName);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, fLocked.data());
  if (!fDevice->Check("LockLevel")) {
    fLocked.clear();
    return {};
  }
  return {fLocked.data(), pitch, {0, 0, fWidth, fHeight * fDepth}, TSurfaceFormat::Argb32, false};
}

bool TGLVolumeTexture::UnlockLevel(int32_t level, TSurfaceLock& lock) {
  std::lock_guard guard(DeviceMutex());
  if (level != 0 || fLocked.empty() || lock.Bits != fLocked.data()) return false;
  bool ok = fDevice->Use();
  if (ok) {
    PackRows();
    glBindTexture(GL_TEXTURE_3D, fName);
    glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, fWidth, fHeight, fDepth, GL_BGRA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, fLocked.data());
    ok = fDevice->Check("UnlockLevel");
  }
  fLocked.clear();
  fLocked.shrink_to_fit();
  lock = {};
  return ok;
}

// --- TGLVertexList

TGLVertexList::TGLVertexList(TRef<TGLDevice> device, int32_t capacity, TVertexFormat format)
    : T3DVertexList(capacity, format), fDevice(std::move(device)) {
  if (!fDevice->Use()) return;
  glGenBuffers(1, &fBuffer);
  glGenVertexArrays(1, &fArray);
}

TGLVertexList::~TGLVertexList() {
  std::lock_guard guard(DeviceMutex());
  if (!fDevice->Use()) return;
  glDeleteBuffers(1, &fBuffer);
  glDeleteVertexArrays(1, &fArray);
}

void TGLVertexList::SetFormat(TVertexFormat format) {
  T3DVertexList::SetFormat(format);
  fLayoutValid = false;
  fVertexCount = 0;
}

bool TGLVertexList::Write(int32_t first, const void* vertices, int32_t count) {
  std::lock_guard guard(DeviceMutex());
  if (first < 0 || count < 0 || int64_t{first} + count > fCapacity || !fDevice->Use()) return false;
  size_t stride = fFormat.Stride();
  size_t needed = stride * static_cast<size_t>(fCapacity);
  glBindBuffer(GL_ARRAY_BUFFER, fBuffer);
  if (fBytes != needed) {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(needed), nullptr, GL_DYNAMIC_DRAW);
    fBytes = needed;
  }
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(stride * static_cast<size_t>(first)),
                  static_cast<GLsizeiptr>(stride * static_cast<size_t>(count)), vertices);
  fVertexCount = std::max(fVertexCount, first + count);
  return fDevice->Check("Write");
}

bool TGLVertexList::Bind() {
  if (!fDevice->Use()) return false;
  glBindVertexArray(fArray);
  // The colour of vertices without one is white; that value is not held by the array.
  if (!(fFormat.Components & kVertexDiffuse)) glVertexAttrib4f(1, 1, 1, 1, 1);
  if (fLayoutValid) return true;
  glBindBuffer(GL_ARRAY_BUFFER, fBuffer);
  auto stride = static_cast<GLsizei>(fFormat.Stride());
  auto at = [](size_t offset) { return reinterpret_cast<const void*>(offset); };
  // Locations: 0 position, 1 diffuse, 2 specular, 3 normal, 4 + i coordinates.
  for (GLuint i = 0; i < 4 + kMaxTextureStages; ++i) glDisableVertexAttribArray(i);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, at(0));
  if (fFormat.Components & kVertexDiffuse) {
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          at(fFormat.DiffuseOffset()));
  }
  if (fFormat.Components & kVertexSpecular) {
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          at(fFormat.SpecularOffset()));
  }
  if (fFormat.Components & kVertexNormal) {
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, stride, at(fFormat.NormalOffset()));
  }
  for (int32_t i = 0; i < fFormat.TextureCount; ++i) {
    auto location = static_cast<GLuint>(4 + i);
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, 2, GL_FLOAT, GL_FALSE, stride, at(fFormat.TextureOffset(i)));
  }
  fLayoutValid = fDevice->Check("SetFormat");
  return fLayoutValid;
}

// --- TGLShader

TGLShader::~TGLShader() {
  std::lock_guard guard(DeviceMutex());
  if (fDevice->Use()) glDeleteShader(fName);
}

}  // namespace viv
