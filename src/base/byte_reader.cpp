#include "base/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace viv {

uint16_t LittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

size_t TByteReader::Read(void* out, size_t count) {
  size_t n = std::min(count, Remaining());
  if (n > 0) std::memcpy(out, fData + fPosition, n);
  fPosition += n;
  return n;
}

bool TByteReader::Skip(size_t count) {
  if (count > Remaining()) return false;
  fPosition += count;
  return true;
}

bool TByteReader::ReadBigEndian32(uint32_t& value) {
  if (Remaining() < 4) return false;
  value = BigEndian32(fData + fPosition);
  fPosition += 4;
  return true;
}

}  // namespace viv
