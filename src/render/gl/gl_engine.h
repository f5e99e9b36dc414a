// The device layer's engine on GL. This header names no GL type, so that the
// programs can make the engine without seeing GL.
#pragma once

#include "render/device.h"

namespace viv {

TRef<T3DEngine> CreateGLEngine();

}  // namespace viv
