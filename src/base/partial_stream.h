// A window onto a byte range of another stream.
#pragma once

#include "base/stream.h"

namespace viv {

// Called after every piece a partial stream reads; answering false stops the
// read there (the caller gets a short count).
struct TReadCallback {
  bool (*Proc)(void* context) = nullptr;
  void* Context = nullptr;
  explicit operator bool() const { return Proc != nullptr; }
};

// Presents [start, start + size) of an inner stream as a stream of its own;
// position 0 is the start of the range. Reads and writes go to the inner
// stream in pieces and never pass the end of the range.
class TPartialStream : public TStream {
 public:
  static constexpr size_t kPieceWithoutCallback = 32768;
  static constexpr size_t kMaxPieceWithCallback = 256;

  // Raises EStreamError "Insufficient Source Size" when the range does not lie
  // inside the inner stream.
  TPartialStream(TRef<TStream> inner, int64_t start, int64_t size);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return fSize; }
  void SetSize(int64_t size) override;

  // With a callback the piece is the requested size, at most 256 bytes.
  void SetReadCallback(TReadCallback callback, size_t requestedPiece);
  size_t PieceSize() const { return fPieceSize; }
  TStream& Inner() const { return *fInner; }

 private:
  TRef<TStream> fInner;
  int64_t fStart;
  int64_t fSize;
  int64_t fPosition = 0;
  TReadCallback fCallback;
  size_t fPieceSize = kPieceWithoutCallback;
};

}  // namespace viv
