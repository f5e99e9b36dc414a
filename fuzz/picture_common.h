// Shared by the picture fuzz targets: one decoding of the bytes under a name,
// with every level asked for, so that the loaders and the mip chain both run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/stream.h"
#include "image/image_library.h"
#include "image/picture_registry.h"

namespace viv::fuzz {

// Small enough that every input decodes in milliseconds.
inline constexpr int64_t kFuzzPixelLimit = int64_t{1} << 20;

inline void DecodeAllLevels(const uint8_t* data, size_t size, const char* name) {
  static bool installed = [] {
    InstallImageLibrary();
    SetPicturePixelLimit(kFuzzPixelLimit);
    return true;
  }();
  (void)installed;
  auto stream = MakeRef<TMemoryStream>(std::string(reinterpret_cast<const char*>(data), size));
  TImage image = OpenImage(*stream, name);
  if (!image) return;
  TSysBitmapStore& source = *image.Source();
  if (int64_t{source.Width()} * source.Height() > kFuzzPixelLimit) {
    std::fprintf(stderr, "%s: %dx%d passed the limit\n", name, source.Width(), source.Height());
    std::abort();
  }
  for (int level = 0; level <= 3; ++level) {
    try {
      TRef<TBitmap> bitmap = source.GetMipLevel(level);
      if (bitmap->Width() != MipLevelSide(source.Width(), level)) std::abort();
    } catch (const TCommonException&) {
      return;  // a decoder's refusal is an answer
    }
  }
}

}  // namespace viv::fuzz
