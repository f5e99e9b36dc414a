// Any bytes as a picture named "a.bmp": decoding never crashes, never allocates
// past the picture limit, and every level has its size.
#include "picture_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  viv::fuzz::DecodeAllLevels(data, size, "a.bmp");
  return 0;
}
