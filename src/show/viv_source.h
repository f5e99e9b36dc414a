// The opened show as the rest of the player sees it: show-wide options, the
// transition catalogue with its random choices, and the timeline.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/ref_object.h"
#include "container/file_accessor.h"
#include "container/show_locator.h"
#include "project/ini_tree.h"
#include "show/effect_catalogue.h"
#include "show/slide_timeline.h"
#include "show/viv_effect.h"

namespace viv {

struct TEffectChoice {
  TRef<TVivEffect> Effect;  // none: the slide changes with a cut
  double Time = 0;
  double Smoothing = 0;
};

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

class TVivSource : public TRefObject {
 public:
  static constexpr int32_t kDefaultWidth = 1920;
  static constexpr int32_t kDefaultHeight = 1080;

  // Raises the assertion "Incorrect time" for decreasing slide end times.
  TVivSource(TRef<TFileAccessor> accessor, TRef<TIniFile> project);

  TFileAccessor& Accessor() const { return *fAccessor; }
  TIniFile& Project() const { return *fProject; }
  TIniSection* MainSection() const { return fMain; }
  TIniSection* TimesSection() const { return fTimes; }
  const TVIVEffectManager& EffectManager() const { return *fEffects; }
  const TSlideTimeline& Timeline() const { return *fTimeline; }

  int32_t PresentationWidth() const { return fWidth; }
  int32_t PresentationHeight() const { return fHeight; }
  bool ScreenSaverMode() const { return fScreenSaver; }
  bool PauseWhenInactive() const { return fPauseWhenInactive; }
  TRepeatMode RepeatMode() const { return fRepeatMode; }
  int32_t SlideCount() const { return fTimeline->SlideCount(); }
  TRgb HiderColour() const { return fHider; }
  double UnsharpAmount() const { return fUnsharpAmount; }
  double DefaultTransitionTime() const { return fShowTransitionTime; }

  // The section of slide i ("Slide" + (i + 1)), none if missing.
  TIniSection* SlideSection(int32_t index) const;

  // The enabled catalogue transitions, in catalogue order, and their order of use.
  const std::vector<TRef<TVivEffect>>& RandomList() const { return fRandomList; }
  const std::vector<size_t>& RandomOrder() const { return fOrder; }
  // The transition of slide i, chosen when the slide is built (loader thread only).
  TEffectChoice ChooseEffect(int32_t index);

 private:
  void BuildRandomList();
  void Shuffle();
  TRef<TVivEffect> NextRandomEffect();

  TRef<TFileAccessor> fAccessor;
  TRef<TIniFile> fProject;
  TIniSection* fMain = nullptr;
  TIniSection* fTimes = nullptr;
  TRef<TVIVEffectManager> fEffects;
  std::unique_ptr<TSlideTimeline> fTimeline;
  int32_t fWidth = kDefaultWidth;
  int32_t fHeight = kDefaultHeight;
  bool fScreenSaver = false;
  bool fPauseWhenInactive = true;
  TRepeatMode fRepeatMode = TRepeatMode::Repeat;
  TRgb fHider;
  double fUnsharpAmount = 0;
  double fShowTransitionTime = 0;

  std::vector<TRef<TVivEffect>> fRandomList;
  std::vector<size_t> fOrder;
  uint64_t fChoiceCounter = 0;
  bool fWantOddVariant = false;
};

// The locator's show source, made on the first request.
TRef<TVivSource> ShowSource(TVivShowLocator& show);

}  // namespace viv
