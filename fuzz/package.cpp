// Any bytes as a show package: opening never crashes, what opens is laid out
// inside the file, and every directory entry can be opened and read (or is
// refused with a stream or decompression error).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/exceptions.h"
#include "base/stream.h"
#include "container/package_format.h"
#include "container/viv_unpack.h"

namespace {

using namespace viv;

// Deflated entries are inflated whole; more than this is not worth a fuzzer's time.
constexpr int64_t kReadLimit = int64_t{64} << 20;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "package: %s\n", what);
  std::abort();
}

// One file per fuzzing process, rewritten for every input.
const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_package_" +
                    std::to_string(::getpid()) + ".vxshow";
    std::atexit([] { ::unlink(InputPath().c_str()); });
    return p;
  }();
  return path;
}

bool HasControlOrBracket(std::string_view name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 32 || c == '[' || c == ']') return true;
  return false;
}

void ReadEntry(const TVivUnpack& package, const TPackageEntry& entry, int64_t fileSize) {
  Check(entry.Position >= 0 && entry.Size >= 0, "negative entry range");
  TRef<TStream> stream;
  try {
    stream = package.OpenEntryStream(entry);
  } catch (const TCommonException&) {
    // "Insufficient Source Size" or the inflater's message: refused, not read.
    return;
  }
  Check(entry.Position + entry.Size <= fileSize, "an entry beyond the file was opened");
  int64_t total = 0;
  char piece[16384];
  try {
    while (total < kReadLimit) {
      size_t n = stream->Read(piece, sizeof piece);
      if (n == 0) break;
      total += static_cast<int64_t>(n);
    }
  } catch (const TCommonException&) {
    return;
  }
  if (entry.Method != TPackMethod::Deflated) Check(total == entry.Size, "short entry read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputPath();
  WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  const int64_t fileSize = static_cast<int64_t>(size);

  auto package = MakeRef<TVivUnpack>(path);
  Check(ProbeShowFile(path) == package->IsOpen(), "probe and reader disagree");
  if (!package->IsOpen()) return 0;
  Check(package->ErrorText().empty(), "open with an error text");
  Check(0 <= package->Base() && package->Base() <= package->DirectoryPosition() &&
            package->DirectoryPosition() + kShortTrailerSize <= package->PackageEnd() &&
            package->PackageEnd() <= fileSize,
        "package layout outside the file");
  Check(package->EntryDelta() >= 0, "negative entry delta");

  const TIniFile& directory = package->Structure()->Directory();
  for (size_t i = 0; i < directory.SectionCount(); ++i) {
    const TIniSection& section = directory.Section(i);
    auto entry = package->EntryOfSection(section);
    // A name that EntryKey leaves alone is found under its own section.
    const std::string& name = section.Name();
    if (!name.empty() && !HasControlOrBracket(name)) {
      auto found = package->FindEntry(name);
      Check(found.has_value() == entry.has_value() &&
                (!found || (found->Position == entry->Position && found->Size == entry->Size &&
                            found->Method == entry->Method)),
            "lookup by section name differs");
    }
    if (entry) ReadEntry(*package, *entry, fileSize);
  }
  return 0;
}
