// What the file accessor knows of a decoded picture: its size. The picture
// library's sources and the pictures that producers make derive from it.
#pragma once

#include <cstdint>

#include "base/ref_object.h"

namespace viv {

class TPictureStore : public TRefObject {
 public:
  // The full picture's size in pixels, as shown (after any orientation turn).
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
};

}  // namespace viv
