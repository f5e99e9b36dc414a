#include "base/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace viv {
namespace {
constexpr size_t kCopyPiece = 1 << 16;
constexpr size_t kReadAhead = 1 << 16;
}  // namespace

int64_t TStream::GetSize() {
  int64_t position = Seek(0, TSeekOrigin::Current);
  int64_t size = Seek(0, TSeekOrigin::End);
  Seek(position, TSeekOrigin::Begin);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream Cannot be resized"); }

int64_t TStream::SeekTarget(int64_t base, int64_t offset) {
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) throw EStreamError("Incorrect Position");
  return target;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  if (Write(buffer, count) != count) throw EStreamError("Stream write error");
}

std::string TStream::ReadRest(int64_t limit) {
  std::string out;
  int64_t size = -1;
  try {
    size = GetSize() - GetPosition();
  } catch (const EStreamError&) {
    size = -1;  // a forward-only stream: read in pieces
  }
  if (size > limit) throw EStreamError("Stream too large");
  if (size >= 0) {
    out.resize(static_cast<size_t>(size));
    out.resize(Read(out.data(), out.size()));
    return out;
  }
  char piece[kCopyPiece];
  for (;;) {
    size_t n = Read(piece, sizeof piece);
    if (n == 0) break;
    if (static_cast<int64_t>(out.size() + n) > limit) throw EStreamError("Stream too large");
    out.append(piece, n);
  }
  return out;
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  std::vector<char> piece(kCopyPiece);
  int64_t copied = 0;
  while (count < 0 || copied < count) {
    size_t want = piece.size();
    if (count >= 0) want = static_cast<size_t>(std::min<int64_t>(want, count - copied));
    size_t n = source.Read(piece.data(), want);
    if (n == 0) break;
    WriteBuffer(piece.data(), n);
    copied += static_cast<int64_t>(n);
  }
  if (count >= 0 && copied != count) throw EStreamError("Stream read error");
  return copied;
}

// --- TMemoryStream

size_t TMemoryStream::Read(void* buffer, size_t count) {
  int64_t available = static_cast<int64_t>(fData.size()) - fPosition;
  if (available <= 0 || count == 0) return 0;
  size_t n = std::min<size_t>(count, static_cast<size_t>(available));
  std::memcpy(buffer, fData.data() + fPosition, n);
  fPosition += static_cast<int64_t>(n);
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = static_cast<size_t>(fPosition) + count;
  if (end > fData.size()) fData.resize(end);
  std::memcpy(fData.data() + fPosition, buffer, count);
  fPosition = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin     ? 0
                 : origin == TSeekOrigin::Current ? fPosition
                                                  : static_cast<int64_t>(fData.size());
  int64_t target = SeekTarget(base, offset);
  if (target < 0) throw EStreamError("Incorrect Position");
  fPosition = target;
  return fPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Incorrect Size");
  fData.resize(static_cast<size_t>(size));
  fPosition = std::min(fPosition, size);
}

// --- TFileStream

TFileStream::TFileStream(int fd, std::string path, bool quietReadErrors)
    : fFd(fd), fPath(std::move(path)), fQuietReadErrors(quietReadErrors) {}

TFileStream::~TFileStream() { ::close(fFd); }

TRef<TFileStream> TFileStream::Open(const std::string& path, TFileMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::Read: flags |= O_RDONLY; break;
    case TFileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case TFileMode::ReadWrite: flags |= O_RDWR; break;
  }
  // Non-blocking until the file is known to be a regular one: a name that
  // leads to a pipe or a device must not stall or feed endless bytes.
  int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0644);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  return MakeRef<TFileStream>(fd, path, false);
}

TRef<TFileStream> TFileStream::OpenQuiet(const std::string& path) {
  auto stream = Open(path, TFileMode::Read);
  if (stream) stream->fQuietReadErrors = true;
  return stream;
}

void TFileStream::DropReadAhead() { fBufferLength = 0; }

size_t TFileStream::Read(void* buffer, size_t count) {
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    int64_t offsetInBuffer = fPosition - fBufferStart;
    if (offsetInBuffer >= 0 && offsetInBuffer < static_cast<int64_t>(fBufferLength)) {
      size_t n = std::min(count - done, fBufferLength - static_cast<size_t>(offsetInBuffer));
      std::memcpy(out + done, fBuffer.data() + offsetInBuffer, n);
      done += n;
      fPosition += static_cast<int64_t>(n);
      continue;
    }
    size_t want = count - done;
    if (want >= kReadAhead) {
      // Large reads go straight into the caller's buffer.
      ssize_t n = ::pread(fFd, out + done, want, fPosition);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (fQuietReadErrors) return done;
        throw EStreamError("Stream read error");
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
      fPosition += n;
      continue;
    }
    fBuffer.resize(kReadAhead);
    ssize_t n = ::pread(fFd, fBuffer.data(), kReadAhead, fPosition);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      DropReadAhead();
      if (fQuietReadErrors) return done;
      throw EStreamError("Stream read error");
    }
    fBufferStart = fPosition;
    fBufferLength = static_cast<size_t>(n);
    if (n == 0) break;
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  DropReadAhead();
  const char* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fFd, in + done, count - done, fPosition);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
    fPosition += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin     ? 0
                 : origin == TSeekOrigin::Current ? fPosition
                                                  : GetSize();
  int64_t target = SeekTarget(base, offset);
  if (target < 0) throw EStreamError("Incorrect Position");
  fPosition = target;
  return fPosition;
}

int64_t TFileStream::GetSize() {
  struct stat st;
  if (::fstat(fFd, &st) != 0) throw EStreamError("Stream read error");
  return static_cast<int64_t>(st.st_size);
}

void TFileStream::SetSize(int64_t size) {
  DropReadAhead();
  if (size < 0 || ::ftruncate(fFd, size) != 0) throw EStreamError("Stream Cannot be resized");
  fPosition = std::min(fPosition, size);
}

std::string ReadFileBytes(const std::string& path) {
  auto stream = TFileStream::Open(path, TFileMode::Read);
  if (!stream) throw EStreamError("Cannot open file " + path);
  return stream->ReadRest(INT64_MAX);
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  auto stream = TFileStream::Open(path, TFileMode::Create);
  if (!stream) throw EStreamError("Cannot create file " + path);
  stream->WriteText(bytes);
}

}  // namespace viv
