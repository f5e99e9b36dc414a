#include "show/viv_effect.h"

#include <algorithm>
#include <cmath>

namespace viv {
namespace {

// Option string lengths of the built-in effects.
constexpr size_t kActionLength = 2;
constexpr size_t kHourHandDirections = 9;
constexpr size_t kShapeDirections = 3;
constexpr size_t kLineDirections = 8;
constexpr size_t kCurlDirections = 8;
constexpr size_t kFourWays = 4;
// Four-way effects read "direction" in this order.
constexpr size_t kFourWayOrder[kFourWays] = {1, 0, 2, 3};
// Direction kinds of the four-way filters for their first set flag.
constexpr int kFourWayKinds[kFourWays] = {2, 4, 1, 3};

constexpr double kDefaultHourHandSmoothing = 0.35;

bool FlagAt(std::string_view option, size_t index) {
  return index < option.size() && option[index] == '1';
}

void AppendFlags(std::vector<bool>& flags, std::string_view option, size_t count) {
  for (size_t i = 0; i < count; ++i) flags.push_back(FlagAt(option, i));
}

int64_t CountSet(const std::vector<bool>& flags, size_t from, size_t to) {
  int64_t n = 0;
  for (size_t i = from; i < to && i < flags.size(); ++i) n += flags[i] ? 1 : 0;
  return n;
}

// The first set flag in [from, to), as an offset from "from"; -1 when none.
int FirstSet(const std::vector<bool>& flags, size_t from, size_t to) {
  for (size_t i = from; i < to && i < flags.size(); ++i)
    if (flags[i]) return static_cast<int>(i - from);
  return -1;
}

size_t DirectionCount(TEffectType type) {
  switch (type) {
    case TEffectType::HourHand: return kHourHandDirections;
    case TEffectType::Shapes: return kShapeDirections;
    case TEffectType::Curling: return kCurlDirections;
    default: return 0;
  }
}

bool IsPairVariant(TEffectType type) {
  return type == TEffectType::HourHand || type == TEffectType::Shapes ||
         type == TEffectType::Curling;
}

// The flags whose set members are the variants of single-flag effects.
size_t SingleFlagRange(const TVivEffect& effect) {
  return effect.Type == TEffectType::Flip ? kFourWays : effect.Flags.size();
}

int64_t VariantsOf(const TVivEffect& effect) {
  switch (effect.Type) {
    case TEffectType::Dissolve:
    case TEffectType::Mosaic: return effect.Flags.at(0) ? 1 : 0;
    case TEffectType::HourHand:
    case TEffectType::Shapes:
    case TEffectType::Curling: {
      size_t directions = DirectionCount(effect.Type);
      return CountSet(effect.Flags, 0, kActionLength) *
             CountSet(effect.Flags, kActionLength, kActionLength + directions);
    }
    case TEffectType::Custom: return 1;
    default: return CountSet(effect.Flags, 0, SingleFlagRange(effect));
  }
}

void ReadFourWays(std::vector<bool>& flags, std::string_view direction) {
  for (size_t position : kFourWayOrder) flags.push_back(FlagAt(direction, position));
}

TFilterDescription Filter(std::string name,
                          std::vector<std::pair<std::string, double>> params = {}) {
  return TFilterDescription{std::move(name), std::move(params), nullptr};
}

std::optional<TFilterDescription> LineFilter(TEffectType type, int direction) {
  struct TLine {
    const char* Name;
    double A, B;  // centre (x, y), or group and kind of diagonal lines
    bool Reverse;
  };
  static constexpr TLine kGates[kLineDirections] = {
      {"THLines", 0.5, 0.5, true}, {"TVLines", 0.5, 0.5, true},  {"TDiagLines", 8, 1, false},
      {"TDiagLines", 8, 3, false}, {"THLines", 0.5, 0.5, false}, {"TVLines", 0.5, 0.5, false},
      {"TDiagLines", 8, 2, false}, {"TDiagLines", 8, 4, false},
  };
  static constexpr TLine kPage[kLineDirections] = {
      {"TDiagLines", 10, 2, false}, {"TVLines", 0, 1, false},     {"TDiagLines", 10, 3, false},
      {"THLines", 1, 0, false},     {"THLines", 0, 0, false},     {"TDiagLines", 10, 4, false},
      {"TVLines", 0, 0, false},     {"TDiagLines", 10, 1, false},
  };
  if (direction < 0) return std::nullopt;
  const TLine& line = (type == TEffectType::Gates ? kGates : kPage)[direction];
  if (std::string_view(line.Name) == "TDiagLines")
    return Filter(line.Name, {{"group", line.A}, {"kind", line.B}});
  return Filter(line.Name, {{"x", line.A}, {"y", line.B}, {"reverse", line.Reverse ? 1.0 : 0.0}});
}

}  // namespace

TEffectType EffectTypeOf(TBuiltinEffect builtin) {
  switch (builtin) {
    case TBuiltinEffect::Dissolve: return TEffectType::Dissolve;
    case TBuiltinEffect::HourHand: return TEffectType::HourHand;
    case TBuiltinEffect::Shapes: return TEffectType::Shapes;
    case TBuiltinEffect::Gates: return TEffectType::Gates;
    case TBuiltinEffect::Page: return TEffectType::Page;
    case TBuiltinEffect::Mosaic: return TEffectType::Mosaic;
    case TBuiltinEffect::Push: return TEffectType::Push;
    case TBuiltinEffect::Slide: return TEffectType::Slide;
    case TBuiltinEffect::Curling: return TEffectType::Curling;
    case TBuiltinEffect::Flip: return TEffectType::Flip;
    case TBuiltinEffect::Swap: return TEffectType::Swap;
    case TBuiltinEffect::Custom: return TEffectType::Custom;
    case TBuiltinEffect::Default:
    case TBuiltinEffect::DefOwnTime:
    case TBuiltinEffect::Quick: break;
  }
  return TEffectType::None;
}

TRef<TVivEffect> TVivEffect::Copy() const {
  auto copy = MakeRef<TVivEffect>();
  copy->Type = Type;
  copy->Smoothing = Smoothing;
  copy->VariantCount = VariantCount;
  copy->IntParams = IntParams;
  copy->FloatParams = FloatParams;
  copy->Flags = Flags;
  copy->Name = Name;
  copy->Section = Section;
  return copy;
}

void TVivEffect::KeepVariant(int64_t variant) {
  if (Type == TEffectType::Dissolve || Type == TEffectType::Custom) return;
  if (IsPairVariant(Type)) {
    size_t directions = DirectionCount(Type);
    std::vector<size_t> actions, ways;
    for (size_t i = 0; i < kActionLength; ++i)
      if (Flags[i]) actions.push_back(i);
    for (size_t i = kActionLength; i < kActionLength + directions; ++i)
      if (Flags[i]) ways.push_back(i);
    if (actions.empty() || ways.empty()) return;
    variant %= static_cast<int64_t>(actions.size() * ways.size());
    size_t action = actions[static_cast<size_t>(variant) / ways.size()];
    size_t way = ways[static_cast<size_t>(variant) % ways.size()];
    for (size_t i = 0; i < kActionLength + directions; ++i) Flags[i] = (i == action || i == way);
  } else {
    int64_t seen = 0;
    for (size_t i = 0; i < SingleFlagRange(*this); ++i) {
      if (!Flags[i]) continue;
      Flags[i] = seen++ == variant;
    }
  }
  VariantCount = 1;
}

TRef<TVivEffect> BuildEffect(const TEffectProp& prop, TEffectType type) {
  if (type == TEffectType::None || type == TEffectType::Custom) return nullptr;
  auto effect = MakeRef<TVivEffect>();
  effect->Type = type;
  effect->Name = prop.RefName();
  auto flags = [&](const char* key) { return prop.ReadText(key); };
  switch (type) {
    case TEffectType::Dissolve:
      AppendFlags(effect->Flags, flags("checked").empty() ? "1" : flags("checked"), 1);
      break;
    case TEffectType::HourHand:
      AppendFlags(effect->Flags, flags("action"), kActionLength);
      AppendFlags(effect->Flags, flags("direction"), kHourHandDirections);
      effect->FloatParams = {prop.ReadReal("offset", 0)};
      effect->SetSmoothing(prop.ReadReal("smoothline", kDefaultHourHandSmoothing));
      break;
    case TEffectType::Shapes:
      AppendFlags(effect->Flags, flags("action"), kActionLength);
      AppendFlags(effect->Flags, flags("direction"), kShapeDirections);
      effect->IntParams = {prop.ReadInteger("centerx", 50), prop.ReadInteger("centery", 50)};
      effect->SetSmoothing(prop.ReadReal("smoothline", 0));
      break;
    case TEffectType::Gates:
    case TEffectType::Page:
      AppendFlags(effect->Flags, flags("direction"), kLineDirections);
      effect->SetSmoothing(prop.ReadReal("smoothline", 0));
      break;
    case TEffectType::Mosaic:
      AppendFlags(effect->Flags, flags("checked").empty() ? "1" : flags("checked"), 1);
      effect->IntParams = {prop.ReadInteger("cols", 1), prop.ReadInteger("rows", 1),
                           prop.ReadInteger("appearence", 0), 0};
      break;
    case TEffectType::Push:
    case TEffectType::Slide:
    case TEffectType::Swap:
      ReadFourWays(effect->Flags, flags("direction"));
      if (type == TEffectType::Swap)
        effect->FloatParams = {prop.ReadReal("depth", 4), prop.ReadReal("distance", 1),
                               prop.ReadReal("angle", 60)};
      break;
    case TEffectType::Curling: {
      AppendFlags(effect->Flags, flags("action"), kActionLength);
      // The direction is the block's own, read from its last character.
      std::string direction = prop.OwnText("direction");
      for (size_t i = 0; i < kCurlDirections; ++i)
        effect->Flags.push_back(FlagAt(direction, kCurlDirections - 1 - i));
      AppendFlags(effect->Flags, flags("usecolor"), 1);
      AppendFlags(effect->Flags, flags("usevolume"), 1);
      const TIniItem* colour = prop.FindKey("color");
      effect->IntParams = {prop.ReadInteger("pipe", 1),
                           static_cast<int32_t>(colour ? colour->ReadColour(0) : 0)};
      effect->FloatParams = {prop.ReadReal("radius", 0), prop.ReadReal("3dvolume", 0.125)};
      break;
    }
    case TEffectType::Flip:
      ReadFourWays(effect->Flags, flags("direction"));
      AppendFlags(effect->Flags, flags("spin_center"), 1);
      AppendFlags(effect->Flags, flags("nonlinear_speed"), 1);
      effect->FloatParams = {prop.ReadReal("3dvolume", 0.5)};
      break;
    case TEffectType::None:
    case TEffectType::Custom: break;
  }
  effect->VariantCount = VariantsOf(*effect);
  if (effect->VariantCount == 0) return nullptr;
  return effect;
}

TRef<TVivEffect> BuildCustomEffect(std::string name, TIniSection* section) {
  auto effect = MakeRef<TVivEffect>();
  effect->Type = TEffectType::Custom;
  effect->Name = std::move(name);
  effect->Section = TRef<TIniSection>(section);
  effect->VariantCount = 1;
  return effect;
}

double TFilterDescription::Param(std::string_view name, double otherwise) const {
  for (const auto& [key, value] : Params)
    if (key == name) return value;
  return otherwise;
}

std::optional<TFilterDescription> DescribeFilter(const TVivEffect& effect, double areaWidth,
                                                 double areaHeight) {
  const auto& f = effect.Flags;
  auto flag = [&](size_t i) { return i < f.size() && f[i]; };
  auto param = [](const auto& list, size_t i) { return i < list.size() ? double(list[i]) : 0.0; };
  switch (effect.Type) {
    case TEffectType::None:
    case TEffectType::Dissolve: return Filter("TAlphaFilter");
    case TEffectType::HourHand: {
      constexpr size_t kClockDirection = 4;
      if (flag(kActionLength + kClockDirection))
        return Filter("TClockEffect", {{"x", 0.5}, {"y", 0.5}, {"reverse", flag(1) ? 1.0 : 0.0}});
      // Broom kinds for the directions other than the clock, in flag order.
      constexpr std::pair<size_t, int> kBrooms[] = {{0, 8}, {1, 1}, {2, 5}, {3, 4},
                                                    {5, 2}, {6, 7}, {7, 3}, {8, 6}};
      for (auto [direction, kind] : kBrooms) {
        if (!flag(kActionLength + direction)) continue;
        double reach = (areaWidth + areaHeight) / 2 * param(effect.FloatParams, 0);
        return Filter("TBroomEffect", {{"kind", kind + (flag(1) ? 8 : 0)}, {"reach", reach}});
      }
      return std::nullopt;
    }
    case TEffectType::Shapes: {
      static constexpr const char* kShapes[kShapeDirections] = {"TCircleFilter", "TRhombFilter",
                                                                "TSquareFilter"};
      int direction = FirstSet(f, kActionLength, kActionLength + kShapeDirections);
      if (direction < 0) return std::nullopt;
      return Filter(kShapes[direction], {{"x", param(effect.IntParams, 0) / 100},
                                         {"y", param(effect.IntParams, 1) / 100},
                                         {"reverse", flag(0) ? 1.0 : 0.0}});
    }
    case TEffectType::Gates:
    case TEffectType::Page: return LineFilter(effect.Type, FirstSet(f, 0, kLineDirections));
    case TEffectType::Mosaic: {
      constexpr int32_t kFullAppearance = 1000;
      int32_t appearance = effect.IntParams.at(2) < 100 ? effect.IntParams.at(2) : kFullAppearance;
      return Filter("TRandomFilter", {{"cols", effect.IntParams.at(0)},
                                      {"seed", effect.IntParams.at(3)},
                                      {"rows", effect.IntParams.at(1)},
                                      {"appearance", appearance}});
    }
    case TEffectType::Push:
    case TEffectType::Slide:
    case TEffectType::Flip:
    case TEffectType::Swap: {
      int way = FirstSet(f, 0, kFourWays);
      if (way < 0) return std::nullopt;
      double kind = kFourWayKinds[way];
      if (effect.Type == TEffectType::Push) return Filter("TPushFilter", {{"direction", kind}});
      if (effect.Type == TEffectType::Slide) return Filter("TSlideFilter", {{"direction", kind}});
      if (effect.Type == TEffectType::Flip)
        return Filter("TOverturnEffect", {{"direction", kind},
                                          {"nonlinear_speed", flag(5) ? 1.0 : 0.0},
                                          {"spin_center", flag(4) ? 1.0 : 0.0},
                                          {"3dvolume", param(effect.FloatParams, 0)}});
      return Filter("TTwoSlidesEffect", {{"direction", kind},
                                         {"angle", param(effect.FloatParams, 2)},
                                         {"distance", param(effect.FloatParams, 1)},
                                         {"depth", param(effect.FloatParams, 0)}});
    }
    case TEffectType::Curling: {
      int direction = FirstSet(f, kActionLength, kActionLength + kCurlDirections);
      if (direction < 0) return std::nullopt;
      static constexpr int kCurlKinds[kCurlDirections] = {3, 4, 4, 3, 1, 2, 2, 1};
      bool diagonal = direction == 0 || direction == 2 || direction == 5 || direction == 7;
      constexpr size_t kUseColour = kActionLength + kCurlDirections;
      constexpr size_t kUseVolume = kUseColour + 1;
      return Filter("TRollEffect2",
                    {{"kind", kCurlKinds[direction] + (flag(1) ? 4 : 0)},
                     {"second", diagonal ? 15 : 14},
                     {"radius", std::trunc(areaWidth * param(effect.FloatParams, 0))},
                     {"pipe", param(effect.IntParams, 0) == 1 ? 1.0 : 0.0},
                     {"use_color", flag(kUseColour) ? 1.0 : 0.0},
                     {"color", static_cast<double>(static_cast<uint32_t>(effect.IntParams.at(1)))},
                     {"use_volume", flag(kUseVolume) ? 1.0 : 0.0},
                     {"3dvolume", param(effect.FloatParams, 1)}});
    }
    case TEffectType::Custom: {
      if (!effect.Section) return Filter("TAlphaFilter");
      TFilterDescription description = Filter("TRealSlideFilter");
      description.Section = effect.Section.Get();
      return description;
    }
  }
  return std::nullopt;
}

}  // namespace viv
