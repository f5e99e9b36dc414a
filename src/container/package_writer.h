// Writes show packages in every form the reader accepts, for the show tool and
// for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/package_format.h"

namespace viv {

struct TPackSource {
  std::string EntryName;  // the name the project uses, "\"-separated
  std::string FilePath;   // read from disk when Bytes is not given
  std::optional<std::string> Bytes;
  TPackMethod Method = TPackMethod::Stored;
};

struct TPackOptions {
  bool LongTrailer = false;
  // Zero bytes before the package base (long trailer only): the package reads
  // as produced at position 0 and moved there afterwards.
  int64_t Offset = 0;
  std::string Version;
  std::optional<bool> AllowModify;  // "allowmodify" is written only when set
};

struct TPackResult {
  int64_t Base = 0;
  int64_t DirectoryPosition = 0;  // absolute
  int64_t End = 0;
};

// Writes beside outPath and renames the result into place once complete, so a
// failure leaves no file behind and an earlier one unchanged. Raises
// TCommonException with a readable message on bad input (duplicate names,
// names with a blank at either end, a version with control characters,
// unreadable files, an offset without the long trailer).
TPackResult WritePackage(const std::string& outPath, const std::vector<TPackSource>& sources,
                         const TPackOptions& options);

}  // namespace viv
