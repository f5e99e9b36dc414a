// Plugs the picture and colour library into the rest of the player.
#pragma once

#include <string_view>

#include "base/ref_object.h"
#include "container/picture_services.h"
#include "image/bitmap.h"

namespace viv {

// Registers the picture loaders in their order, installs the picture services
// of the file accessor, the colour-management chain and the hook that reads a
// show's colour setting when it opens. Once per process; later calls do
// nothing.
void InstallImageLibrary();

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
