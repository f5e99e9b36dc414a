#include "image/picture_limits.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "base/log.h"

namespace viv {
namespace {

std::atomic<int64_t> gPixelLimit{kMaxPicturePixels};

}  // namespace

void SetPicturePixelLimit(int64_t pixels) {
  gPixelLimit = std::clamp<int64_t>(pixels, 1, kMaxPicturePixels);
}

int64_t PicturePixelLimit() { return gPixelLimit; }

bool PictureSizeAllowed(int64_t width, int64_t height, std::string_view name) {
  if (width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
      width * height <= gPixelLimit)
    return true;
  LogLine("Picture \"" + std::string(name) + "\" declined: size " + std::to_string(width) + "x" +
          std::to_string(height) + " outside the limit of " + std::to_string(gPixelLimit.load()) +
          " pixels");
  return false;
}

}  // namespace viv
