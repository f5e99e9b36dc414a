#include "render/draw_target.h"

#include <SDL2/SDL.h>

namespace viv {

TPixelRect TWindowTarget::ClientRect() const {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(fWindow, &width, &height);
  return {0, 0, width, height};
}

int32_t TWindowTarget::RefreshRate() const {
  SDL_DisplayMode mode;
  int display = SDL_GetWindowDisplayIndex(fWindow);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return kDefaultRefreshRate;
}

}  // namespace viv
