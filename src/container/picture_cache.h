// Decoded pictures shared between every user of the same name and file source.
// Decoding itself belongs to the image library, which installs it at start-up.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "base/stream.h"

namespace viv {

// What a decoder or a picture provider made of a name; the image library's
// picture stores derive from it.
class TPictureStore : public TRefObject {
 public:
  // The full picture's size in pixels, as shown (after any orientation turn).
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
};

// What text macros show of a picture file.
struct TPictureMetadata {
  std::string ExifComment;
  std::string ExifDescription;
  std::string ExifDateTime;  // as stored: "YYYY:MM:DD HH:MM:SS"
  // IPTC fields by name: "DocumentTitle", "SpecialInstructions", "AuthorByline",
  // "AuthorTitle", "City", "Sublocation", "ProvinceState", "Country", "OTR",
  // "Headline", "Credits", "Source", "Copyright", "CaptionDescription", "CaptionWriter".
  std::map<std::string, std::string> Iptc;
};

// Why a placeholder stands in for a picture.
enum class TPictureFailure { NotFound, LoadError };

// Installed by the image library. Decode: the stream's picture, turned by the
// orientation code (EXIF 1, 3, 6, 8), or none. Placeholder: the picture that
// says the file was not found or could not be read. Reduce: a copy at the
// accessor's reduction level. ReadMetadata: the EXIF and IPTC values of a
// picture file; false when it has none.
struct TPictureServices {
  TRef<TPictureStore> (*Decode)(TStream& stream, std::string_view name, int orientation) = nullptr;
  TRef<TPictureStore> (*Placeholder)(TPictureFailure failure, std::string_view name) = nullptr;
  TRef<TPictureStore> (*Reduce)(TPictureStore& store, int level) = nullptr;
  bool (*ReadMetadata)(TStream& stream, TPictureMetadata& metadata) = nullptr;
};
void InstallPictureServices(const TPictureServices& services);
TPictureServices PictureServices();

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
