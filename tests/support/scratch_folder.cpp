#include "support/scratch_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "base/stream.h"

namespace viv::test {

namespace fs = std::filesystem;

namespace {
// Read once at start: tests point TMPDIR into their own scratch folders.
const std::string kBase = ::testing::TempDir();
}  // namespace

TScratchFolder::TScratchFolder() {
  std::string pattern = kBase + "viv_test_XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "no scratch folder at " << pattern;
    return;
  }
  fPath = fs::canonical(pattern).string();
}

TScratchFolder::~TScratchFolder() {
  if (fPath.empty()) return;
  std::error_code ec;
  fs::remove_all(fPath, ec);
}

std::string TScratchFolder::operator/(std::string_view relative) const {
  return fPath + "/" + std::string(relative);
}

std::string TScratchFolder::Write(std::string_view relative, std::string_view bytes) const {
  std::string path = *this / relative;
  fs::create_directories(fs::path(path).parent_path());
  WriteFileBytes(path, bytes);
  return path;
}

}  // namespace viv::test
