#include "model/placement.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/exceptions.h"
#include "model/objects/viv_object.h"

namespace viv {
namespace {

constexpr float kMinAspect = 0.001f;
constexpr float kMinWorkingZoom = 0.001f;
constexpr float kFullZoom = 100;
constexpr float kDefaultUnit = 0.01f;

}  // namespace

float FitFactor(TFitMode mode, TSizeF size, TSizeF parent) {
  VIV_ASSERT(mode != TFitMode::None, "FitMode None is not supported");
  if (size.Width == 0 || size.Height == 0) return 0;
  float kx = parent.Width / size.Width, ky = parent.Height / size.Height;
  return mode == TFitMode::Cover ? std::max(kx, ky) : std::min(kx, ky);
}

TPointF AspectUnits(bool useAspect, float aspect, float pictureWidth, float pictureHeight) {
  TPointF units{kDefaultUnit, kDefaultUnit};
  if (!useAspect || aspect <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return units;
  if (aspect < pictureWidth / pictureHeight)
    units.X = kDefaultUnit * pictureWidth / (aspect * pictureHeight);
  else
    units.Y = kDefaultUnit * pictureHeight * aspect / pictureWidth;
  return units;
}

TSourceLayout VisibleSource(const TBorderParams& settings, float w, float h, float zoom,
                            TPointF offset) {
  TSourceLayout layout;
  TRectF whole{0, 0, w, h};
  float aspect = settings.UseAspect ? settings.Aspect : 0;
  float workingZoom = zoom != 0 ? 10000 / zoom : 0;
  TRectF rect = whole;
  if (settings.UseAspect || workingZoom != kFullZoom || offset.X != 0 || offset.Y != 0) {
    float ratio = h > 0 ? w / h : 0;
    if (aspect <= kMinAspect) aspect = ratio;
    TRectF base = whole;
    if (aspect > ratio) {
      float height = aspect > 0 ? w / aspect : h;
      base = {0, (h - height) / 2, w, (h + height) / 2};
    } else {
      float width = aspect * h;
      base = {(w - width) / 2, 0, (w + width) / 2, h};
    }
    if (!(workingZoom > kMinWorkingZoom && workingZoom <= kFullZoom)) workingZoom = kFullZoom;
    float vw = base.Width() * workingZoom / 100, vh = base.Height() * workingZoom / 100;
    float cx = (base.Left + base.Right) / 2, cy = (base.Top + base.Bottom) / 2;
    float ox = std::clamp(offset.X, -100.0f, 100.0f), oy = std::clamp(offset.Y, -100.0f, 100.0f);
    cx += (w - vw) / 2 * ox / 100;
    cy += (h - vh) / 2 * oy / 100;
    rect = {cx - vw / 2, cy - vh / 2, cx + vw / 2, cy + vh / 2};
  }
  float border = settings.Border ? rect.Height() * settings.BorderWidth / 100 : 0;
  if (settings.Crop) {
    float vw = rect.Width(), vh = rect.Height();
    rect.Left += settings.CropRect.Left / 100 * vw;
    rect.Top += settings.CropRect.Top / 100 * vh;
    rect.Right -= settings.CropRect.Right / 100 * vw;
    rect.Bottom -= settings.CropRect.Bottom / 100 * vh;
  }
  rect = {std::max(rect.Left, 0.0f), std::max(rect.Top, 0.0f), std::min(rect.Right, w),
          std::min(rect.Bottom, h)};
  if (rect.IsEmpty()) rect = whole;
  layout.Source = rect;
  layout.Border = border;
  layout.Size = {rect.Width() + 2 * border, rect.Height() + 2 * border};
  return layout;
}

int TextureReductionLevel(float visibleWidth, float visibleHeight, float drawnWidth,
                          float drawnHeight) {
  double w = visibleWidth, h = visibleHeight;
  double dw = std::max(1.0, std::round(static_cast<double>(drawnWidth)));
  double dh = std::max(1.0, std::round(static_cast<double>(drawnHeight)));
  int level = -1;
  while (w > dw && h > dh) {
    w = std::ceil(w / 2);
    h = std::ceil(h / 2);
    ++level;
  }
  return std::max(0, level);
}

TPointF ShadowDisplacement(const TVec3& axisX, const TVec3& axisY, float distance, double angle,
                           float baseSize, bool threeD) {
  double d =
      std::sqrt(static_cast<double>(axisX.Length()) * axisY.Length()) * distance * baseSize / 100;
  double theta = angle * std::numbers::pi / 180;
  double dx = d * std::cos(theta), dy = d * std::sin(theta);
  if (!threeD) return {static_cast<float>(dx), static_cast<float>(dy)};
  // Along the object's own axes, in its plane.
  auto unit = [](const TVec3& v) {
    float length = v.Length();
    return length > 0 ? v * (1 / length) : TVec3{};
  };
  TVec3 along = unit(axisX) * static_cast<float>(dx) + unit(axisY) * static_cast<float>(dy);
  return {along.X, along.Y};
}

}  // namespace viv
