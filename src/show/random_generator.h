// The player's one random generator, used for transition choices.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <random>

namespace viv {

// Uniform choices, reseeded from the clock where the show asks for it. Tools
// and tests fix a seed; from then on reseeding keeps the sequence, so every
// choice repeats from run to run.
class TRandomGenerator {
 public:
  // An integer in [0, range); 0 when range <= 0.
  int32_t Random(int32_t range);
  void ReseedFromClock();
  void SetSeed(uint32_t seed);
  void ClearSeed();

 private:
  std::mutex fLock;
  std::mt19937 fEngine{std::random_device{}()};
  bool fFixed = false;
};

TRandomGenerator& ShowRandom();

}  // namespace viv
