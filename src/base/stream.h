// The byte-stream family: abstract stream, memory stream, file stream.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/exceptions.h"
#include "base/ref_object.h"

namespace viv {

enum class TSeekOrigin { Begin, Current, End };

// Abstract byte stream with 64-bit size and position. Read and Write move as
// many bytes as they can and return that count.
class TStream : public TRefObject {
 public:
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  virtual void SetSize(int64_t size);

  int64_t GetPosition() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Begin); }

  // Exact transfers; a short read or write raises EStreamError.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  void WriteText(std::string_view text) { WriteBuffer(text.data(), text.size()); }

  // Reads everything from the current position to the end, refusing (with
  // EStreamError) to hold more than limit bytes. Streams of unknown size are
  // read piece by piece.
  std::string ReadRest(int64_t limit);
  // Copies count bytes (or everything up to the end when count < 0) from the
  // current position of source; returns the bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count = -1);

  template <class T>
  T ReadValue() {
    T value{};
    ReadBuffer(&value, sizeof value);
    return value;
  }

 protected:
  // base + offset; a target beyond 64 bits raises "Incorrect Position", since
  // offsets often come straight from show files.
  static int64_t SeekTarget(int64_t base, int64_t offset);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string data) : fData(std::move(data)) {}

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(fData.size()); }
  void SetSize(int64_t size) override;

  const std::string& Data() const { return fData; }
  std::string TakeData() { return std::move(fData); }

 private:
  std::string fData;
  int64_t fPosition = 0;
};

enum class TFileMode { Read, Create, ReadWrite };

// A file opened with POSIX calls. Reads go through a small read-ahead buffer so
// that streams reading in small pieces stay fast.
class TFileStream : public TStream {
 public:
  // None when the file cannot be opened.
  static TRef<TFileStream> Open(const std::string& path, TFileMode mode);
  // Like Open, but read errors of the stream yield 0 bytes instead of raising.
  static TRef<TFileStream> OpenQuiet(const std::string& path);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;

  const std::string& FileName() const { return fPath; }

  // Takes over an open descriptor; use Open.
  TFileStream(int fd, std::string path, bool quietReadErrors);

 protected:
  ~TFileStream() override;

 private:
  void DropReadAhead();

  int fFd;
  std::string fPath;
  bool fQuietReadErrors;
  int64_t fPosition = 0;  // logical position
  std::vector<char> fBuffer;
  int64_t fBufferStart = 0;  // file position of fBuffer[0]
  size_t fBufferLength = 0;
};

// Whole-file helpers for tools and tests; they raise EStreamError.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace viv
