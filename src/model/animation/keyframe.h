// One keyframe of an object: a KeyPoint block read against the node's timing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/ref_object.h"
#include "model/animation/anim_params.h"
#include "model/animation/object_mod.h"
#include "model/object_filter.h"
#include "project/ini_tree.h"
#include "project/value_syntax.h"

namespace viv {

class TVivObjectProps;

enum class TKeyOrigin : uint8_t {
  SlideBegin = 0,
  PrevEffectEnd = 1,
  NextEffectBegin = 2,
  SlideEnd = 3
};

// The slide timing a node resolves keyframe origins against (ms).
struct TNodeTiming {
  int32_t Duration = 0;    // D
  int32_t PrevEffect = 0;  // P
  int32_t NextEffect = 0;  // N
};

class TVivKeyFrame : public TRefObject {
 public:
  static constexpr uint32_t kAllGroups = 255;

  TVivObjectProps* Node = nullptr;
  int ListIndex = 0;
  TRef<TIniObject> Block;
  double Time = 0;
  TKeyOrigin Origin = TKeyOrigin::SlideBegin;
  uint32_t Groups = kAllGroups;
  TCommaList PositionList, CenterList;
  std::array<TRef<TVivObjectMod>, kGroupCount> TimeMods;
  std::array<TRef<TVivObjectMod>, kParamCount> ValueMods;
  std::vector<TRef<TVivObjectMod>> Mods;  // block order
  TFilterChain Filters;

  // Reads the block: groups masked for the node's kind, origin and time, the
  // linked pairs, modifiers (reusing those that accept their block) and filters.
  void Read(TIniObject& block, uint8_t kind, const TNodeTiming& timing);

  bool SetsGroup(int group) const { return (Groups >> group) & 1u; }
  bool HasModifiers() const { return !Mods.empty(); }
  // The parameter's value, read from the block; an absent or empty key gives
  // the parameter's default.
  float Value(int param) const;
};

// The groups a kind may animate (`grps` is masked with it).
uint32_t KindGroupMask(uint8_t kind);
TKeyOrigin OriginFromWord(std::string_view word);
int64_t OriginOffset(TKeyOrigin origin, const TNodeTiming& timing);

}  // namespace viv
