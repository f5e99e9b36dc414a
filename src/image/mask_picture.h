// Mask pictures: "Mask: " (a picture whose alpha comes from its colour) and
// "PresetedMask:" (generated shapes).
#pragma once

#include <string_view>

#include "image/bitmap_store.h"

namespace viv {

inline constexpr std::string_view kMaskPrefix = "Mask: ";
inline constexpr std::string_view kPresetMaskPrefix = "PresetedMask:";

// A picture with alpha as it is; an opaque picture (grey, 24 bits) with the
// luma of its colour as alpha. Every level follows the source's level.
class TMaskBitmapStore : public TSysBitmapStore {
 public:
  explicit TMaskBitmapStore(TRef<TSysBitmapStore> source);
  std::string_view ClassName() const override { return "TMaskBitmapStore"; }
  std::string_view LoaderName() const override { return fSource->LoaderName(); }

 protected:
  TRef<TBitmap> DecodeLevel(int level) override;

 private:
  TRef<TSysBitmapStore> fSource;
};

// "PresetedMask:W:H:SHAPE:SIZE:SOFT" (the prefix may be left out), an 8-bit
// mask, 255 inside and 0 outside:
//   SHAPE 0 ellipse, 1 rectangle, 2 diamond, centred, with SIZE the percent of
//   the half width and half height it reaches (100 touches the edges) and
//   SOFT the percent of that reach over which it fades out;
//   SHAPE 3 opaque left of a vertical edge at SIZE percent of the width,
//   SHAPE 4 opaque above a horizontal edge at SIZE percent of the height,
//   fading over SOFT percent of the width or height centred on the edge.
// None for other texts or sizes outside the picture limits.
TRef<TSysBitmapStore> MakePresetMask(std::string_view name);

}  // namespace viv
