#include "base/crypt_stream.h"

#include <vector>

namespace viv {

TCryptStream::TCryptStream(TRef<TStream> inner, std::string key)
    : fInner(std::move(inner)), fKey(std::move(key)) {
  VIV_ASSERT(fInner && !fKey.empty(), "TCryptStream needs a stream and a key");
}

void TCryptStream::Apply(std::string_view key, int64_t position, char* data, size_t count) {
  size_t k = static_cast<size_t>(position % static_cast<int64_t>(key.size()));
  for (size_t i = 0; i < count; ++i) {
    data[i] = static_cast<char>(data[i] ^ key[k]);
    if (++k == key.size()) k = 0;
  }
}

size_t TCryptStream::Read(void* buffer, size_t count) {
  int64_t position = fInner->GetPosition();
  size_t n = fInner->Read(buffer, count);
  Apply(fKey, position, static_cast<char*>(buffer), n);
  return n;
}

size_t TCryptStream::Write(const void* buffer, size_t count) {
  // Never scramble the caller's buffer.
  std::vector<char> copy(static_cast<const char*>(buffer),
                         static_cast<const char*>(buffer) + count);
  Apply(fKey, fInner->GetPosition(), copy.data(), copy.size());
  return fInner->Write(copy.data(), copy.size());
}

}  // namespace viv
