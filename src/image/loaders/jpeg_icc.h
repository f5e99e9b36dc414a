// The ICC profile embedded in a JPEG file.
#pragma once

#include <string>

#include "base/stream.h"

namespace viv {

// The first chunk of the profile in the first APP2 segment, or nothing. Scans
// markers from the stream's start; streams above 100 MiB are not scanned.
std::string ExtractJpegIcc(TStream& stream);

}  // namespace viv
