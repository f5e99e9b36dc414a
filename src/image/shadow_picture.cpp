#include "image/shadow_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace viv {
namespace {

constexpr double kRadiusPerSize = 0.25;
constexpr double kMinRadius = 1;
constexpr double kMaxRadius = 256;
constexpr double kPaddingPerRadius = 2.5;
constexpr int32_t kMaxSpreadIndex = 8;
constexpr float kSpreadGainPerIndex = 0.5f;

// The cubic B-spline, support (-2, 2).
double BSpline(double t) {
  t = std::fabs(t);
  if (t < 1) return (4 - 6 * t * t + 3 * t * t * t) / 6;
  if (t < 2) return (2 - t) * (2 - t) * (2 - t) / 6;
  return 0;
}

// The taps of one output sample: the first input index and its weights.
struct TTaps {
  int32_t First = 0;
  std::vector<float> Weights;
};

// Resampling from `in` samples to `out` samples at `scale` output samples per
// input sample; the kernel widens by 1 / scale when reducing.
std::vector<TTaps> MakeTaps(int32_t in, int32_t out, double scale) {
  double width = scale < 1 ? 1 / scale : 1;
  std::vector<TTaps> taps(out);
  for (int32_t o = 0; o < out; ++o) {
    double centre = (o + 0.5) / scale - 0.5;
    auto first = static_cast<int32_t>(std::ceil(centre - 2 * width));
    auto last = static_cast<int32_t>(std::floor(centre + 2 * width));
    first = std::max(first, 0);
    last = std::min(last, in - 1);
    TTaps& t = taps[o];
    t.First = first;
    double sum = 0;
    for (int32_t i = first; i <= last; ++i) {
      double w = BSpline((i - centre) / width);
      t.Weights.push_back(static_cast<float>(w));
      sum += w;
    }
    if (sum > 0)
      for (float& w : t.Weights) w = static_cast<float>(w / sum);
  }
  return taps;
}

struct TPlane {
  int32_t Width = 0, Height = 0;
  std::vector<float> Values;
  float& At(int32_t x, int32_t y) { return Values[static_cast<size_t>(y) * Width + x]; }
};

TPlane Resample(TPlane& in, int32_t width, int32_t height, double scaleX, double scaleY) {
  std::vector<TTaps> tx = MakeTaps(in.Width, width, scaleX);
  std::vector<TTaps> ty = MakeTaps(in.Height, height, scaleY);
  TPlane rows{width, in.Height, std::vector<float>(static_cast<size_t>(width) * in.Height)};
  for (int32_t y = 0; y < in.Height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      float v = 0;
      for (size_t i = 0; i < tx[x].Weights.size(); ++i)
        v += tx[x].Weights[i] * in.At(tx[x].First + static_cast<int32_t>(i), y);
      rows.At(x, y) = v;
    }
  TPlane out{width, height, std::vector<float>(static_cast<size_t>(width) * height)};
  for (int32_t y = 0; y < height; ++y)
    for (size_t i = 0; i < ty[y].Weights.size(); ++i) {
      float w = ty[y].Weights[i];
      int32_t sy = ty[y].First + static_cast<int32_t>(i);
      for (int32_t x = 0; x < width; ++x) out.At(x, y) += w * rows.At(x, sy);
    }
  return out;
}

uint8_t AlphaOf(const TBitmap& source, int32_t x, int32_t y) {
  switch (source.Format()) {
    case TPixelFormat::Gray8: return source.Row(y)[x];
    case TPixelFormat::Argb32: return source.Row(y)[static_cast<size_t>(x) * 4 + 3];
    case TPixelFormat::Rgb24: return 0xFF;
  }
  return 0xFF;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

double ShadowRadius(const TShadowPictureParams& params) {
  double radius = params.Size * params.PictureScale * kRadiusPerSize;
  if (!(radius >= kMinRadius)) return kMinRadius;  // also for NaN
  return std::min(radius, kMaxRadius);
}

int32_t ShadowPadding(const TShadowPictureParams& params) {
  return static_cast<int32_t>(std::ceil(kPaddingPerRadius * ShadowRadius(params)));
}

float ShadowSpread(int32_t index, float value) {
  if (index <= 0) return value;
  index = std::min(index, kMaxSpreadIndex);
  return std::min(1.0f, value * (1 + index * kSpreadGainPerIndex));
}

std::string ShadowPictureName(const TShadowPictureParams& params, std::string_view source) {
  return std::string(kShadowPrefix) + Number(params.Size) + ":" +
         std::to_string(params.SpreadIndex) + ":" + Number(params.PictureScale) + ":" +
         std::string(source);
}

bool ParseShadowPictureName(std::string_view name, TShadowPictureParams& params,
                            std::string& source) {
  if (!name.starts_with(kShadowPrefix)) return false;
  name.remove_prefix(kShadowPrefix.size());
  std::string_view fields[3];
  for (std::string_view& field : fields) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) return false;
    field = name.substr(0, colon);
    name.remove_prefix(colon + 1);
  }
  TShadowPictureParams parsed;
  auto number = [](std::string_view text, auto& value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
  };
  if (!number(fields[0], parsed.Size) || !number(fields[1], parsed.SpreadIndex) ||
      !number(fields[2], parsed.PictureScale) || name.empty())
    return false;
  params = parsed;
  source = std::string(name);
  return true;
}

TRef<TBitmap> MakeShadowBitmap(const TBitmap& source, const TShadowPictureParams& params) {
  double radius = ShadowRadius(params);
  int32_t pad = ShadowPadding(params);
  int64_t width = int64_t{source.Width()} + 2 * pad, height = int64_t{source.Height()} + 2 * pad;
  if (!PictureSizeAllowed(width, height, "shadow")) return nullptr;
  auto w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);

  TPlane alpha{w, h, std::vector<float>(static_cast<size_t>(w) * h)};
  for (int32_t y = 0; y < source.Height(); ++y)
    for (int32_t x = 0; x < source.Width(); ++x)
      alpha.At(x + pad, y + pad) = AlphaOf(source, x, y) / 255.0f;

  auto sw = static_cast<int32_t>(std::ceil(w / radius));
  auto sh = static_cast<int32_t>(std::ceil(h / radius));
  TPlane small = Resample(alpha, sw, sh, sw / double(w), sh / double(h));
  for (float& v : small.Values) v = ShadowSpread(params.SpreadIndex, v);
  TPlane blurred = Resample(small, w, h, w / double(sw), h / double(sh));

  auto out = MakeRef<TBitmap>(w, h, TPixelFormat::Gray8);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      out->Row(y)[x] =
          static_cast<uint8_t>(std::lround(std::clamp(blurred.At(x, y), 0.0f, 1.0f) * 255));
  return out;
}

TRef<TSysBitmapStore> TShadowGenerator::Generate(TBitmapStore& source,
                                                 const TShadowPictureParams& params,
                                                 std::string name) const {
  TRef<TBitmap> shadow = MakeShadowBitmap(*source.GetMipLevel(0), params);
  if (!shadow) return nullptr;
  return MakeRef<TWrapperBitmapStore>(std::move(name), shadow, "generated");
}

}  // namespace viv
