// The corner colours of a filled box by its fill code: 8 solid; 4 to 7
// linear gradients (two neighbouring corners the first colour, the other two
// the second); 0 to 3 diagonal ones (one corner the first colour, the
// opposite one the second, the other two their mean). Each code turns the
// one before it by a quarter.
#pragma once

#include <array>
#include <cstdint>

namespace viv {

// Fill codes of the box kinds.
inline constexpr int kFillSolid = 8;
inline constexpr int kFillHorizontal = 6;  // first colour on the left
inline constexpr int kFillVertical = 5;    // first colour at the top
inline constexpr int kFillTopLeftToBottomRight = 0;
inline constexpr int kFillTopRightToBottomLeft = 1;

// Corners clockwise from the top left: top left, top right, bottom right,
// bottom left. Raises the assertion "Bad fill code" for a code outside 0 to 8.
std::array<uint32_t, 4> BoxCornerColours(int fillCode, uint32_t first, uint32_t second);
// Alpha times opacity / 100, rounded, when the opacity is below 100.
uint32_t ApplyBoxOpacity(uint32_t colour, float opacityPercent);
// Each channel the rounded mean of the two colours'.
uint32_t MeanColour(uint32_t a, uint32_t b);

}  // namespace viv
