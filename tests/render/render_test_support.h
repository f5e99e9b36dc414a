// An off-screen renderer for the rendering tests, and quads to draw with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/device.h"
#include "render/draw_target.h"

namespace viv::test {

class TOffscreenRenderer {
 public:
  TOffscreenRenderer(int32_t width, int32_t height);

  T3DEngine& Engine() const { return *fEngine; }
  T3DRenderer& Renderer() const { return *fRenderer; }
  TOffscreenTarget& Target() const { return *fTarget; }
  bool Ready() const { return fRenderer != nullptr; }

  // The back buffer as 0xAARRGGBB pixels, rows top first.
  std::vector<uint32_t> Pixels() const;
  uint32_t Pixel(int32_t x, int32_t y) const;

  // A quad over pixels [left, right) x [top, bottom) in screen coordinates,
  // as the batcher hands them over (pixel centre subtracted), with one
  // colour and up to one texture whose coordinates run 0 to 1.
  void DrawQuad(float left, float top, float right, float bottom, uint32_t colour,
                TBaseTexture* texture = nullptr, TBlendMode mode = TBlendMode::Untextured);

 private:
  TRef<T3DEngine> fEngine;
  TRef<TOffscreenTarget> fTarget;
  TRef<T3DRenderer> fRenderer;
};

// Channel distance of two colours, the largest of the four.
int ChannelDistance(uint32_t a, uint32_t b);

}  // namespace viv::test
