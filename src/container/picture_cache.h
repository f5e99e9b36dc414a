// Decoded pictures shared between every user of the same name and file source.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "base/ref_object.h"
#include "container/picture_store.h"

namespace viv {

// One decoded picture per (upper-case name, source number). Handles live in a
// process-wide table; the table's lock guards every change of their counts.
class TImageHandle : public TRefObject {
 public:
  TImageHandle(std::string key, uint64_t sourceNumber)
      : fKey(std::move(key)), fSourceNumber(sourceNumber) {}

  const std::string& Key() const { return fKey; }
  uint64_t SourceNumber() const { return fSourceNumber; }

 private:
  friend class TFileAccessor;
  friend class TSharedPicture;
  std::mutex fLock;  // held while decoding
  std::string fKey;
  uint64_t fSourceNumber;
  bool fLoaded = false;
  TRef<TPictureStore> fStore;
};

// A user's picture: shares its handle's decoded store.
class TSharedPicture : public TRefObject {
 public:
  explicit TSharedPicture(TRef<TImageHandle> handle) : fHandle(std::move(handle)) {}

  // None when nothing could be decoded and no placeholder maker is installed.
  TPictureStore* Store() const { return fHandle ? fHandle->fStore.Get() : nullptr; }
  TPictureStore* Reduced() const { return fReduced.Get(); }
  const TImageHandle& Handle() const { return *fHandle; }

 protected:
  // Releasing the last picture of a handle removes the handle from the table.
  void Cleanup() override;

 private:
  friend class TFileAccessor;
  TRef<TImageHandle> fHandle;
  TRef<TPictureStore> fReduced;
};

// The number of handles in the table (for tests and diagnostics).
size_t ImageHandleCount();

}  // namespace viv
