#include "render/box_fill.h"

#include <cmath>

#include "base/exceptions.h"

namespace viv {
namespace {

constexpr int kTopLeft = 0, kTopRight = 1, kBottomRight = 2;

}  // namespace

uint32_t MeanColour(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + 1) / 2) << shift;
  return out;
}

std::array<uint32_t, 4> BoxCornerColours(int fillCode, uint32_t first, uint32_t second) {
  VIV_ASSERT(fillCode >= 0 && fillCode <= kFillSolid, "Bad fill code");
  std::array<uint32_t, 4> corners;
  if (fillCode == kFillSolid) {
    corners.fill(first);
  } else if (fillCode >= 4) {
    // Code 5 has the first colour along the top, 6 down the left: each code
    // turns the pair a quarter counter-clockwise.
    int turn = fillCode - 4;
    int a = (kTopRight - turn + 4) % 4, b = (kBottomRight - turn + 4) % 4;
    corners.fill(second);
    corners[static_cast<size_t>(a)] = corners[static_cast<size_t>(b)] = first;
  } else {
    // Code 0 starts at the top left, 1 at the top right: a quarter clockwise each.
    int start = (kTopLeft + fillCode) % 4;
    uint32_t mean = MeanColour(first, second);
    corners.fill(mean);
    corners[static_cast<size_t>(start)] = first;
    corners[static_cast<size_t>((start + 2) % 4)] = second;
  }
  return corners;
}

uint32_t ApplyBoxOpacity(uint32_t colour, float opacityPercent) {
  if (opacityPercent >= 100) return colour;
  double alpha = static_cast<double>(colour >> 24) * std::max(0.0f, opacityPercent) / 100.0;
  return (static_cast<uint32_t>(std::lround(alpha)) << 24) | (colour & 0xFFFFFF);
}

}  // namespace viv
