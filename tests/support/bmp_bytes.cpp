#include "support/bmp_bytes.h"

namespace viv::test {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

}  // namespace

void PutLittleEndian16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value) {
  PutLittleEndian16(bytes, at, value & 0xFFFF);
  PutLittleEndian16(bytes, at + 2, value >> 16);
}

std::string BuildBmp(const TBmpLayout& layout) {
  bool masksAfterHeader = layout.HeaderSize == kInfoHeaderSize && !layout.Masks.empty();
  size_t headers =
      kFileHeaderSize + layout.HeaderSize + (masksAfterHeader ? 4 * layout.Masks.size() : 0);
  size_t offset = headers + 4 * layout.Palette.size();
  std::string s(offset, '\0');
  s[0] = 'B';
  s[1] = 'M';
  PutLittleEndian32(s, 2, static_cast<uint32_t>(offset + layout.Pixels.size()));
  PutLittleEndian32(s, 10, static_cast<uint32_t>(offset));
  size_t h = kFileHeaderSize;
  PutLittleEndian32(s, h, layout.HeaderSize);
  PutLittleEndian32(s, h + 4, static_cast<uint32_t>(layout.Width));
  PutLittleEndian32(s, h + 8, static_cast<uint32_t>(layout.Height));
  PutLittleEndian16(s, h + 12, 1);
  PutLittleEndian16(s, h + 14, static_cast<uint32_t>(layout.Bits));
  PutLittleEndian32(s, h + 16, layout.Compression);
  PutLittleEndian32(s, h + 20, static_cast<uint32_t>(layout.Pixels.size()));
  PutLittleEndian32(s, h + 32, static_cast<uint32_t>(layout.Palette.size()));
  for (size_t i = 0; i < layout.Masks.size(); ++i)
    PutLittleEndian32(s, h + kInfoHeaderSize + 4 * i, layout.Masks[i]);
  for (size_t i = 0; i < layout.Palette.size(); ++i)
    PutLittleEndian32(s, headers + 4 * i, layout.Palette[i]);
  return s + layout.Pixels;
}

}  // namespace viv::test
