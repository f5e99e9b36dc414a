// The limits on the pictures any loader or generator makes: their size, and
// the bytes of decoded pixels alive at once.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/exceptions.h"

namespace viv {

// The largest picture any loader or generator makes: 16384 x 16384 pixels
// (1 GiB at 32 bits), and no side above 65535. Larger ones are declined with a
// log line, so a header cannot make us allocate what its file does not back.
inline constexpr int64_t kMaxPicturePixels = int64_t{16384} * 16384;
inline constexpr int32_t kMaxPictureSide = 65535;
// Fuzzers lower the limit so that each input stays quick; never raised above
// kMaxPicturePixels.
void SetPicturePixelLimit(int64_t pixels);
int64_t PicturePixelLimit();
// True when width x height is allowed; otherwise logs why the picture named is
// declined.
bool PictureSizeAllowed(int64_t width, int64_t height, std::string_view name);

// Every bitmap counts its pixel bytes against one process-wide budget from
// its making to its end. A bitmap that would pass the budget is declined with
// a log line and EPictureBudget, so that however small a show's files are,
// its pictures cannot make the player hold more decoded pixels than this.
// The default holds four pictures of the largest size.
VIV_DECLARE_EXCEPTION(EPictureBudget, TCommonException);
inline constexpr int64_t kDefaultPictureBudget = int64_t{4} * kMaxPicturePixels * 4;
// Tests and fuzzers lower it; at least 1.
void SetPictureBudget(int64_t bytes);
int64_t PictureBudget();
int64_t PictureBytesInUse();
// What the budget has left now (decoders size their working memory by it).
int64_t PictureBudgetLeft();
// Counts the bytes of a bitmap being made; raises EPictureBudget, after the
// log line, when they would pass the budget.
void ReservePictureBytes(int64_t bytes);
void ReleasePictureBytes(int64_t bytes);

}  // namespace viv
