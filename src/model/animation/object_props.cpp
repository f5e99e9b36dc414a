#include "model/animation/object_props.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "base/text.h"
#include "model/objects/object_kinds.h"
#include "model/objects/viv_object.h"

namespace viv {
namespace {

constexpr double kMinSegment = 0.0001;  // ms; shorter segments have fraction 0
constexpr float kMinZoomDifference = 0.0001f;
constexpr double kMinRescaleFactor = 0.0001;
// Up to this many set-aside nodes are searched one by one; more go through a hash.
constexpr size_t kLinearGuidSearch = 3;

double RoundMs(double time) { return std::nearbyint(time); }

}  // namespace

void TVivObjectProps::Cleanup() {
  // The live object does not own its node; it must not keep pointing at it.
  if (Owner) Owner->NodeDestroyed();
  Owner = nullptr;
  for (auto& child : Children) child->Parent = nullptr;
  Children.clear();
  KeyFrames.clear();
}

void TVivObjectProps::Build(TIniObject& block, const TNodeTiming& timing, int depth) {
  VIV_ASSERT(depth <= kMaxDepth, "Object blocks nested too deep");
  Block = TRef<TIniObject>(&block);
  Name = block.Name();
  Guid = block.ReadText("GUID");
  Kind = static_cast<uint8_t>(KindOfBlock(block));
  DeltaTime1 = block.ReadInteger("DeltaTime1", 0);
  DeltaTime2 = block.ReadInteger("DeltaTime2", 0);
  TreeNode = block.ReadInteger("TreeNode", 1);
  Timing = timing;
  ReadChildren(block, depth);

  // Initial values: the first keyframe's, evaluated at 0.
  Values = DefaultAnimValues();
  if (!KeyFrames.empty()) {
    const TVivKeyFrame& first = *KeyFrames.front();
    for (int i = 0; i < kParamCount; ++i)
      if (first.SetsGroup(GroupOfParam(i))) Values[static_cast<size_t>(i)] = first.Value(i);
  }
  Time = -1;
  EvaluateSelf(0);
}

void TVivObjectProps::ReadChildren(TIniObject& block, int depth) {
  std::vector<TRef<TVivObjectProps>> old = std::move(Children);
  Children.clear();
  std::vector<bool> used(old.size(), false);
  bool settingAside = false;
  size_t asideFrom = 0;
  std::unordered_map<std::string, std::vector<size_t>> guidIndex;  // folded GUID -> old nodes
  bool indexBuilt = false;

  auto findAside = [&](const std::string& guid, size_t position) -> TRef<TVivObjectProps> {
    size_t left = 0;
    for (size_t i = std::max(asideFrom, position); i < old.size(); ++i) left += used[i] ? 0 : 1;
    if (left <= kLinearGuidSearch) {
      for (size_t i = asideFrom; i < old.size(); ++i)
        if (!used[i] && SameText(old[i]->Guid, guid)) return used[i] = true, old[i];
      return nullptr;
    }
    if (!indexBuilt) {
      for (size_t i = asideFrom; i < old.size(); ++i)
        guidIndex[FoldCase(old[i]->Guid)].push_back(i);
      indexBuilt = true;
    }
    auto it = guidIndex.find(FoldCase(guid));
    if (it == guidIndex.end()) return nullptr;
    for (size_t i : it->second)
      if (!used[i]) return used[i] = true, old[i];
    return nullptr;
  };

  size_t keyFrameCount = 0;
  bool outOfOrder = false;
  double previousTime = 0;
  // By index: NextObject searches the list on every step, quadratic over many keyframes.
  for (TIniObject* child : block.Objects()) {
    if (IsKeyPointBlock(*child)) {
      if (keyFrameCount == KeyFrames.size()) KeyFrames.push_back(MakeRef<TVivKeyFrame>());
      TVivKeyFrame& key = *KeyFrames[keyFrameCount];
      key.Node = this;
      key.ListIndex = static_cast<int>(keyFrameCount);
      key.Read(*child, Kind, Timing);
      if (keyFrameCount > 0 && key.Time < previousTime) outOfOrder = true;
      previousTime = key.Time;
      ++keyFrameCount;
      continue;
    }
    std::string guid = child->ReadText("GUID");
    if (guid.empty()) VIV_FAIL("VivObject GUID not Assigned");
    size_t position = Children.size();
    TRef<TVivObjectProps> node;
    if (!settingAside && position < old.size() && SameText(old[position]->Guid, guid)) {
      node = old[position];
      used[position] = true;
    } else {
      if (!settingAside) {
        settingAside = true;
        asideFrom = position;
      }
      node = findAside(guid, position);
    }
    if (!node) node = MakeRef<TVivObjectProps>();
    node->Parent = this;
    node->IndexInParent = static_cast<int>(Children.size());
    Children.push_back(node);
    node->Build(*child, Timing, depth + 1);
  }
  // Old nodes without a block go now, with their subtrees and live objects.
  for (size_t i = 0; i < old.size(); ++i)
    if (!used[i]) old[i]->Parent = nullptr;
  old.clear();
  KeyFrames.resize(keyFrameCount);
  SortKeyFramesIfNeeded(outOfOrder);
  MarkStructureChanged();
  for (auto& tracker : Trackers) tracker = TGroupTracker{};
}

void TVivObjectProps::SortKeyFramesIfNeeded(bool outOfOrder) {
  if (outOfOrder) {
    // Equal times keep their previous order.
    std::stable_sort(KeyFrames.begin(), KeyFrames.end(),
                     [](const auto& a, const auto& b) { return a->Time < b->Time; });
  }
  for (size_t i = 0; i < KeyFrames.size(); ++i) KeyFrames[i]->ListIndex = static_cast<int>(i);
}

void TVivObjectProps::RebuildTrackers() {
  TimeModRange = {};
  ValueModRange = {};
  auto widen = [](TModRange& range, int index) {
    if (range.First == range.End) {
      range = {index, index + 1};
    } else {
      range.First = std::min(range.First, index);
      range.End = std::max(range.End, index + 1);
    }
  };
  for (int g = 0; g < kGroupCount; ++g) {
    TGroupTracker tracker;
    for (int i = 0; i < static_cast<int>(KeyFrames.size()); ++i) {
      if (!KeyFrames[static_cast<size_t>(i)]->SetsGroup(g)) continue;
      if (tracker.First < 0) tracker.First = i;
      tracker.Last = i;
    }
    tracker.Lo = tracker.Hi = tracker.First;
    Trackers[static_cast<size_t>(g)] = tracker;
  }
  for (const auto& key : KeyFrames) {
    for (int g = 0; g < kGroupCount; ++g)
      if (key->TimeMods[static_cast<size_t>(g)]) widen(TimeModRange, g);
    for (int p = 0; p < kParamCount; ++p)
      if (key->ValueMods[static_cast<size_t>(p)]) widen(ValueModRange, p);
  }
  fCachedLo.fill(-1);
  fCachedHi.fill(-1);
  LastSeenStamp = StructureCounter;
}

int TVivObjectProps::NextOfGroup(int group, int index) const {
  for (int i = index + 1; i < static_cast<int>(KeyFrames.size()); ++i)
    if (KeyFrames[static_cast<size_t>(i)]->SetsGroup(group)) return i;
  return -1;
}

int TVivObjectProps::PreviousOfGroup(int group, int index) const {
  for (int i = index - 1; i >= 0; --i)
    if (KeyFrames[static_cast<size_t>(i)]->SetsGroup(group)) return i;
  return -1;
}

void TVivObjectProps::UpdateTracker(int group, double time) {
  TGroupTracker& tracker = Trackers[static_cast<size_t>(group)];
  if (tracker.First < 0) return;
  auto timeOf = [&](int i) { return KeyFrames[static_cast<size_t>(i)]->Time; };
  if (time < timeOf(tracker.First)) {
    tracker.Lo = tracker.Hi = tracker.First;
    tracker.Fraction = 0;
    tracker.InverseLength = 0;
    return;
  }
  // Walk from the previous segment: evaluating at increasing times is O(1).
  int lo = tracker.Lo >= 0 ? tracker.Lo : tracker.First;
  for (int next = NextOfGroup(group, lo); next >= 0 && timeOf(next) <= time;
       next = NextOfGroup(group, lo))
    lo = next;
  while (timeOf(lo) > time) {
    int previous = PreviousOfGroup(group, lo);
    if (previous < 0) break;
    lo = previous;
  }
  int next = NextOfGroup(group, lo);
  double end = next >= 0 ? timeOf(next) : static_cast<double>(Timing.Duration);
  double length = end - timeOf(lo);
  tracker.Lo = lo;
  tracker.Hi = next >= 0 ? next : lo;
  tracker.InverseLength = length <= kMinSegment ? 0 : 1 / length;
  tracker.Fraction = (time - timeOf(lo)) * tracker.InverseLength;
}

void TVivObjectProps::LoadSegmentValues(int group) {
  const TGroupTracker& tracker = Trackers[static_cast<size_t>(group)];
  TGroupRange params = GroupParams(group);
  if (tracker.Lo != fCachedLo[static_cast<size_t>(group)]) {
    const TVivKeyFrame& key = *KeyFrames[static_cast<size_t>(tracker.Lo)];
    for (int i = params.First; i < params.End; ++i)
      fLoValues[static_cast<size_t>(i)] = key.Value(i);
    fCachedLo[static_cast<size_t>(group)] = tracker.Lo;
  }
  if (tracker.Hi != fCachedHi[static_cast<size_t>(group)]) {
    const TVivKeyFrame& key = *KeyFrames[static_cast<size_t>(tracker.Hi)];
    for (int i = params.First; i < params.End; ++i)
      fHiValues[static_cast<size_t>(i)] = key.Value(i);
    fCachedHi[static_cast<size_t>(group)] = tracker.Hi;
  }
}

float TVivObjectProps::InterpolatedValue(int param) const {
  int group = GroupOfParam(param);
  const TGroupTracker& tracker = Trackers[static_cast<size_t>(group)];
  float lo = fLoValues[static_cast<size_t>(param)];
  if (tracker.Hi == tracker.Lo) return lo;
  float hi = fHiValues[static_cast<size_t>(param)];
  double fraction = tracker.Fraction;
  if (param == kFrameX || param == kFrameY) {
    // Keeps the picture point under the frame moving evenly while the zoom changes.
    float zoomLo = fLoValues[kFrameS], zoomHi = fHiValues[kFrameS];
    if (std::fabs(lo - hi) > kMinZoomDifference &&
        std::fabs(zoomLo - zoomHi) > kMinZoomDifference) {
      double unit = param == kFrameX ? ScaleUnitX : ScaleUnitY;
      double d = Values[kFrameS] * unit - 1;
      if (d > 0) {
        double e = (zoomLo * unit - 1) * lo;
        double f = (zoomHi * unit - 1) * hi;
        return static_cast<float>((e + (f - e) * fraction) / d);
      }
    }
  }
  return static_cast<float>(lo + (hi - lo) * fraction);
}

void TVivObjectProps::ApplyTimeMods(const TVivKeyFrame* (&segment)[kGroupCount]) {
  for (int g = TimeModRange.First; g < TimeModRange.End; ++g) {
    const TVivKeyFrame* key = segment[g];
    if (!key || !key->TimeMods[static_cast<size_t>(g)]) continue;
    TModInputs inputs;
    for (int i = 0; i < kGroupCount; ++i)
      inputs.Fractions[static_cast<size_t>(i)] = Trackers[static_cast<size_t>(i)].Fraction;
    inputs.Values = &Values;
    inputs.Value = Trackers[static_cast<size_t>(g)].Fraction;
    Trackers[static_cast<size_t>(g)].Fraction =
        key->TimeMods[static_cast<size_t>(g)]->Evaluate(inputs);
  }
}

void TVivObjectProps::ApplyValueMods() {
  for (int p = ValueModRange.First; p < ValueModRange.End; ++p) {
    const TGroupTracker& tracker = Trackers[static_cast<size_t>(GroupOfParam(p))];
    if (tracker.Lo < 0) continue;
    const TVivKeyFrame& key = *KeyFrames[static_cast<size_t>(tracker.Lo)];
    const auto& mod = key.ValueMods[static_cast<size_t>(p)];
    if (!mod) continue;
    TModInputs inputs;
    for (int i = 0; i < kGroupCount; ++i)
      inputs.Fractions[static_cast<size_t>(i)] = Trackers[static_cast<size_t>(i)].Fraction;
    inputs.Values = &Values;
    inputs.Value = Values[static_cast<size_t>(p)];
    Values[static_cast<size_t>(p)] = static_cast<float>(mod->Evaluate(inputs));
  }
}

void TVivObjectProps::EvaluateMany(double time) {
  time = std::clamp(time, 0.0, static_cast<double>(Timing.Duration));
  const TVivKeyFrame* segment[kGroupCount] = {};
  for (int g = 0; g < kGroupCount; ++g) {
    UpdateTracker(g, time);
    const TGroupTracker& tracker = Trackers[static_cast<size_t>(g)];
    if (tracker.First >= 0) {
      segment[g] = KeyFrames[static_cast<size_t>(tracker.Lo)].Get();
      LoadSegmentValues(g);
    }
  }
  ApplyTimeMods(segment);
  const TAnimValues defaults = DefaultAnimValues();
  for (int p = 0; p < kParamCount; ++p) {
    bool animated = Trackers[static_cast<size_t>(GroupOfParam(p))].First >= 0;
    Values[static_cast<size_t>(p)] =
        animated ? InterpolatedValue(p) : defaults[static_cast<size_t>(p)];
  }
  ApplyValueMods();
}

void TVivObjectProps::EvaluateOne(double time) {
  const TVivKeyFrame& key = *KeyFrames.front();
  double span = Timing.Duration - key.Time;
  bool structureChanged = fValuesStamp != StructureCounter;
  bool animatedByMods = key.HasModifiers() && span > kMinSegment;
  if (!structureChanged && !animatedByMods) return;
  fValuesStamp = StructureCounter;

  const TAnimValues defaults = DefaultAnimValues();
  for (int p = 0; p < kParamCount; ++p)
    Values[static_cast<size_t>(p)] =
        key.SetsGroup(GroupOfParam(p)) ? key.Value(p) : defaults[static_cast<size_t>(p)];
  for (int g = 0; g < kGroupCount; ++g) {
    TGroupTracker& tracker = Trackers[static_cast<size_t>(g)];
    bool sets = key.SetsGroup(g);
    tracker.First = tracker.Lo = tracker.Hi = tracker.Last = sets ? 0 : -1;
    tracker.Fraction = 0;
  }
  if (!key.HasModifiers() || time <= key.Time) return;
  const TVivKeyFrame* segment[kGroupCount] = {};
  for (int g = 0; g < kGroupCount; ++g) {
    if (!key.SetsGroup(g)) continue;
    segment[g] = &key;
    Trackers[static_cast<size_t>(g)].Fraction = span > kMinSegment ? (time - key.Time) / span : 0;
  }
  ApplyTimeMods(segment);
  ApplyValueMods();
}

void TVivObjectProps::EvaluateSelf(double time) {
  Time = time;
  if (LastSeenStamp != StructureCounter) RebuildTrackers();
  if (KeyFrames.size() >= 2) {
    EvaluateMany(time);
  } else if (KeyFrames.size() == 1) {
    EvaluateOne(time);
  }
}

void TVivObjectProps::Evaluate(double time) {
  EvaluateSelf(time);
  for (auto& child : Children) child->Evaluate(time);
}

void TVivObjectProps::Rescale(double factor, const TNodeTiming& actual) {
  if (factor < kMinRescaleFactor) factor = 1;
  Timing = actual;
  DeltaTime1 = RoundMs(DeltaTime1 * factor);
  DeltaTime2 = RoundMs(DeltaTime2 * factor);
  bool outOfOrder = false;
  for (size_t i = 0; i < KeyFrames.size(); ++i) {
    KeyFrames[i]->Time = RoundMs(KeyFrames[i]->Time * factor);
    if (i > 0 && KeyFrames[i]->Time < KeyFrames[i - 1]->Time) outOfOrder = true;
  }
  SortKeyFramesIfNeeded(outOfOrder);
  MarkStructureChanged();
  for (auto& tracker : Trackers) tracker = TGroupTracker{};
  for (auto& child : Children) child->Rescale(factor, actual);
}

TVivObjectProps* TVivObjectProps::FindByGuid(std::string_view guid) {
  if (SameText(Guid, guid)) return this;
  for (auto& child : Children)
    if (TVivObjectProps* found = child->FindByGuid(guid)) return found;
  return nullptr;
}

}  // namespace viv
