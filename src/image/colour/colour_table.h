// Conversion tables: a conversion never touches a picture's pixels; it is a
// table on a 32 x 32 x 32 grid (a 32 x 1024 picture, node (i, j, k) at row
// i x 32 + j, column k, bytes for axes i, j, k in that order) that the drawer
// applies, and single colours are looked up in it.
#pragma once

#include <cstdint>

#include "base/ref_object.h"
#include "image/bitmap.h"

namespace viv {

inline constexpr int kGridSize = 32;
inline constexpr int kTableWidth = 32;
inline constexpr int kTableHeight = 1024;
// Grid value of index n: 0, 8, 16, ... 247, 255.
inline constexpr int GridLevel(int n) { return n * 8 + n / 4; }
// The identity table: (level(i), level(j), level(k)) at node (i, j, k); 24 or
// 32 bits (alpha 255).
TRef<TBitmap> MakeIdentityTable(TPixelFormat format);
// Video frames decoded from YUV: node (i, j, k) read as Y, U, V and turned
// into 32-bit RGB.
TRef<TBitmap> MakeYuvTable();
// Looks a colour up in a 24- or 32-bit table.
uint32_t InterpolateTable(const TBitmap& table, uint32_t colour);

}  // namespace viv
