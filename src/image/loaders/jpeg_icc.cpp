#include "image/loaders/jpeg_icc.h"

#include "base/log.h"

namespace viv {
namespace {

constexpr int64_t kMaxScannedSize = 104857600;
constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kApp2 = 0xE2;
// The 12-byte "ICC_PROFILE" signature, then the chunk number and count.
constexpr int64_t kIccChunkHeader = 14;

bool HasSegment(uint8_t marker) {
  return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xDA && marker <= 0xDD) ||
         (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

bool ReadByte(TStream& stream, uint8_t& byte) { return stream.Read(&byte, 1) == 1; }

}  // namespace

std::string ExtractJpegIcc(TStream& stream) {
  try {
    int64_t size = stream.GetSize();
    if (size > kMaxScannedSize) return {};
    stream.SetPosition(0);
    bool first = true;
    for (;;) {
      uint8_t byte = 0;
      int64_t offset = stream.GetPosition();
      if (!ReadByte(stream, byte)) {
        LogLine("Jpeg Marker expected");
        return {};
      }
      if (byte != kMarkerPrefix) {
        LogLine("Error: marker expected at " + std::to_string(offset));
        return {};
      }
      uint8_t marker = 0;
      for (;;) {
        offset = stream.GetPosition();
        if (!ReadByte(stream, marker)) {
          LogLine("Jpeg Marker expected");
          return {};
        }
        if (marker != kMarkerPrefix) break;
        LogLine("Error: duplicate $FF encountered at " + std::to_string(offset));
      }
      if (first && marker != kStartOfImage) return {};
      first = false;
      if (marker == 0) return {};
      if (!HasSegment(marker)) continue;
      uint8_t length[2];
      if (stream.Read(length, 2) != 2) return {};
      int64_t segment = (int64_t{length[0]} << 8 | length[1]) - 2;
      int64_t start = stream.GetPosition();
      // A segment longer than the file ends the scan: nothing is read past it.
      if (segment < 0 || start + segment > size) return {};
      if (marker == kApp2) {
        if (segment <= kIccChunkHeader) return {};
        stream.SetPosition(start + kIccChunkHeader);
        std::string profile(static_cast<size_t>(segment - kIccChunkHeader), '\0');
        stream.ReadBuffer(profile.data(), profile.size());
        return profile;
      }
      if (marker == kStartOfScan) return {};
      stream.SetPosition(start + segment);
    }
  } catch (const std::exception& e) {
    LogLine(std::string("Jpeg ICC scan failed: ") + e.what());
    return {};
  }
}

}  // namespace viv
