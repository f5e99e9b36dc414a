// PNG pictures on libpng: the header at once, the pixels on the first level-0
// request.
#pragma once

#include <string>
#include <string_view>

#include "base/exceptions.h"
#include "base/stream.h"
#include "image/bitmap.h"
#include "image/bitmap_store.h"

namespace viv {

VIV_DECLARE_EXCEPTION(EPngError, TCommonException);

class TPngBitmapStore : public TSysBitmapStore {
 public:
  TPngBitmapStore(std::string name, std::string bytes, int32_t width, int32_t height, bool alpha);
  std::string_view ClassName() const override { return "TPngBitmapStore"; }
  std::string_view LoaderName() const override { return "png"; }

 protected:
  // 24 bits, or 32 when the file has alpha; raises EPngError on corrupt data.
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  std::string fBytes;  // dropped once decoded
};

// The PNG loader: declines what is not a PNG, a file with a chunk longer than
// the bytes after it (image data aside), and headers libpng refuses.
TRef<TSysBitmapStore> LoadPngPicture(TStream& stream, std::string_view name);

// An 8-bit RGB (or RGBA, for pictures with alpha) PNG of a bitmap; grey
// pictures are written as RGB. Raises EPngError.
std::string EncodePng(const TBitmap& bitmap);

}  // namespace viv
