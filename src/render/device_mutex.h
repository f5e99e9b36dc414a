// The one mutex that serialises every operation on the 3D device, across all
// renderers and their resources. Recursive: an operation may call another.
#pragma once

#include <mutex>

namespace viv {

std::recursive_mutex& DeviceMutex();

}  // namespace viv
