// The root object of a slide and the dialog page variant.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "model/objects/viv_object.h"
#include "model/slide_host.h"
#include "show/slide_timeline.h"

namespace viv {

class TVivSource;

struct TSlideBackground {
  enum class TStyle : uint8_t { Solid = 0, HGradient = 1, VGradient = 2, Picture = 3 };
  TStyle Style = TStyle::Solid;
  uint32_t Colour1 = 0xFF000000;  // 0xAARRGGBB
  uint32_t Colour2 = 0xFF000000;
  std::string Picture;
  int32_t TileSize = 100;                // percent
  uint32_t ManagedColour1 = 0xFF000000;  // as the display shows them
  uint32_t ManagedColour2 = 0xFF000000;
};

// Reads the background keys of a slide section, or with the "opt_" prefix
// from the main section when the slide's "bstyle" is 0 or missing.
TSlideBackground ReadSlideBackground(const TIniSection* slide, const TIniSection* main);

enum class TMouseEvent : int { Move = 0, Press = 1, Release = 2 };

struct TMouseResult {
  TVivObject* Object = nullptr;          // the topmost object under the point
  std::optional<TVivActionInfo> Action;  // to perform: press and release hit it
};

class TVivSlide : public TVivObject {
 public:
  static constexpr int kLeftButtonHeld = 16;

  TVivSlide(TRef<TVivSlideHost> host, int32_t number);

  // Builds the slide's nodes and objects from the show: timings, keyframe
  // scaling, background and the section's "Root" block.
  void Load(const TVivSource& source, bool keepCopies = false);

  int32_t Number() const { return fNumber; }
  double StartTime() const { return fStartTime; }
  double NextStartTime() const { return fNextStartTime; }
  double InEffectTime() const { return fInEffect; }
  double OutEffectTime() const { return fOutEffect; }
  float PerspectiveFactor() const { return fPerspective; }
  const TSlideBackground& Background() const { return fBackground; }
  TVivObjectProps& RootNode() const { return *fRoot; }
  const std::string& SectionName() const { return fSectionName; }

  // Where the composition puts the slide: the screen point of its centre.
  void SetOrigin(const TVec3& origin) { fOrigin = origin; }
  // Animates every object at absolute time X (skipped when nothing can have changed).
  void AnimateSlide(double time);
  bool ContinuousUpdate = false;
  // A transition slide drawn with its own buffer: its buffer pictures are
  // "SlideEffectBuffer" pictures instead of transition resources.
  bool OwnEffectBuffer = false;
  // The largest drawn size of every object over the slide's keyframe times.
  void EstimateDrawnSizes();

  TMouseResult MouseEvent(TPointF point, int buttonState, int button, TMouseEvent event);

  TVivSlideHost* GetHost() const override { return fHost.Get(); }
  double GetSlideTime(int origin) const override;
  TSizeF GetParentSize() const override { return fSize; }
  const TPlacementFrame& GetParentFrame() const override { return fFrame; }
  void UpdateGeometry(bool recursive) override;
  void Draw(TObjectDrawer& drawer) override;
  virtual float GetOpacityScale() const { return 100; }

  // Filled by the composition: objects of other slides drawn under this one's.
  std::vector<TRef<TDrawItem>> TemplateObjects;
  std::vector<TRef<TDrawItem>> BackgroundSlideObjects;
  TRef<TRefObject> TransitionFilter;
  std::function<void(TObjectDrawer&)> DrawCallback;

 protected:
  void Cleanup() override;

 private:
  void ForEachObject(const std::function<void(TVivObject&)>& visit);

  TRef<TVivSlideHost> fHost;
  int32_t fNumber;
  std::string fSectionName;
  TRef<TVivObjectProps> fRoot;
  TRef<TIniObject> fEmptyRoot;  // the node's block when the section has no Root block
  std::vector<TRef<TIniSection>> fCopies;
  double fStartTime = 0, fNextStartTime = 0, fInEffect = 0, fOutEffect = 0;
  float fPerspective = 1.7320508f;
  TSlideBackground fBackground;
  TVec3 fOrigin;
  double fLastAnimated = -1e300;
};

// A slide used as a dialog page: no background, its own opacity scale.
class TVivDialog : public TVivSlide {
 public:
  using TVivSlide::TVivSlide;
  float GetOpacityScale() const override { return fOpacityScale; }
  void SetOpacityScale(float scale) { fOpacityScale = scale; }

 private:
  float fOpacityScale = 100;
};

// The picture lookup chain: the main picture of a subtree (the first image
// with an ImageIndex, in drawing order). Modules install links in front.
struct TMainPicture {
  std::string FileName;
  int32_t Width = 0, Height = 0;
};
using TPictureLookupLink = std::optional<TMainPicture> (*)(TVivObject& object);
void InstallPictureLookupLink(TPictureLookupLink link);
std::optional<TMainPicture> FindMainPicture(TVivObject& subtree);

}  // namespace viv
