#include "model/objects/viv_viewport.h"

#include "model/objects/viv_mask_layer.h"

namespace viv {

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

}  // namespace viv
