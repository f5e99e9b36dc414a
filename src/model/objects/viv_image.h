// Picture objects: images and their sprite-sheet animations.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/objects/viv_object.h"
#include "model/placement.h"
#include "model/slide_host.h"

namespace viv {

enum class TFiltering : uint8_t { Nearest = 0, Bilinear = 1, Default = 2 };

struct TImageAnimationParams {
  bool Enabled = false;
  int32_t Columns = 1;
  int32_t Rows = 1;
  int32_t Count = 0;
  std::vector<int32_t> Intervals;  // ms per frame
  int32_t RepeatCount = 0;         // 0: for ever
  double Offset = 0;               // ms from the slide start
};

// The sprite-sheet frame shown at slide-relative time t.
int32_t AnimationFrame(const TImageAnimationParams& animation, double time);

class TVivImage : public TVivObject {
 public:
  static constexpr int32_t kNoImageIndex = -2147483647;

  using TVivObject::TVivObject;

  void ReadKeys(const TIniObject& block) override;
  void DrawSelf(TObjectDrawer& drawer) override;
  bool IsChanged() const override;
  void CommitState(bool recursive) override;
  TSizeF GetSourceSize() const override;

  // Loads the picture when none is loaded.
  virtual void LoadImage();
  // The name the picture is asked for (generated names for masks, buffers, sheets).
  virtual std::string PictureRequestName() const;
  const THostPicture& Picture() const { return fPicture; }
  const std::string& ImageName() const { return fImageName; }
  bool HasImageIndex() const { return fImageIndex != kNoImageIndex; }
  int32_t ImageIndex() const { return fImageIndex; }
  virtual float GetDrawOpacity() const { return GetOpacity(); }

  const TRectF& SourceRect() const { return fSourceRect; }
  float BorderThickness() const { return fBorderThickness; }
  const TBorderParams& BorderParams() const { return fBorder; }
  const TImageAnimationParams& Animation() const { return fAnimation; }
  int32_t CurrentFrame() const;
  TFiltering Filtering() const { return fFiltering; }
  bool Antialiased() const { return fAntialiased; }
  float MipLodBias() const { return fMipLodBias; }
  int32_t ReplaceWithEffectBuffer() const { return fReplaceWithEffectBuffer; }
  // The level to make the texture at, from the drawn-size estimate; never
  // lowered once a level above 0 was used.
  int ReductionLevel(float displayScale);

 protected:
  void InitDefaults() override;
  void UpdateSize() override;
  // Drops the loaded picture when the name it is asked for changes.
  void RequestPicture();

  std::string fImageName;
  bool fAntialiased = true;
  TFiltering fFiltering = TFiltering::Default;
  float fMipLodBias = -0.5f;
  int32_t fReplaceWithEffectBuffer = 0;
  bool fRestoreAlpha = false;
  int32_t fImageIndex = kNoImageIndex;
  TBorderParams fBorder;
  TImageAnimationParams fAnimation;
  THostPicture fPicture;
  THostPicture fPreviousPicture;  // kept until the new one is loaded, for texture reuse
  std::string fRequestedName;
  bool fPictureRequested = false;
  TRectF fSourceRect;
  float fBorderThickness = 0;
  int32_t fDrawnFrame = -1;
  int fReductionLevel = 0;
};

}  // namespace viv
