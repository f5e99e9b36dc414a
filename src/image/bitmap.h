// Decoded pixels: one picture in one of three pixel formats.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/ref_object.h"
#include "image/picture_limits.h"

namespace viv {

// Byte order in memory: Gray8 one byte; Rgb24 blue, green, red; Argb32 blue,
// green, red, alpha (a little-endian 0xAARRGGBB).
enum class TPixelFormat : uint8_t { Gray8, Rgb24, Argb32 };

int BytesPerPixel(TPixelFormat format);
// "gray8", "rgb24", "argb32"
std::string_view PixelFormatName(TPixelFormat format);
bool HasAlpha(TPixelFormat format);

// Whether a new bitmap's pixels start at zero (transparent black) or as the
// allocator left them, for decoders that write every pixel anyway.
enum class TBitmapInit : uint8_t { Zeroed, Uninitialized };

// Rows are packed (stride = width x bytes per pixel), top row first.
class TBitmap : public TRefObject {
 public:
  // Raises EAssertionFailed for sizes outside the limits (callers check
  // first), and EPictureBudget when the pixels would pass the picture budget.
  TBitmap(int32_t width, int32_t height, TPixelFormat format,
          TBitmapInit init = TBitmapInit::Zeroed);
  ~TBitmap() override;

  int32_t Width() const { return fWidth; }
  int32_t Height() const { return fHeight; }
  TPixelFormat Format() const { return fFormat; }
  size_t Stride() const { return fStride; }
  uint8_t* Row(int32_t y) { return fPixels.get() + static_cast<size_t>(y) * fStride; }
  const uint8_t* Row(int32_t y) const { return fPixels.get() + static_cast<size_t>(y) * fStride; }
  uint8_t* Data() { return fPixels.get(); }
  const uint8_t* Data() const { return fPixels.get(); }
  size_t ByteSize() const { return fStride * static_cast<size_t>(fHeight); }

  // Every pixel set to colour (0xAARRGGBB; grey pictures take its blue byte).
  void Fill(uint32_t colour);
  // 0xAARRGGBB of a pixel (opaque for formats without alpha).
  uint32_t Pixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, uint32_t colour);

 private:
  int32_t fWidth;
  int32_t fHeight;
  TPixelFormat fFormat;
  size_t fStride;
  std::unique_ptr<uint8_t[]> fPixels;
};

// A copy in another format. Grey expands to colour and colour gains alpha 255;
// alpha is dropped on the way to 24 bits. Colour cannot become grey: that
// raises "Invalid Combination Of Bitmap Parameters".
TRef<TBitmap> ConvertBitmap(const TBitmap& source, TPixelFormat format);
// The same bitmap when it already has the format, else a converted copy.
TRef<TBitmap> EnsureFormat(TRef<TBitmap> source, TPixelFormat format);

// Half size, each side rounded up; every pixel the average of its 2 x 2 block
// (the blocks of an odd last row or column are 2 x 1, 1 x 2 or 1 x 1).
TRef<TBitmap> ReduceHalf(const TBitmap& source);

// Turns for the EXIF orientation codes 3 (180 degrees), 6 (a quarter turn
// clockwise) and 8 (counter-clockwise); other codes mean none.
enum class TTurning : uint8_t { None, Half, Clockwise, CounterClockwise };
TTurning TurningForOrientation(int orientation);
bool SwapsSides(TTurning turning);
// Half turns happen in place; quarter turns return a new bitmap.
TRef<TBitmap> ApplyTurning(TRef<TBitmap> bitmap, TTurning turning);

}  // namespace viv
