#include "render/present_pacing.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace viv {
namespace {

class TSystemPresentClock : public TPresentClock {
 public:
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepMs(int64_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

TPresentClock& SystemPresentClock() {
  static TSystemPresentClock clock;
  return clock;
}

int64_t TPresentPacer::WaitBeforePresent(int32_t refreshRate) {
  int64_t frame = 1000 / std::max(refreshRate, 1);
  int64_t now = fClock.NowMs();
  // Before the first present there is nothing to wait for.
  int64_t wait = fLastPresent ? frame + *fLastPresent - now : 1;
  wait = std::clamp<int64_t>(wait, 1, std::max<int64_t>(frame, 1));
  int64_t sleep = std::max<int64_t>(1, wait - kWakeEarly);
  fClock.SleepMs(sleep);
  return sleep;
}

}  // namespace viv
