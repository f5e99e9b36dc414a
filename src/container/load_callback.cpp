#include "container/load_callback.h"

#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace viv {
namespace {

constexpr auto kWorkSlice = std::chrono::milliseconds(5);
constexpr auto kYieldSleep = std::chrono::milliseconds(1);
constexpr int kHighPriorityNice = -10;

std::atomic<int> gMode{0};
std::mutex gPriorityLock;
int gNormalNice = 0;

thread_local std::chrono::steady_clock::time_point tLastYield = std::chrono::steady_clock::now();

void SetHighPriority(bool high) {
  std::lock_guard guard(gPriorityLock);
  if (high) {
    gNormalNice = getpriority(PRIO_PROCESS, 0);
    // Raising priority needs privileges; without them the show plays at normal priority.
    setpriority(PRIO_PROCESS, 0, kHighPriorityNice);
  } else {
    setpriority(PRIO_PROCESS, 0, gNormalNice);
  }
}

}  // namespace

void SetLoadCallbackMode(TLoadCallbackMode mode) {
  int next = static_cast<int>(mode);
  int previous = gMode.exchange(next);
  constexpr int kSleepMode = static_cast<int>(TLoadCallbackMode::YieldSleep);
  if ((previous == kSleepMode) != (next == kSleepMode)) SetHighPriority(next == kSleepMode);
}

TLoadCallbackMode LoadCallbackMode() { return static_cast<TLoadCallbackMode>(gMode.load()); }

bool LoadCallback(void*) {
  switch (static_cast<TLoadCallbackMode>(gMode.load(std::memory_order_relaxed))) {
    case TLoadCallbackMode::Idle: return true;
    case TLoadCallbackMode::Stop: return false;
    case TLoadCallbackMode::Yield:
    case TLoadCallbackMode::YieldSleep: break;
  }
  auto now = std::chrono::steady_clock::now();
  if (now - tLastYield > kWorkSlice) {
    if (LoadCallbackMode() == TLoadCallbackMode::YieldSleep) {
      std::this_thread::sleep_for(kYieldSleep);
    } else {
      sched_yield();
    }
    tLastYield = std::chrono::steady_clock::now();
  }
  return true;
}

}  // namespace viv
