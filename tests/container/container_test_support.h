// Small helpers shared by the container tests: file bytes and
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
#include "support/scratch_folder.h"

namespace viv::test {

namespace fs = std::filesystem;

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
