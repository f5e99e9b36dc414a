// Windows BMP files: 1, 4, 8, 16, 24 and 32 bits, bottom-up and top-down,
// RLE4 and RLE8, bit-field masks.
#pragma once

#include <string>
#include <string_view>

#include "base/stream.h"
#include "image/bitmap.h"

namespace viv {

// 24 bits, or 32 when the file carries alpha. None (with a log line) when the
// bytes are not a BMP we can read or its pixels are not all there.
TRef<TBitmap> DecodeBmp(std::string_view bytes, std::string_view name);
// Writes a 24- or 32-bit bottom-up BMP (grey pictures as 24 bits).
std::string EncodeBmp(const TBitmap& bitmap);

// The BMP loader of the picture registry.
class TSysBitmapStore;
TRef<TSysBitmapStore> LoadBmpPicture(TStream& stream, std::string_view name);

}  // namespace viv
