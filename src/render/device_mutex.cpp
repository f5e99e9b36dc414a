#include "render/device_mutex.h"

namespace viv {

std::recursive_mutex& DeviceMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace viv
