#include "model/viv_box.h"

#include <algorithm>

#include "project/value_syntax.h"

namespace viv {
namespace {

TSizeF ReadSizeKey(const TIniObject& block, TSizeF fallback) {
  if (!block.FindItem("Size")) return fallback;
  TCommaList size = block.ReadList("Size");
  return {static_cast<float>(size.ReadInteger(0, 0)), static_cast<float>(size.ReadInteger(1, 0))};
}

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

void TVivViewPort::ReadKeys(const TIniObject& block) {
  SetSize(ReadSizeKey(block, fSize));
  TVivObject::ReadKeys(block);
}

template <class T>
static T* LastChildOf(const TVivObject& parent) {
  for (size_t i = parent.ChildCount(); i-- > 0;)
    if (auto* child = dynamic_cast<T*>(&parent.Child(i))) return child;
  return nullptr;
}

TVivMaskStencil* TVivViewPort::Stencil() const { return LastChildOf<TVivMaskStencil>(*this); }
TVivMaskContent* TVivViewPort::Content() const { return LastChildOf<TVivMaskContent>(*this); }

void TVivViewPort::Draw(TObjectDrawer& drawer) {
  if (IsShown() && Stencil() && Content()) drawer.DrawViewPort(*this);
  CommitState(true);
}

void TVivMaskLayer::ReadKeys(const TIniObject& block) {
  TVivObject::ReadKeys(block);
  UpdateSize();
}

void TVivMaskLayer::UpdateSize() {
  if (fParent) SetSize(fParent->Size());
}

}  // namespace viv
