#include "render/surface_formats.h"

namespace viv {
namespace {

constexpr uint32_t kOpaque = 0xFF000000;

uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Widen6(uint32_t v) { return (v << 2) | (v >> 4); }
uint32_t Grey(uint32_t v) { return kOpaque | (v << 16) | (v << 8) | v; }
uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

void SurfaceRowToArgb(TSurfaceFormat format, const uint8_t* row, int32_t width, uint32_t* out,
                      const uint32_t* palette) {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t colour = 0;
    switch (format) {
      case TSurfaceFormat::Argb32:
      case TSurfaceFormat::Xrgb32: {
        const uint8_t* p = row + 4 * x;
        colour = static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16) |
                 (static_cast<uint32_t>(p[3]) << 24);
        if (format == TSurfaceFormat::Xrgb32) colour |= kOpaque;
        break;
      }
      case TSurfaceFormat::Rgb24: {
        const uint8_t* p = row + 3 * x;
        colour = kOpaque | p[0] | (p[1] << 8) | (p[2] << 16);
        break;
      }
      case TSurfaceFormat::X1r5g5b5: {
        uint32_t w = Word(row + 2 * x);
        colour = kOpaque | (Widen5((w >> 10) & 31) << 16) | (Widen5((w >> 5) & 31) << 8) |
                 Widen5(w & 31);
        break;
      }
      case TSurfaceFormat::R5g6b5: {
        uint32_t w = Word(row + 2 * x);
        colour = kOpaque | (Widen5((w >> 11) & 31) << 16) | (Widen6((w >> 5) & 63) << 8) |
                 Widen5(w & 31);
        break;
      }
      case TSurfaceFormat::L8: colour = Grey(row[x]); break;
      case TSurfaceFormat::P8: colour = palette ? palette[row[x]] : Grey(row[x]); break;
    }
    out[x] = colour;
  }
}

void ArgbRowToSurface(TSurfaceFormat format, const uint32_t* in, int32_t width, uint8_t* row) {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t c = in[x];
    uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    switch (format) {
      case TSurfaceFormat::Argb32:
      case TSurfaceFormat::Xrgb32:
        for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<uint8_t>(c >> (8 * i));
        break;
      case TSurfaceFormat::Rgb24:
        row[3 * x] = static_cast<uint8_t>(b);
        row[3 * x + 1] = static_cast<uint8_t>(g);
        row[3 * x + 2] = static_cast<uint8_t>(r);
        break;
      case TSurfaceFormat::X1r5g5b5: {
        uint32_t w = 0x8000 | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        row[2 * x] = static_cast<uint8_t>(w);
        row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
        break;
      }
      case TSurfaceFormat::R5g6b5: {
        uint32_t w = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        row[2 * x] = static_cast<uint8_t>(w);
        row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
        break;
      }
      case TSurfaceFormat::L8: row[x] = static_cast<uint8_t>((r + g + b + 1) / 3); break;
      case TSurfaceFormat::P8: return;
    }
  }
}

}  // namespace viv
