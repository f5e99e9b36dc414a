// The two mask layers of a viewport: the stencil and the content.
#pragma once

#include "model/objects/viv_object.h"

namespace viv {

// The two layers take their viewport's size and are transparent for clicks.
class TVivMaskLayer : public TVivObject {
 public:
  using TVivObject::TVivObject;
  // Their children are drawn into the mask layers by the drawer, not here.
  void Draw(TObjectDrawer&) override {}

 protected:
  void InitDefaults() override { fTranspForClick = true; }
  void UpdateSize() override;
  void ReadKeys(const TIniObject& block) override;
};

class TVivMaskStencil : public TVivMaskLayer {
 public:
  using TVivMaskLayer::TVivMaskLayer;
};

class TVivMaskContent : public TVivMaskLayer {
 public:
  using TVivMaskLayer::TVivMaskLayer;
  // Without children the viewport shows the current transition picture.
  bool UsesTransitionPicture() const { return ChildCount() == 0; }
};

}  // namespace viv
