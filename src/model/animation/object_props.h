// Description nodes: one per object block, holding the block's keyframes and,
// after each evaluation, the object's current animated values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_object.h"
#include "model/animation/anim_params.h"
#include "model/animation/keyframe.h"
#include "project/ini_tree.h"

namespace viv {

class TVivObject;

// Where a group stands between its keyframes.
struct TGroupTracker {
  int First = -1;  // indexes into the node's keyframes; -1: no keyframe sets the group
  int Last = -1;
  int Lo = -1;
  int Hi = -1;
  double InverseLength = 0;
  double Fraction = 0;
};

// Index range [First, End) of the groups or parameters that have modifiers.
struct TModRange {
  int First = 0;
  int End = 0;
  bool Contains(int i) const { return i >= First && i < End; }
};

class TVivObjectProps : public TRefObject {
 public:
  // Object blocks nest at most this deep; deeper slides fail to load.
  static constexpr int kMaxDepth = 200;

  std::vector<TRef<TVivObjectProps>> Children;
  TRef<TIniObject> Block;
  std::string Guid;
  std::string Name;
  uint8_t Kind = 0;
  TVivObjectProps* Parent = nullptr;
  int IndexInParent = 0;
  std::vector<TRef<TVivKeyFrame>> KeyFrames;
  uint32_t StructureCounter = 0;
  uint32_t SeenCounter = 0;  // the structure counter when the keyframes were last examined
  uint32_t LastSeenStamp = UINT32_MAX;
  std::array<TGroupTracker, kGroupCount> Trackers;
  TAnimValues Values = DefaultAnimValues();
  double Time = -1;
  TNodeTiming Timing;
  int32_t TreeNode = 1;
  TModRange TimeModRange, ValueModRange;
  uint8_t TimeScaleOff = 0;
  float ScaleUnitX = 0.01f, ScaleUnitY = 0.01f;
  TVivObject* Owner = nullptr;
  double DeltaTime1 = 0, DeltaTime2 = 0;

  // Builds (or rebuilds, reusing nodes by GUID and keyframes by position) from
  // a block. Raises "VivObject GUID not Assigned" for a child without GUID.
  void Build(TIniObject& block, const TNodeTiming& timing, int depth = 0);
  // Evaluates this node and its subtree at slide-relative time T.
  void Evaluate(double time);
  // Evaluates this node only.
  void EvaluateSelf(double time);
  // Keyframe times and the time window scaled by factor, for the whole subtree.
  void Rescale(double factor, const TNodeTiming& actual);

  // The node built for the same object, searched by GUID in the subtree.
  TVivObjectProps* FindByGuid(std::string_view guid);
  void MarkStructureChanged() { ++StructureCounter; }

 protected:
  void Cleanup() override;

 private:
  void ReadChildren(TIniObject& block, int depth);
  void SortKeyFramesIfNeeded(bool outOfOrder);
  void RebuildTrackers();
  void EvaluateMany(double time);
  void EvaluateOne(double time);
  void UpdateTracker(int group, double time);
  void ApplyTimeMods(const TVivKeyFrame* (&segment)[kGroupCount]);
  void ApplyValueMods();
  float InterpolatedValue(int param) const;
  void LoadSegmentValues(int group);
  int NextOfGroup(int group, int index) const;
  int PreviousOfGroup(int group, int index) const;

  // Values of the keyframes at the ends of each group's segment, read when a
  // keyframe becomes Lo or Hi.
  TAnimValues fLoValues{}, fHiValues{};
  std::array<int, kGroupCount> fCachedLo{}, fCachedHi{};
  uint32_t fValuesStamp = UINT32_MAX;
};

}  // namespace viv
