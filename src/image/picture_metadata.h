// EXIF and IPTC values of picture files, for the text macros.
#pragma once

#include "base/stream.h"
#include "container/picture_cache.h"

namespace viv {

// False when the file has no metadata we can read (or is not a picture exiv2
// knows); never raises.
bool ReadPictureMetadata(TStream& stream, TPictureMetadata& metadata);

}  // namespace viv
