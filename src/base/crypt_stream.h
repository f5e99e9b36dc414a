// XOR with a repeating key, keyed by the inner stream's position.
#pragma once

#include <string>

#include "base/stream.h"

namespace viv {

// Byte at inner position p is XORed with key[p mod key length], so reading from
// any position unscrambles correctly and the same operation scrambles.
class TCryptStream : public TStream {
 public:
  TCryptStream(TRef<TStream> inner, std::string key);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return fInner->Seek(offset, origin); }
  int64_t GetSize() override { return fInner->GetSize(); }
  void SetSize(int64_t size) override { fInner->SetSize(size); }

  // XORs data in place as if it stood at position.
  static void Apply(std::string_view key, int64_t position, char* data, size_t count);

 private:
  TRef<TStream> fInner;
  std::string fKey;
};

}  // namespace viv
