// The passes of the Gaussian blur path at half size, from the radius in
// half-size texels.
#pragma once

#include <array>
#include <cstdint>

namespace viv {

struct TGaussSchedule {
  // Below one texel (but not nothing) the full and half-size pictures are
  // only mixed, by this alpha; no pass runs.
  bool MixOnly = false;
  double MixAlpha = 0;
  // Full passes at strength 1, pass k with step 2^k, then the final pair
  // (horizontal, vertical) at its step and strength.
  int32_t FullPasses = 0;
  int32_t FinalStep = 1;
  double FinalStrength = 0;
};

inline constexpr double kMinBlur = 0.00001;
inline constexpr double kTapsRadius = 7;  // what one pair of passes reaches

TGaussSchedule GaussScheduleFor(double radiusTexels);

// The four weights (w3, w2, w1, w0) of a pass at strength s: at 1 the seven
// taps sum to 1, at 0 the pass copies.
std::array<double, 4> GaussWeights(double strength);

}  // namespace viv
