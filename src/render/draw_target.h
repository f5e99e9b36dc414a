// Where a renderer draws: a window of the player, or a picture off screen.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/ref_object.h"
#include "render/device.h"

struct SDL_Window;

namespace viv {

// Told when the device behind a target was destroyed (the screen then drops
// its renderer and the backend objects of its resources).
class TDeviceKilledMessenger {
 public:
  virtual ~TDeviceKilledMessenger() = default;
  virtual void DeviceKilled() = 0;
};

class TDrawTarget : public TRefObject {
 public:
  static constexpr int32_t kDefaultRefreshRate = 60;

  // The window of a window target; none off screen.
  virtual SDL_Window* Window() const { return nullptr; }
  // (0, 0, width, height) of what is drawn.
  virtual TPixelRect ClientRect() const = 0;
  virtual bool Exclusive() const { return false; }
  virtual int32_t RefreshRate() const { return kDefaultRefreshRate; }

  void SetMessenger(TDeviceKilledMessenger* messenger) { fMessenger = messenger; }
  void ReportDeviceKilled() {
    if (TDeviceKilledMessenger* messenger = fMessenger) messenger->DeviceKilled();
  }

 private:
  std::atomic<TDeviceKilledMessenger*> fMessenger = nullptr;
};

// An off-screen picture of a given size: tests, snapshots and export. Its
// renderer is made and used on the thread that draws.
class TOffscreenTarget : public TDrawTarget {
 public:
  TOffscreenTarget(int32_t width, int32_t height) : fWidth(width), fHeight(height) {}
  TPixelRect ClientRect() const override { return {0, 0, fWidth, fHeight}; }
  void SetSize(int32_t width, int32_t height) { fWidth = width, fHeight = height; }

 private:
  std::atomic<int32_t> fWidth, fHeight;
};

// A window of SDL. Its renderer is made on the thread that runs the window's
// events; the thread that draws takes its context over on first use.
class TWindowTarget : public TDrawTarget {
 public:
  explicit TWindowTarget(SDL_Window* window) : fWindow(window) {}
  SDL_Window* Window() const override { return fWindow; }
  // The drawable size in pixels.
  TPixelRect ClientRect() const override;
  int32_t RefreshRate() const override;

 private:
  SDL_Window* fWindow;
};

}  // namespace viv
