#include "model/animation/keyframe.h"

#include "base/text.h"
#include "model/objects/object_kinds.h"

namespace viv {
namespace {

constexpr std::string_view kModClass = "Mod";

float ReadNumber(const TIniObject& block, std::string_view key, float fallback) {
  const TIniItem* item = block.FindItem(key, TIniClass::Plain);
  if (!item) return fallback;
  return static_cast<float>(item->ReadReal(fallback));
}

// "2445.9" reads as 2445: only the characters before the first ".".
int64_t ReadWholeTime(const TIniObject& block) {
  std::string text = block.ReadText("Time");
  text = text.substr(0, text.find('.'));
  return ParseInt32(text).value_or(0);
}

}  // namespace

uint32_t KindGroupMask(uint8_t kind) {
  switch (static_cast<TObjectKind>(kind)) {
    case TObjectKind::Splitter:
    case TObjectKind::MaskStencil:
    case TObjectKind::MaskContent: return 0;
    case TObjectKind::AniImage:
    case TObjectKind::Text:
    case TObjectKind::Button: return TVivKeyFrame::kAllGroups & ~(1u << kGroupFrame);
    case TObjectKind::Image:
    case TObjectKind::Video: return TVivKeyFrame::kAllGroups;
    default: return TVivKeyFrame::kAllGroups & ~((1u << kGroupColor) | (1u << kGroupFrame));
  }
}

TKeyOrigin OriginFromWord(std::string_view word) {
  if (SameText(word, "PrevEffectEnd")) return TKeyOrigin::PrevEffectEnd;
  if (SameText(word, "NextEffectBegin")) return TKeyOrigin::NextEffectBegin;
  if (SameText(word, "SlideEnd")) return TKeyOrigin::SlideEnd;
  return TKeyOrigin::SlideBegin;
}

int64_t OriginOffset(TKeyOrigin origin, const TNodeTiming& timing) {
  switch (origin) {
    case TKeyOrigin::SlideBegin: return 0;
    case TKeyOrigin::PrevEffectEnd: return timing.PrevEffect;
    case TKeyOrigin::NextEffectBegin: return int64_t{timing.Duration} - timing.NextEffect;
    case TKeyOrigin::SlideEnd: return timing.Duration;
  }
  return 0;
}

void TVivKeyFrame::Read(TIniObject& block, uint8_t kind, const TNodeTiming& timing) {
  Block = TRef<TIniObject>(&block);
  uint32_t groups =
      static_cast<uint32_t>(block.ReadInteger("grps", static_cast<int32_t>(kAllGroups)));
  Groups = groups & KindGroupMask(kind);
  Origin = OriginFromWord(block.ReadText("Origin"));
  Time = static_cast<double>(OriginOffset(Origin, timing) + ReadWholeTime(block));
  PositionList = block.ReadList("Position");
  CenterList = block.ReadList("CenterPos");

  std::vector<TRef<TVivObjectMod>> previous = std::move(Mods);
  Mods.clear();
  TimeMods = {};
  ValueMods = {};
  for (TIniObject* child = block.FirstObject(); child; child = block.NextObject(*child)) {
    if (!SameText(child->ClassName(), kModClass)) continue;
    TRef<TVivObjectMod> mod;
    for (auto& old : previous)
      if (old && old->Accepts(*child)) mod = std::exchange(old, nullptr);
    if (!mod) mod = TVivObjectMod::Read(*child);
    if (!mod) continue;
    if (mod->TargetKind() == TModTarget::GroupTime)
      TimeMods[static_cast<size_t>(mod->TargetIndex())] = mod;
    else
      ValueMods[static_cast<size_t>(mod->TargetIndex())] = mod;
    Mods.push_back(std::move(mod));
  }
  Filters = ReadFilterChain(block, Filters);
}

float TVivKeyFrame::Value(int param) const {
  const TAnimatedFieldDesk& field = AnimatedFields()[static_cast<size_t>(param)];
  auto fromList = [&](const TCommaList& list, size_t index) {
    // A missing or unreadable number takes the default.
    return static_cast<float>(list.ReadReal(index, field.Default));
  };
  switch (param) {
    case kPosX: return fromList(PositionList, 0);
    case kPosY: return fromList(PositionList, 1);
    case kCenterX: return fromList(CenterList, 0);
    case kCenterY: return fromList(CenterList, 1);
    default: return ReadNumber(*Block, field.Key, field.Default);
  }
}

}  // namespace viv
