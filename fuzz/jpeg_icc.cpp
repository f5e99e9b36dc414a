// Any bytes as a JPEG whose ICC profile is looked for: the scan never reads
// past the stream, and a profile found lies inside it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/stream.h"
#include "image/loaders/jpeg_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto stream =
      viv::MakeRef<viv::TMemoryStream>(std::string(reinterpret_cast<const char*>(data), size));
  std::string icc = viv::ExtractJpegIcc(*stream);
  if (icc.size() > size) std::abort();
  return 0;
}
