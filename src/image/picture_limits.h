// The limits on the pictures any loader or generator makes.
#pragma once

#include <cstdint>
#include <string_view>

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

}  // namespace viv
