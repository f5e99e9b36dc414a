// The GL objects behind the device layer's resources. Each keeps the device
// it was made on; once that device is gone its operations fail and its GL
// names are simply forgotten (they died with the context).
#pragma once

#include <epoxy/gl.h>

#include <vector>

#include "render/device.h"
#include "render/gl/gl_device.h"

namespace viv {

class TGLTexture;

// One level of a 2D texture (render targets and the back buffer included).
class TGLLevelSurface : public T3DSurface {
 public:
  TGLLevelSurface(TGLTexture& texture, int32_t level, TPixelSize size)
      : fTexture(&texture), fLevel(level), fSize(size) {}

  bool CopyTo(TBitmap& sink) override;
  TPixelSize GetSize() const override { return fSize; }
  TSurfaceFormat GetPixelFormat() const override;
  TSurfaceLock Lock(const TPixelRect& rect, bool readOnly) override;
  bool Unlock(TSurfaceLock& lock) override;

  TGLTexture& Texture() const { return *fTexture; }
  int32_t Level() const { return fLevel; }

 private:
  // The whole level as it lies in memory, top row first.
  bool ReadLevel(std::vector<uint8_t>& pixels);

  TGLTexture* fTexture;  // the texture keeps its levels alive, not the reverse
  int32_t fLevel;
  TPixelSize fSize;
  std::vector<uint8_t> fLocked;
  TPixelRect fLockedRect;
};

class TGLTexture : public T3DTexture {
 public:
  TGLTexture(TRef<TGLDevice> device, GLuint name, TPixelSize size, int32_t levels, int32_t kind,
             TSurfaceFormat format);
  ~TGLTexture() override;

  TRef<T3DSurface> GetLevel(int32_t index) override;
  void GenerateMipLevels() override;

  GLuint Name() const { return fName; }
  TGLDevice& Device() const { return *fDevice; }
  TPixelSize LevelSize(int32_t level) const;

 private:
  TRef<TGLDevice> fDevice;
  GLuint fName;
  std::vector<TRef<TGLLevelSurface>> fSurfaces;
};

class TGLVolumeTexture : public TVolumeTexture {
 public:
  TGLVolumeTexture(TRef<TGLDevice> device, GLuint name, int32_t width, int32_t height,
                   int32_t depth);
  ~TGLVolumeTexture() override;

  TSurfaceLock LockLevel(int32_t level) override;
  bool UnlockLevel(int32_t level, TSurfaceLock& lock) override;
  GLuint Name() const { return fName; }

 private:
  TRef<TGLDevice> fDevice;
  GLuint fName;
  std::vector<uint8_t> fLocked;
};

class TGLVertexList : public T3DVertexList {
 public:
  TGLVertexList(TRef<TGLDevice> device, int32_t capacity, TVertexFormat format);
  ~TGLVertexList() override;

  void SetFormat(TVertexFormat format) override;
  bool Write(int32_t first, const void* vertices, int32_t count) override;
  // Binds the vertex array with the attributes of the format.
  bool Bind();

 private:
  TRef<TGLDevice> fDevice;
  GLuint fBuffer = 0, fArray = 0;
  size_t fBytes = 0;
  bool fLayoutValid = false;
};

class TGLShader : public T3DShader {
 public:
  TGLShader(TRef<TGLDevice> device, GLuint name, TShaderKind kind)
      : T3DShader(kind), fDevice(std::move(device)), fName(name) {}
  ~TGLShader() override;
  GLuint Name() const { return fName; }

 private:
  TRef<TGLDevice> fDevice;
  GLuint fName;
};

// Creates a texture name of the format's layout with every level allocated;
// 0 when GL refuses.
GLuint CreateGLTexture(TGLDevice& device, TPixelSize size, int32_t levels, TSurfaceFormat format);

}  // namespace viv
