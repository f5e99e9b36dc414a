// Reader of show packages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/partial_stream.h"
#include "base/ref_object.h"
#include "base/stream.h"
#include "container/package_format.h"
#include "project/ini_tree.h"

namespace viv {

// Owns the parsed package directory and finds the section of an entry name.
class TUnpackStruc : public TRefObject {
 public:
  explicit TUnpackStruc(TRef<TIniFile> directory) : fDirectory(std::move(directory)) {}
  TIniSection* EntrySection(std::string_view entryName) const;
  const TIniFile& Directory() const { return *fDirectory; }

 private:
  TRef<TIniFile> fDirectory;
};

struct TPackageEntry {
  int64_t Position = 0;  // absolute, entry delta applied
  int64_t Size = 0;      // stored bytes
  TPackMethod Method = TPackMethod::Stored;
};

// Where the trailer puts a package inside its file.
struct TPackageTrailer {
  int64_t End = 0;   // just after the magic
  int64_t Base = 0;  // where the package starts
};

// An opened package: read-only after construction, so entries may be opened
// and read from several threads at once (each opened entry has its own handle).
class TVivUnpack : public TRefObject {
 public:
  // Deflated entries are inflated whole; larger results are refused.
  static constexpr int64_t kMaxInflatedEntrySize = int64_t{1} << 30;

  explicit TVivUnpack(std::string fileName);

  bool IsOpen() const { return fFile != nullptr; }
  // Empty when the file simply has no package trailer.
  const std::string& ErrorText() const { return fErrorText; }
  const std::string& Version() const { return fVersion; }
  const std::string& FileName() const { return fFileName; }
  int64_t PackageEnd() const { return fPackageEnd; }
  int64_t Base() const { return fBase; }
  int64_t DirectoryPosition() const { return fDirectoryPosition; }  // absolute
  int64_t EntryDelta() const { return fEntryDelta; }
  // None unless open.
  const TUnpackStruc* Structure() const { return fStructure.Get(); }

  static std::optional<TPackageTrailer> LocateTrailer(TStream& file);

  std::optional<TPackageEntry> FindEntry(std::string_view entryName) const;
  // The entry a directory section describes; none without usable "_ps" and "_sz".
  std::optional<TPackageEntry> EntryOfSection(const TIniSection& section) const;
  // The entry's bytes, unpacked. The callback, when set, is called after every
  // piece read from the entry. Raises EStreamError ("Insufficient Source Size"
  // for a range beyond the file) or EZLibError for corrupt deflated data.
  TRef<TStream> OpenEntryStream(
      const TPackageEntry& entry, TReadCallback callback = {},
      size_t requestedPiece = TPartialStream::kPieceWithoutCallback) const;

 private:
  // False with the error text set (or empty for a file that is no package).
  bool ReadDirectory();
  bool Fail(std::string text);

  TRef<TFileStream> fFile;
  std::string fFileName;
  std::string fErrorText;
  std::string fVersion;
  int64_t fPackageEnd = 0;
  int64_t fBase = 0;
  int64_t fDirectoryPosition = 0;
  int64_t fEntryDelta = 0;
  TRef<TUnpackStruc> fStructure;
};

// Whether the file is an openable package, and its version.
bool ProbeShowFile(const std::string& fileName, std::string* version = nullptr);

}  // namespace viv
