// The process-wide log captured for the life of the object.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ref_object.h"

namespace viv::test {

class TLogCapture {
 public:
  TLogCapture();
  ~TLogCapture();
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(std::string_view text) const;

 private:
  TRef<TRefObject> fLog;
  TRef<TRefObject> fPrevious;
};

}  // namespace viv::test
