// Viewports: a stencil layer cuts out what their content layer shows.
#pragma once

#include "model/objects/viv_object.h"

namespace viv {

class TVivMaskStencil;
class TVivMaskContent;

class TVivViewPort : public TVivObject {
 public:
  using TVivObject::TVivObject;

  void ReadKeys(const TIniObject& block) override;
  void Draw(TObjectDrawer& drawer) override;
  // The last child of each mask class; the viewport draws nothing without both.
  TVivMaskStencil* Stencil() const;
  TVivMaskContent* Content() const;

 protected:
  void InitDefaults() override { fSize = {1, 1}; }
};

}  // namespace viv
