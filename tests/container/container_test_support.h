// Small helpers shared by the container tests: scratch folders, file bytes and
// packages assembled byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/inflate_stream.h"
#include "base/stream.h"

namespace viv::test {

namespace fs = std::filesystem;

// A fresh folder under the test temporary directory, removed with everything
// in it at the end of the test.
class TScratchFolder {
 public:
  TScratchFolder() {
    std::string pattern = ::testing::TempDir() + "viv_container_XXXXXX";
    EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
    fPath = fs::canonical(pattern).string();
  }
  ~TScratchFolder() {
    std::error_code ec;
    fs::remove_all(fPath, ec);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::string& Path() const { return fPath; }
  std::string operator/(std::string_view relative) const {
    return fPath + "/" + std::string(relative);
  }

  // Writes the file, creating its folders; returns its path.
  std::string Write(std::string_view relative, std::string_view bytes) const {
    std::string path = *this / relative;
    fs::create_directories(fs::path(path).parent_path());
    WriteFileBytes(path, bytes);
    return path;
  }

 private:
  std::string fPath;
};

inline std::string ReadAll(TStream& stream) { return stream.ReadRest(INT64_MAX); }

inline std::string Int64Bytes(int64_t value) {
  std::string out;
  for (int i = 0; i < 8; ++i) out += static_cast<char>(static_cast<uint64_t>(value) >> (8 * i));
  return out;
}

// Directory text as the packer writes it: byte-order mark, CR LF.
inline std::string DirectoryText(std::initializer_list<std::string_view> lines) {
  std::string text = "\xEF\xBB\xBF";
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// A package built by hand: Prefix lies before the base (long trailer only),
// Data holds the entries at positions counted from the base, and the directory
// follows Data. RawDirectory, when set, is stored instead of the deflated text.
struct TRawPackage {
  std::string Prefix;
  std::string Data;
  std::string Directory;
  bool LongTrailer = false;
  std::string RawDirectory;

  std::string Bytes() const {
    std::string out = Prefix + Data;
    out += RawDirectory.empty() ? DeflateRaw(Directory) : RawDirectory;
    out += Int64Bytes(static_cast<int64_t>(Data.size()));
    out += ".dne";
    if (LongTrailer) out += Int64Bytes(static_cast<int64_t>(out.size() - Prefix.size()));
    return out;
  }
};

}  // namespace viv::test
