// How an object's size, shown part of its picture, border, texture level and
// shadow offset follow from its settings.
#pragma once

#include <cstdint>

#include "model/geometry.h"

namespace viv {

enum class TFitMode : uint8_t;

// An image's border, crop and aspect settings; the working copy takes the
// current zoom and offset.
struct TBorderParams {
  bool Border = false;
  bool Crop = false;
  bool UseAspect = false;
  float BorderWidth = 1.5f;            // percent of the visible picture height
  uint32_t BorderColour = 0xFFFFFFFF;  // 0xAARRGGBB
  uint32_t ManagedBorderColour = 0xFFFFFFFF;
  TRectF CropRect;   // percent of the visible width or height
  float Aspect = 0;  // width / height; 0: the picture's own
  float Zoom = 100;  // percent of the picture that is visible
  TPointF Offset;    // -100 .. 100
};

// PlaceInto: the whole object inside the parent; Cover: the parent covered.
float FitFactor(TFitMode mode, TSizeF size, TSizeF parent);

// The node's OffsX/OffsY units for a forced aspect (0.01 each otherwise).
TPointF AspectUnits(bool useAspect, float aspect, float pictureWidth, float pictureHeight);

struct TSourceLayout {
  TRectF Source;     // the shown part of the picture, in picture pixels
  float Border = 0;  // border thickness in picture pixels
  TSizeF Size;       // the object's size: source plus the border on each side
};

// The shown part of a W x H picture for the settings and the current Zoom
// (percent) and offset.
TSourceLayout VisibleSource(const TBorderParams& settings, float pictureWidth, float pictureHeight,
                            float zoom, TPointF offset);

// How many times a visible w x h picture may be halved and still be at least
// as large as its largest drawn size (dw x dh pixels).
int TextureReductionLevel(float visibleWidth, float visibleHeight, float drawnWidth,
                          float drawnHeight);

// The shadow's screen offset (y down): d = sqrt(|axisX| |axisY|) x distance x
// base / 100 at the angle, or along the object's own axes for 3D shadows.
TPointF ShadowDisplacement(const TVec3& axisX, const TVec3& axisY, float distance, double angle,
                           float baseSize, bool threeD);

}  // namespace viv
