#include "viewer/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace viv {
namespace {

bool BoxesToStandardError() {
  const char* mode = std::getenv("VIV_MESSAGE_BOX");
  return mode && std::string_view(mode) == "stderr";
}

bool AnyDisplayVariable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

bool DisplayAvailable() {
  static const bool available = AnyDisplayVariable() && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  return available;
}

void ShowMessageBox(std::string_view title, std::string_view text, TMessageIcon icon) {
  std::string lines(text);
  for (char& c : lines)
    if (c == '\r') c = '\n';
  std::string caption(title);
  if (!BoxesToStandardError() && DisplayAvailable()) {
    Uint32 flags = icon == TMessageIcon::Information ? SDL_MESSAGEBOX_INFORMATION
                   : icon == TMessageIcon::Error     ? SDL_MESSAGEBOX_ERROR
                                                     : SDL_MESSAGEBOX_WARNING;
    if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), lines.c_str(), nullptr) == 0) return;
  }
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), lines.c_str());
  std::fflush(stderr);
}

}  // namespace viv
