// The process-wide callback that every piece of every show-file read calls, so
// that loading threads yield to playback.
#pragma once

#include "base/partial_stream.h"

namespace viv {

enum class TLoadCallbackMode : int {
  Idle = 0,        // nothing; go on
  Yield = 1,       // give up the time slice after 5 ms of work; go on
  YieldSleep = 2,  // sleep 1 ms after 5 ms of work; the process runs at high priority
  Stop = 3,        // answer "stop"
};

void SetLoadCallbackMode(TLoadCallbackMode mode);
TLoadCallbackMode LoadCallbackMode();

// The callback itself: true means go on.
bool LoadCallback(void* context);
inline TReadCallback LoadReadCallback() { return TReadCallback{&LoadCallback, nullptr}; }

}  // namespace viv
