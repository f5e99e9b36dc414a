// Drop-shadow pictures: the blurred alpha of a picture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image/bitmap.h"
#include "image/bitmap_store.h"

namespace viv {

inline constexpr std::string_view kShadowPrefix = "Shadow: ";

// What a shadow picture depends on. PictureScale is how many picture pixels
// one presentation pixel covers where the picture is drawn, so the blur looks
// the same whatever the picture's resolution.
struct TShadowPictureParams {
  float Size = 16;          // ShadowSize
  int32_t SpreadIndex = 0;  // ShadowSpreadIndex: 0 none, 1 to 8 ever firmer shadows
  float PictureScale = 1;
};

// Resampling radius in picture pixels: Size x PictureScale / 4, between 1 and
// 256. Reducing by the radius and enlarging again with the cubic B-spline
// blurs with a standard deviation of about 0.8 radius, so a ShadowSize of 16
// shows a soft edge of about 16 drawn pixels.
double ShadowRadius(const TShadowPictureParams& params);
// ceil(2.5 x radius) on each side.
int32_t ShadowPadding(const TShadowPictureParams& params);
// The spread curve of an index, applied to a value 0..1 of the reduced alpha:
// v x (1 + index / 2), at most 1. Indices outside 1..8 are clamped; 0 and
// below leave values alone.
float ShadowSpread(int32_t index, float value);

// "Shadow: SIZE:SPREAD:SCALE:SOURCE" (numbers as %g); the source name may hold
// ":" itself, so it comes last.
std::string ShadowPictureName(const TShadowPictureParams& params, std::string_view source);
bool ParseShadowPictureName(std::string_view name, TShadowPictureParams& params,
                            std::string& source);

// The 8-bit shadow of a picture's alpha (an 8-bit picture is its own alpha,
// a 24-bit one is opaque), padded on each side; none when the padded picture
// would exceed the picture limits.
TRef<TBitmap> MakeShadowBitmap(const TBitmap& source, const TShadowPictureParams& params);

class TShadowGenerator {
 public:
  // The shadow of level 0 of a source, as a picture source of its own.
  TRef<TSysBitmapStore> Generate(TBitmapStore& source, const TShadowPictureParams& params,
                                 std::string name) const;
};

}  // namespace viv
