// Fixture pictures made on the spot with the same libraries the player reads
// them with, and small helpers for the picture tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/stream.h"
#include "image/bitmap.h"
#include "image/bitmap_store.h"
#include "support/log_capture.h"

namespace viv::test {

// A picture whose pixel (x, y) is PatternColour(x, y): every pixel differs, so
// turns and reductions show where each one went.
uint32_t PatternColour(int32_t x, int32_t y);
TRef<TBitmap> PatternBitmap(int32_t width, int32_t height, TPixelFormat format);

struct TJpegOptions {
  bool Grey = false;
  bool Progressive = false;
  std::string Icc;  // embedded as APP2 chunks when not empty
  int Quality = 95;

  static TJpegOptions Greyscale() {
    TJpegOptions o;
    o.Grey = true;
    return o;
  }
  static TJpegOptions ProgressiveScan() {
    TJpegOptions o;
    o.Progressive = true;
    return o;
  }
  static TJpegOptions WithIcc(std::string icc) {
    TJpegOptions o;
    o.Icc = std::move(icc);
    return o;
  }
};
std::string MakeJpeg(const TBitmap& picture, const TJpegOptions& options = {});

struct TGifFrame {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Indices;  // Width x Height palette indices
  int Delay = 0;                 // hundredths of a second
  int Disposal = 0;
  int Transparent = -1;
};
// A GIF89a with a 4-colour palette: 0 black, 1 red, 2 green, 3 blue; a
// "NETSCAPE2.0" loop count when loops >= 0.
std::string MakeGif(int32_t width, int32_t height, const std::vector<TGifFrame>& frames,
                    int loops = -1);

// A JPEG with EXIF and IPTC values written by exiv2.
std::string AddMetadata(const std::string& jpeg);

// The bytes given as numbers.
std::string Bytes(std::initializer_list<int> bytes);
// A QVGF file: "QVGF", the fields as given (16-bit lengths), then the payload.
std::string Qvgf(const std::vector<std::pair<std::string, std::string>>& fields,
                 const std::string& payload);
// One PNG chunk: the length (the data's own unless given), the type, the data
// and the CRC of type and data.
std::string PngChunk(std::string_view type, std::string_view data, int64_t length = -1);

TRef<TMemoryStream> MemoryStream(std::string bytes);
// The picture opened through the registry under the name.
TImage Open(const std::string& bytes, const std::string& name, int orientation = 1);

// The picture budget set to bytes above what is in use now, for the life of
// the object; Used() is what was added since.
class TPictureBudgetScope {
 public:
  explicit TPictureBudgetScope(int64_t bytes);
  ~TPictureBudgetScope();
  TPictureBudgetScope(const TPictureBudgetScope&) = delete;
  TPictureBudgetScope& operator=(const TPictureBudgetScope&) = delete;
  int64_t Used() const;

 private:
  int64_t fBase;
  int64_t fPrevious;
};

}  // namespace viv::test
