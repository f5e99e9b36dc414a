#include "image/picture_limits.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "base/log.h"

namespace viv {
namespace {

std::atomic<int64_t> gPixelLimit{kMaxPicturePixels};
std::atomic<int64_t> gBudget{kDefaultPictureBudget};
std::atomic<int64_t> gBytesInUse{0};

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

void SetPictureBudget(int64_t bytes) { gBudget = std::max<int64_t>(bytes, 1); }

int64_t PictureBudget() { return gBudget; }

int64_t PictureBytesInUse() { return gBytesInUse; }

int64_t PictureBudgetLeft() { return std::max<int64_t>(gBudget - gBytesInUse, 0); }

void ReservePictureBytes(int64_t bytes) {
  int64_t used = gBytesInUse.load();
  int64_t budget = gBudget.load();
  do {
    if (bytes > budget - used) {
      std::string why = std::to_string(bytes) + " bytes of pixels would pass the budget of " +
                        std::to_string(budget) + " bytes (" + std::to_string(used) + " in use)";
      LogLine("Picture declined: " + why);
      throw EPictureBudget(why);
    }
  } while (!gBytesInUse.compare_exchange_weak(used, used + bytes));
}

void ReleasePictureBytes(int64_t bytes) { gBytesInUse -= bytes; }

}  // namespace viv
