#include "model/objects/viv_mask_layer.h"

namespace viv {

void TVivMaskLayer::ReadKeys(const TIniObject& block) {
  TVivObject::ReadKeys(block);
  UpdateSize();
}

void TVivMaskLayer::UpdateSize() {
  if (fParent) SetSize(fParent->Size());
}

}  // namespace viv
