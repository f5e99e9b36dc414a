// EXIF and IPTC values of picture files, for the text macros.
#pragma once

#include <map>
#include <string>

#include "base/stream.h"

namespace viv {

// What text macros show of a picture file.
struct TPictureMetadata {
  std::string ExifComment;
  std::string ExifDescription;
  std::string ExifDateTime;  // as stored: "YYYY:MM:DD HH:MM:SS"
  // IPTC fields by name: "DocumentTitle", "SpecialInstructions", "AuthorByline",
  // "AuthorTitle", "City", "Sublocation", "ProvinceState", "Country", "OTR",
  // "Headline", "Credits", "Source", "Copyright", "CaptionDescription", "CaptionWriter".
  std::map<std::string, std::string> Iptc;
};

// False when the file has no metadata we can read (or is not a picture exiv2
// knows); never raises.
bool ReadPictureMetadata(TStream& stream, TPictureMetadata& metadata);

}  // namespace viv
