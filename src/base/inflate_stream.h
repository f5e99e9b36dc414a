// Raw-deflate (no zlib or gzip header) decompression as a forward-only stream.
#pragma once

#include <memory>

#include "base/stream.h"

namespace viv {

class TInflateStream : public TStream {
 public:
  explicit TInflateStream(TRef<TStream> compressed);

  // Raises EZLibError with the inflater's message on corrupt or truncated data.
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void*, size_t) override;
  // Only forward seeks (by reading); the size is unknown and raises EStreamError.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;

 protected:
  ~TInflateStream() override;

 private:
  struct TState;
  TRef<TStream> fCompressed;
  std::unique_ptr<TState> fState;
  int64_t fPosition = 0;
  bool fEnded = false;
};

// Inflates the rest of compressed into memory; more than limit bytes of output
// raise EZLibError, so a tiny entry cannot claim gigabytes.
TRef<TMemoryStream> InflateToMemory(TRef<TStream> compressed, int64_t limit);

// Raw deflate of data (level 9), for writers of packages and tests.
std::string DeflateRaw(std::string_view data, int level = 9);

}  // namespace viv
