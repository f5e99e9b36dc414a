// Message boxes the user must see.
#pragma once

#include <string_view>

namespace viv {

inline constexpr std::string_view kErrorTitle = "Slideshow Error";

enum class TMessageIcon { Exclamation, Information, Error };

// An SDL message box when a display is there; otherwise, or when the
// environment variable VIV_MESSAGE_BOX is "stderr" (for scripts and tests),
// the line "TITLE: TEXT" on standard error. Carriage returns in the text
// become line breaks.
void ShowMessageBox(std::string_view title, std::string_view text,
                    TMessageIcon icon = TMessageIcon::Exclamation);

// Whether a display can be reached (SDL's video subsystem starts). Once true,
// the video subsystem stays initialised.
bool DisplayAvailable();

}  // namespace viv
