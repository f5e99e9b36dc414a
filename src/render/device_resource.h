// Resources of a screen that outlive the device objects behind them: each
// keeps what it is made from and makes its backend object again whenever the
// device it had is gone.
#pragma once

#include <string>

#include "base/ref_object.h"
#include "render/device.h"

namespace viv {

class T3DScreen;

// A registered resource leaves its screen's list when it goes, and the screen
// lets go of its resources when it goes first.
class TDeviceResource : public TRefObject {
 public:
  ~TDeviceResource() override;
  // Called when the device is lost: the backend object goes, the resource stays.
  virtual void DropBackend() = 0;
  T3DScreen* Screen() const { return fScreen; }

 private:
  friend class T3DScreen;
  T3DScreen* fScreen = nullptr;
};

// A shader kept as its code, compiled again for every new device.
class TShader : public TDeviceResource {
 public:
  TShader(std::string code, TShaderKind kind) : fCode(std::move(code)), fKind(kind) {}
  const std::string& Code() const { return fCode; }
  TShaderKind Kind() const { return fKind; }
  // The backend shader, made when missing; none when the code does not compile.
  T3DShader* Backend(T3DRenderer& renderer);
  bool HasBackend() const { return fBackend != nullptr; }
  void DropBackend() override { fBackend.Reset(); }

 private:
  const std::string fCode;
  const TShaderKind fKind;
  TRef<T3DShader> fBackend;
};

// A texture made and filled again from its own source after a device loss.
class TCustomTexture : public TDeviceResource {
 public:
  TCustomTexture(TPixelSize size, TSurfaceFormat format, int32_t levels = 1,
                 int32_t kind = kManagedTexture)
      : fSize(size), fFormat(format), fLevels(levels), fKind(kind) {}

  // The backend texture, made and filled when missing or when its contents
  // are no longer valid; none when the renderer cannot make it.
  T3DTexture* GetTexture(T3DRenderer& renderer);
  TPixelSize GetSize() const { return fSize; }
  TSurfaceFormat Format() const { return fFormat; }
  void DropBackend() override;
  // The contents are made again on next use.
  void Invalidate() { fContentsValid = false; }

  bool Filtering = true;
  bool MipMapping = false;
  float LodBias = 0;
  bool Premultiplied = false;
  bool AlphaNeeded = false;

 protected:
  // Writes the pixels into the new backend texture; false leaves it invalid.
  virtual bool FillContents(T3DTexture& texture) = 0;

 private:
  const TPixelSize fSize;
  const TSurfaceFormat fFormat;
  const int32_t fLevels;
  const int32_t fKind;
  TRef<T3DTexture> fBackend;
  bool fContentsValid = false;
};

}  // namespace viv
