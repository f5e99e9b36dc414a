// Bytes held in memory, read front to back, and the fixed-width integers file
// formats store in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace viv {

// The value whose bytes start at p; the caller has checked they are there.
uint16_t LittleEndian16(const uint8_t* p);
uint32_t LittleEndian32(const uint8_t* p);
uint32_t BigEndian32(const uint8_t* p);

// A cursor over bytes someone else keeps alive.
class TByteReader {
 public:
  explicit TByteReader(std::string_view bytes)
      : fData(reinterpret_cast<const uint8_t*>(bytes.data())), fSize(bytes.size()) {}

  size_t Size() const { return fSize; }
  size_t Position() const { return fPosition; }
  size_t Remaining() const { return fSize - fPosition; }

  // Copies up to count bytes and moves past them; returns how many it copied.
  size_t Read(void* out, size_t count);
  // Moves past count bytes; false, staying put, when fewer remain.
  bool Skip(size_t count);
  // The next value, moving past it; false, staying put, when fewer bytes remain.
  bool ReadBigEndian32(uint32_t& value);

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPosition = 0;
};

}  // namespace viv
