// JPEG pictures on libjpeg-turbo: levels 0 to 3 decoded directly at 1/1, 1/2,
// 1/4 and 1/8 scale, and the ICC profile embedded in the file.
#pragma once

#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "base/stream.h"
#include "image/bitmap_store.h"

namespace viv {

VIV_DECLARE_EXCEPTION(EJPEG, TCommonException);

inline constexpr int kJpegDirectLevels = 4;

class TJpegBitmapStore : public TSysBitmapStore {
 public:
  // The file's bytes, its size and whether it is greyscale.
  TJpegBitmapStore(std::string name, std::string bytes, int32_t width, int32_t height, bool grey);
  std::string_view ClassName() const override { return "TJpegBitmapStore"; }
  std::string_view LoaderName() const override { return "jpeg"; }

 protected:
  // 24-bit pictures, greyscale expanded; raises EJPEG when the body is corrupt
  // beyond what the decoder can mend.
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  std::string fBytes;
};

// The JPEG loader: declines what is not a JPEG header or has a zero side;
// the embedded ICC profile becomes the source's profile.
TRef<TSysBitmapStore> LoadJpegPicture(TStream& stream, std::string_view name);

// The first chunk of the profile in the first APP2 segment, or nothing. Scans
// markers from the stream's start; streams above 100 MiB are not scanned.
std::string ExtractJpegIcc(TStream& stream);

}  // namespace viv
