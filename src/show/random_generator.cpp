#include "show/random_generator.h"

#include <chrono>

namespace viv {

int32_t TRandomGenerator::Random(int32_t range) {
  if (range <= 0) return 0;
  std::lock_guard guard(fLock);
  // Multiply-shift keeps the result the same on every standard library.
  uint64_t draw = fEngine();
  return static_cast<int32_t>((draw * static_cast<uint64_t>(range)) >> 32);
}

void TRandomGenerator::ReseedFromClock() {
  std::lock_guard guard(fLock);
  if (fFixed) return;
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  fEngine.seed(static_cast<uint32_t>(now ^ (now >> 32)));
}

void TRandomGenerator::SetSeed(uint32_t seed) {
  std::lock_guard guard(fLock);
  fEngine.seed(seed);
  fFixed = true;
}

void TRandomGenerator::ClearSeed() {
  std::lock_guard guard(fLock);
  fFixed = false;
}

TRandomGenerator& ShowRandom() {
  static TRandomGenerator generator;
  return generator;
}

}  // namespace viv
