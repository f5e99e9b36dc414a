// Pacing of presents to the display's refresh, so that the drawing thread
// sleeps instead of spinning until the next refresh.
#pragma once

#include <cstdint>
#include <optional>

namespace viv {

// The clock and sleep the pacing uses; tests give their own.
class TPresentClock {
 public:
  virtual ~TPresentClock() = default;
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int64_t ms) = 0;
};
TPresentClock& SystemPresentClock();

class TPresentPacer {
 public:
  explicit TPresentPacer(TPresentClock& clock = SystemPresentClock()) : fClock(clock) {}

  // With d = 1000 / refresh rate ms: wait = d + last present - now, limited
  // to [1, d]; sleeps max(1, wait - 3) ms and returns that. Call Presented
  // after the present.
  int64_t WaitBeforePresent(int32_t refreshRate);
  void Presented() { fLastPresent = fClock.NowMs(); }

 private:
  static constexpr int64_t kWakeEarly = 3;  // ms before the refresh
  TPresentClock& fClock;
  std::optional<int64_t> fLastPresent;
};

}  // namespace viv
