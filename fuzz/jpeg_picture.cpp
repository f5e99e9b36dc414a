// Any bytes as a picture named "a.jpg", at the player's own pixel limit:
// decoding never crashes, never holds more pixels than the picture budget
// (progressive coefficients included), and every level has its size.
#include "picture_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  viv::fuzz::DecodeAllLevels(data, size, "a.jpg", viv::fuzz::kPlayerPixelLimits);
  return 0;
}
