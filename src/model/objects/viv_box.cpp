#include "model/objects/viv_box.h"

#include <algorithm>

namespace viv {
namespace {

uint32_t BoxColour(const TIniObject& block, std::string_view colourKey, std::string_view alphaKey) {
  uint32_t rgb = block.ReadColour(colourKey, 0xFF000000) & 0xFFFFFF;
  int32_t alpha = std::clamp(block.ReadInteger(alphaKey, 255), 0, 255);
  return (static_cast<uint32_t>(alpha) << 24) | rgb;
}

}  // namespace

void TVivBox::ReadKeys(const TIniObject& block) {
  SetSize(ReadSizeKey(block, {0, 0}));
  fFillMode = static_cast<TFillMode>(block.ReadIndex(
      "FillMode", {"Solid", "HGradient", "VGradient", "TLBRGradient", "TRBLGradient"}, 0));
  fColour1 = BoxColour(block, "Color1", "Alpha1");
  fColour2 = BoxColour(block, "Color2", "Alpha2");
  fAntialiased = block.ReadBool("Antialiased", false);
  TVivObject::ReadKeys(block);
  fManaged1 = (fColour1 >> 24) != 0 ? ManagedColour(fColour1) : fColour1;
  fManaged2 = (fColour2 >> 24) != 0 ? ManagedColour(fColour2) : fColour2;
}

bool TVivBox::IsInvisible() const {
  if (IsSplitter() || GetOpacity() <= kInvisibleOpacity) return true;
  if (fFillMode == TFillMode::Solid) return (fColour1 >> 24) == 0;
  return (fColour1 >> 24) == 0 && (fColour2 >> 24) == 0;
}

void TVivBox::DrawSelf(TObjectDrawer& drawer) {
  if (!IsInvisible()) drawer.DrawBox(*this);
}

}  // namespace viv
