// BMP files written byte by byte, for tests of the BMP loader and of shows that
// carry pictures: any header size, bit depth, compression, palette and masks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace viv::test {

struct TBmpLayout {
  int32_t Width, Height;  // a negative height stores the rows top-down
  int Bits;
  uint32_t Compression = 0;
  std::vector<uint32_t> Palette;  // 0x00RRGGBB
  std::string Pixels;             // as stored, row padding included
  uint32_t HeaderSize = 40;
  // Red, green, blue (, alpha): inside headers of 52 bytes and more, after a
  // 40-byte one.
  std::vector<uint32_t> Masks;
};

// The file header, the info header, the masks, the palette, then the pixels.
std::string BuildBmp(const TBmpLayout& layout);

void PutLittleEndian16(std::string& bytes, size_t at, uint32_t value);
void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value);

}  // namespace viv::test
