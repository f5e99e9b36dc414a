// Macros in the lines of text objects: slide numbers and the main picture's
// size, file name and metadata.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image/picture_metadata.h"

namespace viv {

struct TTextMacroValues {
  int32_t SlideIndex = 0;  // 1-based
  int32_t SlidesCount = 0;
  // Without a main picture every "<%MainImg.…%>" macro becomes empty.
  bool HasMainPicture = false;
  int32_t MainWidth = 0, MainHeight = 0;
  std::string MainFileName;  // full name as the project writes it: C:\Photos\x.jpg
  TPictureMetadata Metadata;
};

// Expands one line. First step: "<%SlideIndex%>", "<%SlidesCount%>", the
// main picture's size, EXIF comment and description, "<%MainImg.PathNameExt%>"
// and the IPTC fields; second step, over the result of the first: the parts of
// the file name, then "<%MainImg.Exif.Date%>" and "<%MainImg.Exif.Time%>".
// Macro names match without regard to letter case; within a step a replaced
// value is not searched again. A missing value is empty; an empty result is a
// single space.
//
// The EXIF date is written "YYYY-MM-DD" and the time "HH:MM:SS", taken from
// the EXIF date-time field "YYYY:MM:DD HH:MM:SS"; a field that is not a valid
// date and time (an unknown date is often all zeros) gives empty macros.
// Folders in the file name are separated by "\" or "/".
std::string ExpandTextMacros(std::string_view line, const TTextMacroValues& values);

}  // namespace viv
