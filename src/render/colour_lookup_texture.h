// The colour lookup of an object as a texture: a 32 x 32 x 32 volume for 3D
// lookups or a 256-entry curve for 1D ones, made from a lookup table and the
// filter chain that transforms it, and made again from them after a lost device.
#pragma once

#include <vector>

#include "model/object_filter.h"
#include "render/device_resource.h"

namespace viv {

class TColorLookupTexture : public TDeviceResource {
 public:
  enum class TKind : uint8_t { Grid, Curve };

  // base: the table to start from, in the layout of its kind (the identity
  // when empty); chain: the filters applied to it, in order.
  TColorLookupTexture(TKind kind, std::vector<uint32_t> base, TFilterChain chain);

  TKind Kind() const { return fKind; }
  // The volume (grid) or the 256 x 1 texture (curve); none when the
  // renderer cannot make it.
  TBaseTexture* GetTexture(T3DRenderer& renderer);
  // The table as the texture holds it.
  std::vector<uint32_t> Table() const;
  void DropBackend() override { fBackend.Reset(); }

 private:
  TKind fKind;
  std::vector<uint32_t> fBase;
  TFilterChain fChain;
  TRef<TBaseTexture> fBackend;
};

}  // namespace viv
