// Modifiers: `Mod` blocks of a keyframe whose expression replaces, during the
// segment that starts at the keyframe, either one group's time fraction or
// one parameter's value.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/animation/anim_params.h"
#include "model/animation/expression.h"
#include "model/object_filter.h"

namespace viv {

struct TModInputs {
  // The groups' current time fractions, after each group's own time modifier.
  std::array<double, kGroupCount> Fractions{};
  // The parameters as computed so far; none stands for the defaults.
  const TAnimValues* Values = nullptr;
  // The target itself: its fraction for a group target, its interpolated
  // value for a parameter target.
  double Value = 0;
};

enum class TModTarget { GroupTime, ParamValue };

// One `pinfo` description; stored for editors, never used in evaluation.
struct TModParamDesc {
  std::string Name;
  std::string Id;
  TParamType Type = TParamType::String;    // also for an unknown type
  std::string Range;                       // as written
  double Min = 0, Max = 100, Default = 0;  // read from Range for Int and Float
};

class TVivObjectMod : public TObjectFilter {
 public:
  static constexpr size_t kMaxExpressionLength = 256;  // bytes; expressions are ASCII

  // None for an empty `dst` or `fn`, an `fn` longer than kMaxExpressionLength,
  // an unknown target or an expression that does not compile; *whyNot then
  // says which.
  static TRef<TVivObjectMod> Read(const TIniObject& modBlock, std::string* whyNot = nullptr);

  // True when the block holds the same keys with the same values, so that a
  // keyframe read again can keep this modifier.
  bool Accepts(const TIniObject& modBlock) const;

  TModTarget TargetKind() const { return fTargetKind; }
  // The group index for GroupTime, the parameter index for ParamValue.
  int TargetIndex() const { return fTargetIndex; }
  // The group whose fraction "t" reads.
  int TargetGroup() const;

  // The expression's value; the target's own value when ReadParams() was
  // last given a block that does not compile.
  double Evaluate(const TModInputs& inputs) const;

  const std::string& Expression() const { return fExpression; }
  // Empty only after such a ReadParams().
  const TCalcCmdList& Program() const { return fProgram ? *fProgram : kNoProgram; }
  const std::vector<TModParamDesc>& ParamDescs() const { return fParamDescs; }
  int32_t DeclaredParamCount() const { return fDeclaredParamCount; }  // `pcount`
  const std::string& PresetName() const { return fPresetName; }
  int32_t PresetIndex() const { return fPresetIndex; }  // -1 when none
  const std::string& State() const { return fState; }

  double EvaluateValue(const TModInputs& inputs) const override { return Evaluate(inputs); }
  // Reads every key and compiles the expression; Read() is the way to make one.
  void ReadParams(const TIniObject& block) override;
  int LutKind() const override { return kLutKindValue; }
  std::span<const TFilterParamInfo> ParamInfos() const override { return fParamInfos; }
  // The preset's name, or the target when there is none.
  std::string Caption() const override;
  // Parameters are the constants the `pinfo` descriptions name by their id.
  std::string GetParamText(int index) const override;
  // Sets the constant and compiles again; ignored when the expression would
  // then not compile (a divisor that became 0).
  void SetParamText(int index, std::string_view text) override;

 private:
  struct TConstant {
    std::string Text;
    double Value = 0;
  };

  static inline const TCalcCmdList kNoProgram;

  bool Compile(std::string* whyNot);
  std::optional<TCalcName> Resolve(std::string_view name) const;

  bool fValid = false;
  std::string fWhyNot;
  // Every plain key of the block by folded name (a later duplicate wins).
  std::map<std::string, std::string> fKeys;
  std::map<std::string, TConstant> fConstants;  // by folded name
  std::string fTargetText;
  TModTarget fTargetKind = TModTarget::ParamValue;
  int fTargetIndex = -1;
  std::string fExpression;
  std::optional<TCalcCmdList> fProgram;
  std::vector<TModParamDesc> fParamDescs;
  std::vector<TFilterParamInfo> fParamInfos;
  int32_t fDeclaredParamCount = 0;
  std::string fPresetName;
  int32_t fPresetIndex = -1;
  std::string fState;
};

// "Pos.t" or "Pos.T": that group's index; -1 for anything else.
int FindGroupFractionName(std::string_view name);

// Whether a key of a `Mod` block is one of its own keys, never a constant:
// dst, fn, pcount, pinfo0, pinfo1, ..., Preset, state, id.
bool IsModOwnKey(std::string_view key);

}  // namespace viv
