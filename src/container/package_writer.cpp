#include "container/package_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "base/crypt_stream.h"
#include "base/guid.h"
#include "base/inflate_stream.h"
#include "base/stream.h"
#include "base/text.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

constexpr int kMaxTemporaryAttempts = 100;
constexpr size_t kTemporarySuffixLength = 8;

bool IsControl(char c) {
  auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

// The directory parser trims blanks around section names.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The package is written beside its final name and takes that name only once
// it is complete, so a failed write leaves an earlier file as it was (and a
// package inside its own source folder is never read while it grows).
class TPendingFile {
 public:
  explicit TPendingFile(const std::string& finalPath) : fFinalPath(finalPath) {
    for (int attempt = 0; attempt < kMaxTemporaryAttempts && !fStream; ++attempt) {
      std::string path = finalPath + ".tmp-" + NewGuidText().substr(0, kTemporarySuffixLength);
      int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd >= 0) {
        fPath = path;
        fStream = MakeRef<TFileStream>(fd, path, false);
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (!fStream)
      throw TCommonException("cannot create " + finalPath + ": " + std::strerror(errno));
  }
  ~TPendingFile() {
    if (fStream) {
      fStream.Reset();
      ::unlink(fPath.c_str());
    }
  }
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;

  TStream& Stream() { return *fStream; }

  void Commit() {
    fStream.Reset();
    if (std::rename(fPath.c_str(), fFinalPath.c_str()) != 0) {
      int error = errno;
      ::unlink(fPath.c_str());
      throw TCommonException("cannot write " + fFinalPath + ": " + std::strerror(error));
    }
  }

 private:
  std::string fFinalPath;
  std::string fPath;
  TRef<TFileStream> fStream;
};

void WriteInt64(TStream& out, int64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i)
    bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  out.WriteBuffer(bytes, sizeof bytes);
}

// Writes one entry at the current position; returns the stored size.
int64_t WriteEntry(TStream& out, const TPackSource& source) {
  if (source.Method == TPackMethod::Stored && !source.Bytes) {
    // Large stored files are copied in pieces.
    auto in = TFileStream::Open(source.FilePath, TFileMode::Read);
    if (!in) throw TCommonException("cannot read " + source.FilePath);
    return out.CopyFrom(*in);
  }
  std::string bytes = source.Bytes ? *source.Bytes : ReadFileBytes(source.FilePath);
  switch (source.Method) {
    case TPackMethod::Deflated: bytes = DeflateRaw(bytes); break;
    case TPackMethod::Scrambled:
      TCryptStream::Apply(kScrambleKey, 0, bytes.data(), bytes.size());
      break;
    case TPackMethod::Stored: break;
  }
  out.WriteText(bytes);
  return static_cast<int64_t>(bytes.size());
}

}  // namespace

TPackResult WritePackage(const std::string& outPath, const std::vector<TPackSource>& sources,
                         const TPackOptions& options) {
  if (options.Offset < 0) throw TCommonException("the offset must not be negative");
  if (options.Offset > 0 && !options.LongTrailer)
    throw TCommonException("an offset needs the long trailer");
  // The version goes into the directory as it is: a line break would start
  // lines of its own.
  if (std::any_of(options.Version.begin(), options.Version.end(), IsControl))
    throw TCommonException("the version holds a control character");
  std::set<std::string> keys{FoldCase(kProtectionSection)};
  for (const auto& source : sources) {
    std::string key = EntryKey(source.EntryName);
    if (key.empty() || IsBlank(key.front()) || IsBlank(key.back()))
      throw TCommonException("the entry name \"" + source.EntryName +
                             "\" is empty or starts or ends with a blank, so it could not be "
                             "found again");
    if (!keys.insert(FoldCase(key)).second)
      throw TCommonException("two entries have the name " + source.EntryName);
  }

  TPendingFile file(outPath);
  TStream* out = &file.Stream();
  std::string zeros(static_cast<size_t>(std::min<int64_t>(options.Offset, 1 << 20)), '\0');
  for (int64_t left = options.Offset; left > 0;) {
    size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(zeros.size())));
    out->WriteBuffer(zeros.data(), n);
    left -= static_cast<int64_t>(n);
  }

  const int64_t base = options.Offset;
  TIniFile directory;
  for (const auto& source : sources) {
    int64_t position = out->GetPosition() - base;
    int64_t size = WriteEntry(*out, source);
    TIniSection& section = directory.FindOrCreateSection(EntryKey(source.EntryName));
    section.WriteInteger("_ps", position);
    section.WriteInteger("_sz", size);
    if (source.Method != TPackMethod::Stored)
      section.WriteInteger("_pm", static_cast<int>(source.Method));
  }

  // The directory position as produced at base 0; a package written at an
  // offset therefore reads as moved.
  const int64_t relativeDirectory = out->GetPosition() - base;
  TIniSection& protection = directory.FindOrCreateSection(kProtectionSection);
  protection.WriteText("vivversion", options.Version);
  protection.WriteInteger("strucpos", relativeDirectory);
  if (options.AllowModify) protection.WriteBool("allowmodify", *options.AllowModify);

  TMemoryStream text;
  directory.SaveToStream(text, true);
  out->WriteText(DeflateRaw(text.Data()));
  WriteInt64(*out, relativeDirectory);
  out->WriteText(kPackageMagic);
  const int64_t end = out->GetPosition();
  if (options.LongTrailer) WriteInt64(*out, end - base);
  file.Commit();
  return TPackResult{base, base + relativeDirectory, end};
}

}  // namespace viv
