// GIF pictures: the first frame, or every frame side by side in one sheet.
#pragma once

#include <string_view>

#include "image/bitmap_store.h"
#include "image/loaders/gif_loader.h"

namespace viv {

class TGifBitmapStore : public TSysBitmapStore {
 public:
  // A sheet is the screen width times the frame count wide.
  TGifBitmapStore(std::string name, TRef<TGifReader> reader, bool sheet);
  std::string_view ClassName() const override { return "TGifBitmapStore"; }
  std::string_view LoaderName() const override { return "gif"; }
  TGifReader& Reader() const { return *fReader; }
  bool IsSheet() const { return fSheet; }

 protected:
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  TRef<TGifReader> fReader;
  bool fSheet;
};

// ".gif": the animated picture (level 0 shows its first frame).
TRef<TSysBitmapStore> LoadGifPicture(TStream& stream, std::string_view name);
// ".gif_first_frame": its first frame.
TRef<TSysBitmapStore> LoadGifFirstFrame(TStream& stream, std::string_view name);
// ".gif|framesatlas": all frames side by side.
TRef<TSysBitmapStore> LoadGifFramesAtlas(TStream& stream, std::string_view name);

}  // namespace viv
