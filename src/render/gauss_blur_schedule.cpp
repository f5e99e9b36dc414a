#include "render/gauss_blur_schedule.h"

#include <cmath>

namespace viv {

TGaussSchedule GaussScheduleFor(double g) {
  TGaussSchedule schedule;
  if (g >= kMinBlur && g < 1) {
    schedule.MixOnly = true;
    schedule.MixAlpha = (g - kMinBlur) / (1 - kMinBlur);
    return schedule;
  }
  if (g > kTapsRadius) {
    double l = std::log2(g / kTapsRadius);
    double n = std::trunc(l);
    bool fraction = l - n > 0;
    schedule.FullPasses = static_cast<int32_t>(n) + (fraction ? 1 : 0);
    schedule.FinalStrength = fraction ? l - n : 1;
    schedule.FinalStep = int32_t{1} << schedule.FullPasses;
    return schedule;
  }
  schedule.FinalStep = 1;
  schedule.FinalStrength = g > 1 ? (g - 1) / 6 : 0;
  return schedule;
}

std::array<double, 4> GaussWeights(double s) {
  return {0.065722 * s, 0.108356 * s, 0.17865 * s, 0.294544 * s + (1 - s)};
}

}  // namespace viv
