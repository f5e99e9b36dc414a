// Picture sources: pictures that know their size and format at once and decode
// pixels only when a drawer asks, at the mip level it needs.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ref_object.h"
#include "container/picture_store.h"
#include "image/bitmap.h"
#include "image/colour/colour_profile.h"

namespace viv {

// Level L has the size of level L - 1 halved, each side rounded up.
inline constexpr int kMaxMipLevel = 31;
int32_t MipLevelSide(int32_t side, int level);
// The number of halvings while the picture is wider than w and taller than h.
int MipLevelForSize(int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight);

class TBitmapStore : public TPictureStore {
 public:
  using TProgressProc = std::function<void(double fraction)>;

  // The bitmap of a level in a format (the level's first bitmap when none is
  // asked for). Cached: repeated requests return the same bitmap, which
  // callers must not change. Thread-safe; the store's lock is held for the
  // whole lookup, decoding and conversion.
  TRef<TBitmap> GetMipLevel(int level, std::optional<TPixelFormat> format = std::nullopt);
  int LevelForSize(int32_t targetWidth, int32_t targetHeight) const {
    return MipLevelForSize(Width(), Height(), targetWidth, targetHeight);
  }

  // The pixel format of level 0 as the source holds it.
  virtual TPixelFormat PixelFormat() const = 0;
  // The class name that assertion texts use.
  virtual std::string_view ClassName() const = 0;

  // None means sRGB.
  TColorProfile* Profile() const { return fProfile.Get(); }
  TRef<TColorProfile> ProfileRef() const { return fProfile; }
  void SetProfile(TRef<TColorProfile> profile) { fProfile = std::move(profile); }

  // Objects made from this picture (textures), by their key.
  TRef<TRefObject> Attachment(std::string_view key) const;
  void Attach(std::string key, TRef<TRefObject> object);

  // Decoding progress from 0 to 1; set before the first request.
  void SetProgress(TProgressProc progress) { fProgress = std::move(progress); }

 protected:
  // The source's own bitmap of a level, not yet turned; none when the source
  // does not decode that level itself.
  virtual TRef<TBitmap> DecodeLevel(int level) = 0;
  virtual TTurning Turning() const { return TTurning::None; }
  void ReportProgress(double fraction) const {
    if (fProgress) fProgress(fraction);
  }

 private:
  struct TLevelCache {
    std::vector<TRef<TBitmap>> Bitmaps;  // the first one as made, then conversions
  };
  // Under fLock.
  TRef<TBitmap> LevelBitmap(int level);
  TRef<TBitmap> GetLevelInFormat(int level, TPixelFormat format);

  std::mutex fLock;
  std::vector<TLevelCache> fLevels;
  TRef<TColorProfile> fProfile;
  TProgressProc fProgress;
  mutable std::mutex fAttachLock;
  std::vector<std::pair<std::string, TRef<TRefObject>>> fAttachments;
};

// A source that came from a file: its name, size, format and turning.
class TSysBitmapStore : public TBitmapStore {
 public:
  // width and height as the file stores them.
  TSysBitmapStore(std::string name, int32_t width, int32_t height, TPixelFormat format);

  int32_t Width() const override { return fWidth; }
  int32_t Height() const override { return fHeight; }
  TPixelFormat PixelFormat() const override { return fFormat; }
  const std::string& Name() const { return fName; }
  // Which loader made it: "qvgf", "bmp", "jpeg", "png", "gif" or "generated".
  virtual std::string_view LoaderName() const = 0;

  // Set once, before the first request; quarter turns exchange the sides.
  void SetTurning(TTurning turning);

 protected:
  TTurning Turning() const override { return fTurning; }

 private:
  std::string fName;
  int32_t fWidth;
  int32_t fHeight;
  TPixelFormat fFormat;
  TTurning fTurning = TTurning::None;
};

// An already decoded bitmap as level 0.
class TWrapperBitmapStore : public TSysBitmapStore {
 public:
  TWrapperBitmapStore(std::string name, TRef<TBitmap> bitmap, std::string_view loader);
  std::string_view ClassName() const override { return "TWrapperBitmapStore"; }
  std::string_view LoaderName() const override { return fLoader; }

 protected:
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  TRef<TBitmap> fBitmap;
  std::string fLoader;
};

// What slide objects hold: a source shared by every copy, with its name and
// size.
class TImage {
 public:
  TImage() = default;
  explicit TImage(TRef<TSysBitmapStore> source);

  TSysBitmapStore* Source() const { return fSource.Get(); }
  const TRef<TSysBitmapStore>& SourceRef() const { return fSource; }
  const std::string& Name() const { return fName; }
  int32_t Width() const { return fWidth; }
  int32_t Height() const { return fHeight; }
  explicit operator bool() const { return static_cast<bool>(fSource); }

 private:
  TRef<TSysBitmapStore> fSource;
  std::string fName;
  int32_t fWidth = 0;
  int32_t fHeight = 0;
};

}  // namespace viv
