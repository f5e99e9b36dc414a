#include "image/bitmap_store.h"

#include <string>

#include "base/exceptions.h"
#include "image/colour/colour_profile.h"

namespace viv {
namespace {

constexpr const char* kIncorrectLevel = "Incorrect MipLevelIndex";

}  // namespace

int32_t MipLevelSide(int32_t side, int level) {
  for (int i = 0; i < level && side > 1; ++i) side = (side + 1) / 2;
  return side;
}

int MipLevelForSize(int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight) {
  int level = 0;
  while (width > targetWidth && height > targetHeight && level < kMaxMipLevel) {
    width = (width + 1) / 2;
    height = (height + 1) / 2;
    ++level;
  }
  return level;
}

TRef<TBitmap> TBitmapStore::GetMipLevel(int level, std::optional<TPixelFormat> format) {
  std::lock_guard guard(fLock);
  TRef<TBitmap> first = LevelBitmap(level);
  return format ? GetLevelInFormat(level, *format) : first;
}

TRef<TBitmap> TBitmapStore::LevelBitmap(int level) {
  if (level < 0 || level > kMaxMipLevel) VIV_FAIL(kIncorrectLevel);
  if (fLevels.size() <= static_cast<size_t>(level)) fLevels.resize(level + 1);
  if (!fLevels[level].Bitmaps.empty()) return fLevels[level].Bitmaps.front();

  TPixelFormat working = HasAlpha(PixelFormat()) ? TPixelFormat::Argb32 : TPixelFormat::Rgb24;
  TTurning turning = Turning();
  TRef<TBitmap> bitmap = DecodeLevel(level);
  if (bitmap) {
    // A source that decodes a level must deliver exactly its size.
    bool swapped = SwapsSides(turning);
    if (bitmap->Width() != MipLevelSide(swapped ? Height() : Width(), level) ||
        bitmap->Height() != MipLevelSide(swapped ? Width() : Height(), level))
      VIV_FAIL(kIncorrectLevel);
    if (turning != TTurning::None) bitmap = ApplyTurning(EnsureFormat(bitmap, working), turning);
  } else if (level > 0) {
    LevelBitmap(level - 1);
    bitmap = ReduceHalf(*GetLevelInFormat(level - 1, working));
  }
  if (!bitmap)
    VIV_FAIL("\"" + std::string(ClassName()) + ".GetMipLevel(" + std::to_string(level) +
             ")\" Not Assigned");
  fLevels[level].Bitmaps.push_back(bitmap);
  return bitmap;
}

TRef<TBitmap> TBitmapStore::GetLevelInFormat(int level, TPixelFormat format) {
  TLevelCache& cache = fLevels[level];
  for (const TRef<TBitmap>& bitmap : cache.Bitmaps)
    if (bitmap->Format() == format) return bitmap;
  TRef<TBitmap> converted = ConvertBitmap(*cache.Bitmaps.front(), format);
  cache.Bitmaps.push_back(converted);
  return converted;
}

TRef<TRefObject> TBitmapStore::Attachment(std::string_view key) const {
  std::lock_guard guard(fAttachLock);
  for (const auto& [name, object] : fAttachments)
    if (name == key) return object;
  return nullptr;
}

void TBitmapStore::Attach(std::string key, TRef<TRefObject> object) {
  std::lock_guard guard(fAttachLock);
  for (auto& [name, existing] : fAttachments) {
    if (name == key) {
      existing = std::move(object);
      return;
    }
  }
  fAttachments.emplace_back(std::move(key), std::move(object));
}

TSysBitmapStore::TSysBitmapStore(std::string name, int32_t width, int32_t height,
                                 TPixelFormat format)
    : fName(std::move(name)), fWidth(width), fHeight(height), fFormat(format) {}

void TSysBitmapStore::SetTurning(TTurning turning) {
  if (SwapsSides(turning) != SwapsSides(fTurning)) std::swap(fWidth, fHeight);
  fTurning = turning;
}

TWrapperBitmapStore::TWrapperBitmapStore(std::string name, TRef<TBitmap> bitmap,
                                         std::string_view loader)
    : TSysBitmapStore(std::move(name), bitmap->Width(), bitmap->Height(), bitmap->Format()),
      fBitmap(std::move(bitmap)),
      fLoader(loader) {}

TRef<TBitmap> TWrapperBitmapStore::DecodeLevel(int level) { return level == 0 ? fBitmap : nullptr; }

TImage::TImage(TRef<TSysBitmapStore> source) : fSource(std::move(source)) {
  if (fSource) {
    fName = fSource->Name();
    fWidth = fSource->Width();
    fHeight = fSource->Height();
  }
}

}  // namespace viv
