#include "image/mask_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace viv {
namespace {

enum TMaskShape {
  kEllipse = 0,
  kRectangle = 1,
  kDiamond = 2,
  kVerticalEdge = 3,
  kHorizontalEdge = 4
};

uint8_t Luma(const uint8_t* bgr) {
  return static_cast<uint8_t>((bgr[2] * 77 + bgr[1] * 150 + bgr[0] * 29 + 128) >> 8);
}

// 1 at or below inner, 0 at or beyond outer, linear between.
double Fade(double d, double inner, double outer) {
  if (d <= inner) return 1;
  if (d >= outer) return 0;
  return (outer - d) / (outer - inner);
}

}  // namespace

TMaskBitmapStore::TMaskBitmapStore(TRef<TSysBitmapStore> source)
    : TSysBitmapStore(source->Name(), source->Width(), source->Height(), TPixelFormat::Argb32),
      fSource(std::move(source)) {}

TRef<TBitmap> TMaskBitmapStore::DecodeLevel(int level) {
  TRef<TBitmap> mask =
      ConvertBitmap(*fSource->GetMipLevel(level, TPixelFormat::Argb32), TPixelFormat::Argb32);
  if (HasAlpha(fSource->PixelFormat())) return mask;
  for (int32_t y = 0; y < mask->Height(); ++y) {
    uint8_t* p = mask->Row(y);
    for (int32_t x = 0; x < mask->Width(); ++x, p += 4) p[3] = Luma(p);
  }
  return mask;
}

TRef<TSysBitmapStore> MakePresetMask(std::string_view name) {
  std::string_view fields = name;
  if (fields.starts_with(kPresetMaskPrefix)) fields.remove_prefix(kPresetMaskPrefix.size());
  std::vector<double> values;
  while (!fields.empty() || values.empty()) {
    size_t colon = fields.find(':');
    std::string_view field = fields.substr(0, colon);
    double value = 0;
    auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || ptr != field.data() + field.size() || !std::isfinite(value) ||
        std::fabs(value) > kMaxPictureSide)
      return nullptr;
    values.push_back(value);
    fields = colon == std::string_view::npos ? std::string_view() : fields.substr(colon + 1);
  }
  if (values.size() != 5) return nullptr;
  double width = values[0], height = values[1], size = values[3] / 100, soft = values[4] / 100;
  auto shape = static_cast<int>(values[2]);
  if (width != std::floor(width) || height != std::floor(height) || shape < kEllipse ||
      shape > kHorizontalEdge ||
      !PictureSizeAllowed(static_cast<int64_t>(width), static_cast<int64_t>(height), name))
    return nullptr;
  auto w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  soft = std::clamp(soft, 0.0, 1.0);

  auto mask = MakeRef<TBitmap>(w, h, TPixelFormat::Gray8);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = mask->Row(y);
    // Pixel centres in -1..1 across the picture.
    double dy = (y + 0.5) / h * 2 - 1;
    for (int32_t x = 0; x < w; ++x) {
      double dx = (x + 0.5) / w * 2 - 1;
      double v = 0;
      switch (shape) {
        case kEllipse: v = Fade(std::hypot(dx, dy), size * (1 - soft), size); break;
        case kRectangle:
          v = Fade(std::max(std::fabs(dx), std::fabs(dy)), size * (1 - soft), size);
          break;
        case kDiamond: v = Fade(std::fabs(dx) + std::fabs(dy), size * (1 - soft), size); break;
        case kVerticalEdge: {
          double t = (x + 0.5) / w;
          v = Fade(t, size - soft / 2, size + soft / 2);
          break;
        }
        case kHorizontalEdge: {
          double t = (y + 0.5) / h;
          v = Fade(t, size - soft / 2, size + soft / 2);
          break;
        }
      }
      row[x] = static_cast<uint8_t>(std::lround(v * 255));
    }
  }
  return MakeRef<TWrapperBitmapStore>(std::string(name), mask, "generated");
}

}  // namespace viv
