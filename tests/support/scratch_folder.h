// A fresh folder per test under the test temporary directory, removed with
// everything in it when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace viv::test {

class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::string& Path() const { return fPath; }
  std::string operator/(std::string_view relative) const;

  // Writes the file, creating its folders; returns its path.
  std::string Write(std::string_view relative, std::string_view bytes) const;

 private:
  std::string fPath;
};

}  // namespace viv::test
