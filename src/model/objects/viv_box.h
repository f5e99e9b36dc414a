// Rectangles: solid or gradient boxes, and splitters.
#pragma once

#include "model/objects/viv_object.h"

namespace viv {

enum class TFillMode : uint8_t { Solid = 0, HGradient, VGradient, TLBRGradient, TRBLGradient };

class TVivBox : public TVivObject {
 public:
  static constexpr float kInvisibleOpacity = 0.00196f;  // percent

  using TVivObject::TVivObject;

  void ReadKeys(const TIniObject& block) override;
  void DrawSelf(TObjectDrawer& drawer) override;
  bool IsSplitter() const { return Kind() == TObjectKind::Splitter; }
  // Draws nothing (and no shadow) when nearly transparent or without alpha.
  bool IsInvisible() const;
  TFillMode FillMode() const { return fFillMode; }
  uint32_t Colour1() const { return fColour1; }  // 0xAARRGGBB with the Alpha keys
  uint32_t Colour2() const { return fColour2; }
  // As the display shows them (colours without alpha are not converted).
  uint32_t ManagedColour1() const { return fManaged1; }
  uint32_t ManagedColour2() const { return fManaged2; }
  bool Antialiased() const { return fAntialiased; }

 private:
  TFillMode fFillMode = TFillMode::Solid;
  uint32_t fColour1 = 0xFF000000, fColour2 = 0xFF000000;
  uint32_t fManaged1 = 0xFF000000, fManaged2 = 0xFF000000;
  bool fAntialiased = false;
};

}  // namespace viv
