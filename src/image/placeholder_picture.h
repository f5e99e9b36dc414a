// Placeholder pictures for files that are missing or unreadable.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/ref_object.h"
#include "container/picture_services.h"
#include "image/bitmap.h"

namespace viv {

// The picture that stands in for one that is missing or unreadable: the text
// lines " Image not found " or " Image load error: " and " NAME ". Until text
// rendering installs a painter, a plain picture of the same layout.
inline constexpr int32_t kPlaceholderWidth = 256;
inline constexpr int32_t kPlaceholderHeight = 64;
inline constexpr uint32_t kPlaceholderTextColour = 0xFFE6E6E6;
inline constexpr uint32_t kPlaceholderBackColour = 0xFF646464;
using TPlaceholderPainter = void (*)(TBitmap& picture, std::string_view firstLine,
                                     std::string_view secondLine);
void SetPlaceholderPainter(TPlaceholderPainter painter);
TRef<TPictureStore> MakePlaceholderPicture(TPictureFailure failure, std::string_view name);

}  // namespace viv
