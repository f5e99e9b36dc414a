#include "base/partial_stream.h"

#include <algorithm>

namespace viv {

TPartialStream::TPartialStream(TRef<TStream> inner, int64_t start, int64_t size)
    : fInner(std::move(inner)), fStart(start), fSize(size) {
  if (!fInner || start < 0 || size < 0 || start > INT64_MAX - size ||
      start + size > fInner->GetSize())
    throw EStreamError("Insufficient Source Size");
}

size_t TPartialStream::Read(void* buffer, size_t count) {
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count && fPosition < fSize) {
    size_t piece =
        std::min<size_t>({count - done, fPieceSize, static_cast<size_t>(fSize - fPosition)});
    fInner->SetPosition(fStart + fPosition);
    size_t n = fInner->Read(out + done, piece);
    done += n;
    fPosition += static_cast<int64_t>(n);
    if (n < piece) break;
    if (fCallback && !fCallback.Proc(fCallback.Context)) break;
  }
  return done;
}

size_t TPartialStream::Write(const void* buffer, size_t count) {
  const char* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count && fPosition < fSize) {
    size_t piece = std::min<size_t>(
        {count - done, kPieceWithoutCallback, static_cast<size_t>(fSize - fPosition)});
    fInner->SetPosition(fStart + fPosition);
    size_t n = fInner->Write(in + done, piece);
    done += n;
    fPosition += static_cast<int64_t>(n);
    if (n < piece) break;
  }
  return done;
}

int64_t TPartialStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Begin     ? 0
                 : origin == TSeekOrigin::Current ? fPosition
                                                  : fSize;
  int64_t target = SeekTarget(base, offset);
  if (target < 0 || target > fSize) throw EStreamError("Incorrect Position");
  fPosition = target;
  return fPosition;
}

void TPartialStream::SetSize(int64_t) { throw EStreamError("Stream Cannot be resized"); }

void TPartialStream::SetReadCallback(TReadCallback callback, size_t requestedPiece) {
  fCallback = callback;
  fPieceSize = callback ? std::clamp<size_t>(requestedPiece, 1, kMaxPieceWithCallback)
                        : kPieceWithoutCallback;
}

}  // namespace viv
