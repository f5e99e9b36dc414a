// The transition record of a slide and the drawing filter it selects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/ref_object.h"
#include "project/ini_tree.h"
#include "show/effect_catalogue.h"

namespace viv {

enum class TEffectType : int {
  None = 0,
  Dissolve = 1,
  HourHand = 2,
  Shapes = 3,
  Gates = 4,
  Page = 5,
  Mosaic = 6,
  Push = 7,
  Slide = 8,
  Curling = 9,
  Flip = 10,
  Swap = 11,
  Custom = 12,
};

// The effect type a built-in number stands for; None for the pseudo entries.
TEffectType EffectTypeOf(TBuiltinEffect builtin);

class TVivEffect : public TRefObject {
 public:
  static constexpr double kHardEdge = 0.001;

  TEffectType Type = TEffectType::None;
  double Smoothing = kHardEdge;  // values below 0.1 are stored as kHardEdge
  int64_t VariantCount = 0;
  std::vector<int32_t> IntParams;
  std::vector<double> FloatParams;
  std::vector<bool> Flags;
  std::string Name;
  TRef<TIniSection> Section;  // custom effects

  void SetSmoothing(double value) { Smoothing = value < 0.1 ? kHardEdge : value; }
  TRef<TVivEffect> Copy() const;
  // Keeps variant v only: one flag, or one (action, direction) pair.
  void KeepVariant(int64_t variant);
};

// The effect a block describes for a built-in type, or none when no variant is
// enabled. Keys come through the block's inheritance.
TRef<TVivEffect> BuildEffect(const TEffectProp& prop, TEffectType type);
// A custom effect holding a section (none: drawn as a cross-fade).
TRef<TVivEffect> BuildCustomEffect(std::string name, TIniSection* section);

// The drawing filter an effect selects, with its parameters. Points are
// fractions of the slide area from its left-top corner.
struct TFilterDescription {
  std::string ClassName;
  std::vector<std::pair<std::string, double>> Params;
  TIniSection* Section = nullptr;  // TRealSlideFilter

  double Param(std::string_view name, double otherwise = 0) const;
};

// None when the effect's flags select nothing.
std::optional<TFilterDescription> DescribeFilter(const TVivEffect& effect, double areaWidth,
                                                 double areaHeight);

}  // namespace viv
