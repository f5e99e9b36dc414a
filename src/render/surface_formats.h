// Rows of every surface format to and from 32-bit ARGB words (0xAARRGGBB),
// for reading surfaces back into pictures and filling surfaces from them.
#pragma once

#include <cstdint>

#include "render/device.h"

namespace viv {

// palette: 256 ARGB entries for P8 (none: the index as a grey level).
// Formats without alpha read as opaque; 5 and 6 bits widen by repeating their
// top bits (31 -> 255, 16 -> 132).
void SurfaceRowToArgb(TSurfaceFormat format, const uint8_t* row, int32_t width, uint32_t* out,
                      const uint32_t* palette = nullptr);
// The reverse; alpha is dropped where the format has none, luminance is the
// rounded mean of red, green and blue, P8 cannot be written (nothing happens).
void ArgbRowToSurface(TSurfaceFormat format, const uint32_t* in, int32_t width, uint8_t* row);

}  // namespace viv
