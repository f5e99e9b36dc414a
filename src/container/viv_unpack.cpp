#include "container/viv_unpack.h"

#include <cstring>

#include "base/crypt_stream.h"
#include "base/inflate_stream.h"

namespace viv {
namespace {

constexpr std::string_view kFileNotFound = "Slideshow File not Found";
constexpr std::string_view kFileModified = "Slide-show File Modified";
constexpr std::string_view kFileDamaged = "Slide-show File Damaged";

int64_t ReadInt64At(TStream& stream, int64_t position) {
  stream.SetPosition(position);
  uint8_t bytes[8];
  stream.ReadBuffer(bytes, sizeof bytes);
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
  return static_cast<int64_t>(value);
}

bool MagicAt(TStream& stream, int64_t position) {
  char magic[4];
  stream.SetPosition(position);
  return stream.Read(magic, sizeof magic) == sizeof magic &&
         std::memcmp(magic, kPackageMagic.data(), sizeof magic) == 0;
}

}  // namespace

TIniSection* TUnpackStruc::EntrySection(std::string_view entryName) const {
  return fDirectory->FindSection(EntryKey(entryName));
}

TVivUnpack::TVivUnpack(std::string fileName) : fFileName(std::move(fileName)) {
  fFile = TFileStream::Open(fFileName, TFileMode::Read);
  if (!fFile) {
    fErrorText = kFileNotFound;
    return;
  }
  bool ok = false;
  try {
    ok = ReadDirectory();
  } catch (const TCommonException& e) {
    // A directory that does not inflate reports the inflater's message.
    ok = Fail(e.Message());
  }
  if (!ok) {
    fFile.Reset();
    fStructure.Reset();
  }
}

bool TVivUnpack::Fail(std::string text) {
  fErrorText = std::move(text);
  return false;
}

std::optional<TPackageTrailer> TVivUnpack::LocateTrailer(TStream& file) {
  int64_t size = file.GetSize();
  if (size >= kShortTrailerSize && MagicAt(file, size - 4)) return TPackageTrailer{size, 0};
  int64_t longTrailer = kShortTrailerSize + kLengthFieldSize;
  if (size >= longTrailer && MagicAt(file, size - longTrailer + kShortTrailerSize - 4)) {
    int64_t end = size - kLengthFieldSize;
    int64_t length = ReadInt64At(file, end);
    // A length that puts the base outside the file leaves the base unusable;
    // ReadDirectory reports it as damage.
    int64_t base = (length < 0 || length > end) ? -1 : end - length;
    return TPackageTrailer{end, base};
  }
  return std::nullopt;
}

bool TVivUnpack::ReadDirectory() {
  auto trailer = LocateTrailer(*fFile);
  if (!trailer) return Fail({});
  fPackageEnd = trailer->End;
  fBase = trailer->Base;
  int64_t directoryEnd = fPackageEnd - kShortTrailerSize;
  if (fBase < 0 || fBase > directoryEnd) return Fail(std::string(kFileDamaged));

  int64_t relative = ReadInt64At(*fFile, directoryEnd);
  if (relative < 0 || relative > directoryEnd - fBase) return Fail(std::string(kFileDamaged));
  fDirectoryPosition = fBase + relative;

  auto range =
      MakeRef<TPartialStream>(fFile, fDirectoryPosition, directoryEnd - fDirectoryPosition);
  auto text = InflateToMemory(range, TIniFile::kMaxTextSize);
  auto document = MakeRef<TIniFile>();
  if (!document->LoadFromStream(*text)) return Fail(std::string(kFileDamaged));
  fStructure = MakeRef<TUnpackStruc>(document);

  TIniSection* protection = document->FindSection(kProtectionSection);
  std::string written = protection ? protection->ReadText("strucpos") : std::string();
  if (!written.empty() && written != std::to_string(fDirectoryPosition)) {
    if (!protection->ReadBool("allowmodify", false)) return Fail(std::string(kFileModified));
    auto original = ParseInt64(written);
    // A delta beyond 64 bits cannot come from moving a real package.
    int64_t delta = 0;
    if (!original || *original > fDirectoryPosition ||
        __builtin_sub_overflow(fDirectoryPosition, *original, &delta))
      return Fail(std::string(kFileDamaged));
    fEntryDelta = delta;
  }
  fVersion = protection ? protection->ReadText("vivversion") : std::string();
  return true;
}

std::optional<TPackageEntry> TVivUnpack::FindEntry(std::string_view entryName) const {
  // An empty section name would mean the directory's own lines.
  if (!fStructure || entryName.empty()) return std::nullopt;
  TIniSection* section = fStructure->EntrySection(entryName);
  if (!section) return std::nullopt;
  return EntryOfSection(*section);
}

std::optional<TPackageEntry> TVivUnpack::EntryOfSection(const TIniSection& section) const {
  TIniItem* position = section.FindItem("_ps");
  TIniItem* size = section.FindItem("_sz");
  if (!position || !size) return std::nullopt;
  auto p = ParseInt64(position->Value());
  auto s = ParseInt64(size->Value());
  // Values that are no numbers, negative, or that overflow with the delta name
  // no readable bytes (a range past 64 bits is refused when it is opened).
  int64_t absolute = 0;
  if (!p || !s || *p < 0 || *s < 0 || __builtin_add_overflow(*p, fEntryDelta, &absolute))
    return std::nullopt;
  return TPackageEntry{absolute, *s, PackMethodFromNumber(section.ReadInt64("_pm", 0))};
}

TRef<TStream> TVivUnpack::OpenEntryStream(const TPackageEntry& entry, TReadCallback callback,
                                          size_t requestedPiece) const {
  auto handle = TFileStream::Open(fFileName, TFileMode::Read);
  if (!handle) throw EStreamError(std::string(kFileNotFound));
  auto range = MakeRef<TPartialStream>(handle, entry.Position, entry.Size);
  switch (entry.Method) {
    case TPackMethod::Deflated: {
      auto memory = InflateToMemory(range, kMaxInflatedEntrySize);
      if (!callback) return memory;
      auto window = MakeRef<TPartialStream>(memory, 0, memory->GetSize());
      window->SetReadCallback(callback, requestedPiece);
      return window;
    }
    case TPackMethod::Scrambled:
      range->SetReadCallback(callback, requestedPiece);
      return MakeRef<TCryptStream>(range, std::string(kScrambleKey));
    case TPackMethod::Stored: break;
  }
  range->SetReadCallback(callback, requestedPiece);
  return range;
}

bool ProbeShowFile(const std::string& fileName, std::string* version) {
  try {
    auto unpack = MakeRef<TVivUnpack>(fileName);
    if (version) *version = unpack->Version();
    return unpack->IsOpen();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace viv
