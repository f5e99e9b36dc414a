// Shared by the picture fuzz targets: one decoding of the bytes under a name,
// with every level asked for, so that the loaders and the mip chain both run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/stream.h"
#include "image/image_library.h"
#include "image/picture_limits.h"
#include "image/picture_registry.h"

namespace viv::fuzz {

// Small enough that every input decodes in milliseconds.
inline constexpr int64_t kFuzzPixelLimit = int64_t{1} << 20;
// Targets that keep the player's pixel limit rely on the picture budget
// instead; 1 GiB holds the largest picture and stays well inside the
// fuzzer's memory limit (-rss_limit_mb=2048).
inline constexpr int64_t kFuzzPictureBudget = int64_t{1} << 30;

// The limits a target decodes under, set on its first input.
struct TFuzzLimits {
  int64_t Pixels = kFuzzPixelLimit;
  int64_t Budget = kFuzzPictureBudget;
};
inline constexpr TFuzzLimits kPlayerPixelLimits{kMaxPicturePixels, kFuzzPictureBudget};

inline void DecodeAllLevels(const uint8_t* data, size_t size, const char* name,
                            TFuzzLimits limits = {}) {
  static bool installed = [&] {
    InstallImageLibrary();
    SetPicturePixelLimit(limits.Pixels);
    SetPictureBudget(limits.Budget);
    return true;
  }();
  (void)installed;
  int64_t before = PictureBytesInUse();
  {
    auto stream = MakeRef<TMemoryStream>(std::string(reinterpret_cast<const char*>(data), size));
    TImage image = OpenImage(*stream, name);
    if (!image) return;
    TSysBitmapStore& source = *image.Source();
    if (int64_t{source.Width()} * source.Height() > PicturePixelLimit()) {
      std::fprintf(stderr, "%s: %dx%d passed the limit\n", name, source.Width(), source.Height());
      std::abort();
    }
    for (int level = 0; level <= 3; ++level) {
      try {
        TRef<TBitmap> bitmap = source.GetMipLevel(level);
        if (bitmap->Width() != MipLevelSide(source.Width(), level)) std::abort();
      } catch (const TCommonException&) {
        break;  // a decoder's refusal is an answer
      }
    }
  }
  // Every pixel the decoding made went back to the budget with the picture.
  if (PictureBytesInUse() != before) {
    std::fprintf(stderr, "%s: %lld bytes of pixels still counted\n", name,
                 static_cast<long long>(PictureBytesInUse() - before));
    std::abort();
  }
}

}  // namespace viv::fuzz
