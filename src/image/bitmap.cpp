#include "image/bitmap.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/exceptions.h"

namespace viv {
namespace {

constexpr const char* kInvalidCombination = "Invalid Combination Of Bitmap Parameters";

}  // namespace

int BytesPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::Gray8: return 1;
    case TPixelFormat::Rgb24: return 3;
    case TPixelFormat::Argb32: return 4;
  }
  return 4;
}

std::string_view PixelFormatName(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::Gray8: return "gray8";
    case TPixelFormat::Rgb24: return "rgb24";
    case TPixelFormat::Argb32: return "argb32";
  }
  return "argb32";
}

bool HasAlpha(TPixelFormat format) { return format == TPixelFormat::Argb32; }

TBitmap::TBitmap(int32_t width, int32_t height, TPixelFormat format, TBitmapInit init)
    : fWidth(width), fHeight(height), fFormat(format) {
  VIV_ASSERT(width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
                 int64_t{width} * height <= kMaxPicturePixels,
             "Bitmap size out of range");
  fStride = static_cast<size_t>(width) * BytesPerPixel(format);
  size_t size = fStride * static_cast<size_t>(height);
  ReservePictureBytes(static_cast<int64_t>(size));
  try {
    fPixels = init == TBitmapInit::Zeroed ? std::make_unique<uint8_t[]>(size)
                                          : std::make_unique_for_overwrite<uint8_t[]>(size);
  } catch (...) {
    ReleasePictureBytes(static_cast<int64_t>(size));
    throw;
  }
}

TBitmap::~TBitmap() { ReleasePictureBytes(static_cast<int64_t>(ByteSize())); }

void TBitmap::Fill(uint32_t colour) {
  if (fFormat == TPixelFormat::Gray8) {
    std::memset(fPixels.get(), static_cast<uint8_t>(colour), ByteSize());
    return;
  }
  for (int32_t x = 0; x < fWidth; ++x) SetPixel(x, 0, colour);
  for (int32_t y = 1; y < fHeight; ++y) std::memcpy(Row(y), Row(0), fStride);
}

uint32_t TBitmap::Pixel(int32_t x, int32_t y) const {
  const uint8_t* p = Row(y) + static_cast<size_t>(x) * BytesPerPixel(fFormat);
  switch (fFormat) {
    case TPixelFormat::Gray8: return 0xFF000000u | p[0] * 0x010101u;
    case TPixelFormat::Rgb24: return 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
    case TPixelFormat::Argb32: return uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
  }
  return 0;
}

void TBitmap::SetPixel(int32_t x, int32_t y, uint32_t colour) {
  uint8_t* p = Row(y) + static_cast<size_t>(x) * BytesPerPixel(fFormat);
  switch (fFormat) {
    case TPixelFormat::Gray8: p[0] = static_cast<uint8_t>(colour); return;
    case TPixelFormat::Argb32: p[3] = static_cast<uint8_t>(colour >> 24); [[fallthrough]];
    case TPixelFormat::Rgb24:
      p[0] = static_cast<uint8_t>(colour);
      p[1] = static_cast<uint8_t>(colour >> 8);
      p[2] = static_cast<uint8_t>(colour >> 16);
      return;
  }
}

TRef<TBitmap> ConvertBitmap(const TBitmap& source, TPixelFormat format) {
  TPixelFormat from = source.Format();
  if (format == TPixelFormat::Gray8 && from != TPixelFormat::Gray8) VIV_FAIL(kInvalidCombination);
  auto out = MakeRef<TBitmap>(source.Width(), source.Height(), format);
  if (from == format) {
    std::memcpy(out->Data(), source.Data(), source.ByteSize());
    return out;
  }
  int inSize = BytesPerPixel(from), outSize = BytesPerPixel(format);
  for (int32_t y = 0; y < source.Height(); ++y) {
    const uint8_t* in = source.Row(y);
    uint8_t* o = out->Row(y);
    for (int32_t x = 0; x < source.Width(); ++x, in += inSize, o += outSize) {
      if (from == TPixelFormat::Gray8) {
        o[0] = o[1] = o[2] = in[0];
      } else {
        o[0] = in[0];
        o[1] = in[1];
        o[2] = in[2];
      }
      if (outSize == 4) o[3] = from == TPixelFormat::Argb32 ? in[3] : 0xFF;
    }
  }
  return out;
}

TRef<TBitmap> EnsureFormat(TRef<TBitmap> source, TPixelFormat format) {
  if (source->Format() == format) return source;
  return ConvertBitmap(*source, format);
}

TRef<TBitmap> ReduceHalf(const TBitmap& source) {
  int32_t w = source.Width(), h = source.Height();
  auto out = MakeRef<TBitmap>((w + 1) / 2, (h + 1) / 2, source.Format());
  int bpp = BytesPerPixel(source.Format());
  for (int32_t y = 0; y < out->Height(); ++y) {
    const uint8_t* top = source.Row(2 * y);
    const uint8_t* bottom = 2 * y + 1 < h ? source.Row(2 * y + 1) : nullptr;
    uint8_t* o = out->Row(y);
    for (int32_t x = 0; x < out->Width(); ++x) {
      size_t left = static_cast<size_t>(2 * x) * bpp;
      bool hasRight = 2 * x + 1 < w;
      int count = (hasRight ? 2 : 1) * (bottom ? 2 : 1);
      for (int c = 0; c < bpp; ++c) {
        int sum = top[left + c];
        if (hasRight) sum += top[left + bpp + c];
        if (bottom) {
          sum += bottom[left + c];
          if (hasRight) sum += bottom[left + bpp + c];
        }
        o[static_cast<size_t>(x) * bpp + c] = static_cast<uint8_t>((sum + count / 2) / count);
      }
    }
  }
  return out;
}

TTurning TurningForOrientation(int orientation) {
  switch (orientation) {
    case 3: return TTurning::Half;
    case 6: return TTurning::Clockwise;
    case 8: return TTurning::CounterClockwise;
    default: return TTurning::None;
  }
}

bool SwapsSides(TTurning turning) {
  return turning == TTurning::Clockwise || turning == TTurning::CounterClockwise;
}

TRef<TBitmap> ApplyTurning(TRef<TBitmap> bitmap, TTurning turning) {
  if (turning == TTurning::None) return bitmap;
  int bpp = BytesPerPixel(bitmap->Format());
  int32_t w = bitmap->Width(), h = bitmap->Height();
  if (turning == TTurning::Half) {
    // Reversing the pixel order of the whole picture turns it by 180 degrees.
    uint8_t* first = bitmap->Data();
    uint8_t* last = first + bitmap->ByteSize() - bpp;
    for (; first < last; first += bpp, last -= bpp) std::swap_ranges(first, first + bpp, last);
    return bitmap;
  }
  auto out = MakeRef<TBitmap>(h, w, bitmap->Format());
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* in = bitmap->Row(y);
    for (int32_t x = 0; x < w; ++x, in += bpp) {
      // Clockwise: the left column becomes the top row, read bottom to top.
      int32_t ox = turning == TTurning::Clockwise ? h - 1 - y : y;
      int32_t oy = turning == TTurning::Clockwise ? x : w - 1 - x;
      std::memcpy(out->Row(oy) + static_cast<size_t>(ox) * bpp, in, bpp);
    }
  }
  return out;
}

}  // namespace viv
