#include "model/animation/object_mod.h"

#include <algorithm>

#include "base/text.h"
#include "project/value_syntax.h"

namespace viv {
namespace {

// Run-time slots of a modifier program.
constexpr int kFractionSlot = 0;                         // + group
constexpr int kParamSlot = kFractionSlot + kGroupCount;  // + parameter
constexpr int kValueSlot = kParamSlot + kParamCount;
constexpr size_t kSlotCount = kValueSlot + 1;

constexpr std::string_view kTargetKey = "dst";
constexpr std::string_view kExpressionKey = "fn";
constexpr std::string_view kParamCountKey = "pcount";
constexpr std::string_view kParamInfoKey = "pinfo";
constexpr std::string_view kPresetKey = "Preset";
constexpr std::string_view kStateKey = "state";
constexpr std::string_view kIdKey = "id";
constexpr char kPresetSeparator = '#';
constexpr char kParamFieldSeparator = ';';
constexpr char kParamValueSeparator = ':';

struct TParsedTarget {
  TModTarget Kind;
  int Index;
};

std::optional<TParsedTarget> ParseTarget(std::string_view dst) {
  if (int param = FindParamByName(dst); param >= 0)
    return TParsedTarget{TModTarget::ParamValue, param};
  if (int group = FindGroupFractionName(dst); group >= 0)
    return TParsedTarget{TModTarget::GroupTime, group};
  return std::nullopt;
}

std::optional<TParamType> ParamTypeByName(std::string_view name) {
  static constexpr std::pair<std::string_view, TParamType> kTypes[] = {
      {"String", TParamType::String}, {"Int", TParamType::Int},     {"Float", TParamType::Float},
      {"Color", TParamType::Color},   {"Combo", TParamType::Combo},
  };
  for (const auto& [typeName, type] : kTypes)
    if (SameText(typeName, name)) return type;
  return std::nullopt;
}

TModParamDesc ParseParamDesc(std::string_view text) {
  TModParamDesc desc;
  for (std::string_view field : SplitFields(text, kParamFieldSeparator)) {
    size_t colon = field.find(kParamValueSeparator);
    if (colon == std::string_view::npos) continue;
    std::string_view name = field.substr(0, colon), value = field.substr(colon + 1);
    if (SameText(name, "name"))
      desc.Name = value;
    else if (SameText(name, "id"))
      desc.Id = value;
    else if (SameText(name, "type"))
      desc.Type = ParamTypeByName(value).value_or(TParamType::String);
    else if (SameText(name, "range"))
      desc.Range = value;
  }
  if (desc.Type == TParamType::Int || desc.Type == TParamType::Float) {
    TCommaList range(desc.Range, ',');
    desc.Min = range.ReadReal(0, 0);
    desc.Max = range.ReadReal(1, 100);
    desc.Default = range.ReadReal(2, 0);
  }
  return desc;
}

// Folded name to value; a later duplicate wins, as in lookups.
std::map<std::string, std::string> PlainKeys(const TIniObject& block) {
  std::map<std::string, std::string> keys;
  for (const TRef<TIniItem>& child : block.Children())
    if (child->HasName() && !child->AsList()) keys[FoldCase(child->Name())] = child->Value();
  return keys;
}

}  // namespace

int FindGroupFractionName(std::string_view name) {
  if (name.size() < 3 || name[name.size() - 2] != '.') return -1;
  char t = name.back();
  if (t != 't' && t != 'T') return -1;
  return FindGroupByName(name.substr(0, name.size() - 2));
}

bool IsModOwnKey(std::string_view key) {
  for (std::string_view own :
       {kTargetKey, kExpressionKey, kParamCountKey, kPresetKey, kStateKey, kIdKey})
    if (SameText(key, own)) return true;
  if (!StartsWithText(key, kParamInfoKey)) return false;
  std::string_view number = key.substr(kParamInfoKey.size());
  return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TRef<TVivObjectMod> TVivObjectMod::Read(const TIniObject& modBlock, std::string* whyNot) {
  auto mod = MakeRef<TVivObjectMod>();
  mod->AttachBlock(modBlock);
  mod->ReadParams(modBlock);
  if (!mod->fValid) {
    if (whyNot) *whyNot = mod->fWhyNot;
    return nullptr;
  }
  return mod;
}

void TVivObjectMod::ReadParams(const TIniObject& block) {
  fKeys = PlainKeys(block);
  fConstants.clear();
  for (const TRef<TIniItem>& child : block.Children()) {
    if (!child->HasName() || child->AsList() || IsModOwnKey(child->Name())) continue;
    fConstants[FoldCase(child->Name())] = {child->Value(), child->ReadReal(0)};
  }

  fState = block.ReadText(kStateKey);
  std::string preset = block.ReadText(kPresetKey);
  size_t hash = preset.rfind(kPresetSeparator);
  fPresetName = preset.substr(0, hash);
  fPresetIndex = hash == std::string::npos
                     ? -1
                     : ParseInt32(std::string_view(preset).substr(hash + 1)).value_or(-1);

  // pcount is untrusted: there cannot be more descriptions than keys.
  fDeclaredParamCount = block.ReadInteger(kParamCountKey, 0);
  int32_t count = std::clamp<int64_t>(fDeclaredParamCount, 0, static_cast<int64_t>(block.Count()));
  fParamDescs.clear();
  fParamInfos.clear();
  for (int32_t i = 0; i < count; ++i) {
    TIniItem* item =
        block.FindItem(std::string(kParamInfoKey) + std::to_string(i), TIniClass::Plain);
    if (!item) continue;
    TModParamDesc desc = ParseParamDesc(item->Value());
    fParamInfos.push_back({desc.Id, desc.Name, desc.Type, desc.Min, desc.Max, desc.Default});
    fParamDescs.push_back(std::move(desc));
  }

  fTargetText = block.ReadText(kTargetKey);
  fExpression = block.ReadText(kExpressionKey);
  fValid = Compile(&fWhyNot);
  MarkChanged();
}

bool TVivObjectMod::Compile(std::string* whyNot) {
  fProgram.reset();
  if (fTargetText.empty()) return *whyNot = "empty dst", false;
  if (fExpression.empty()) return *whyNot = "empty fn", false;
  if (fExpression.size() > kMaxExpressionLength)
    return *whyNot = "fn longer than " + std::to_string(kMaxExpressionLength) + " characters",
           false;
  std::optional<TParsedTarget> target = ParseTarget(fTargetText);
  if (!target) return *whyNot = "unknown target " + fTargetText, false;
  fTargetKind = target->Kind;
  fTargetIndex = target->Index;
  TCalcError error;
  fProgram = CompileExpression(
      fExpression, [this](std::string_view name) { return Resolve(name); }, &error);
  if (!fProgram)
    return *whyNot = error.Message + " at " + std::to_string(error.Position + 1), false;
  return true;
}

int TVivObjectMod::TargetGroup() const {
  return fTargetKind == TModTarget::GroupTime ? fTargetIndex : GroupOfParam(fTargetIndex);
}

std::optional<TCalcName> TVivObjectMod::Resolve(std::string_view name) const {
  if (name == "t" || name == "T") return TCalcName::Variable(kFractionSlot + TargetGroup());
  if (int group = FindGroupFractionName(name); group >= 0)
    return TCalcName::Variable(kFractionSlot + group);
  if (SameText(name, "value")) return TCalcName::Variable(kValueSlot);
  if (auto it = fConstants.find(FoldCase(name)); it != fConstants.end())
    return TCalcName::Constant(it->second.Value);
  if (int param = FindParamByName(name); param >= 0) return TCalcName::Variable(kParamSlot + param);
  return std::nullopt;
}

double TVivObjectMod::Evaluate(const TModInputs& inputs) const {
  // Read again from a block that does not compile: the modifier passes its input through.
  if (!fProgram) return inputs.Value;
  static const TAnimValues kDefaults = DefaultAnimValues();
  const TAnimValues& values = inputs.Values ? *inputs.Values : kDefaults;
  std::array<double, kSlotCount> slots;
  for (int g = 0; g < kGroupCount; ++g) slots[kFractionSlot + g] = inputs.Fractions[g];
  for (int p = 0; p < kParamCount; ++p) slots[kParamSlot + p] = values[p];
  slots[kValueSlot] = inputs.Value;
  return fProgram->Evaluate(slots);
}

bool TVivObjectMod::Accepts(const TIniObject& modBlock) const {
  return PlainKeys(modBlock) == fKeys;
}

std::string TVivObjectMod::Caption() const {
  return fPresetName.empty() ? fTargetText : fPresetName;
}

std::string TVivObjectMod::GetParamText(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= fParamInfos.size()) return {};
  auto it = fConstants.find(FoldCase(fParamInfos[static_cast<size_t>(index)].Name));
  return it == fConstants.end() ? std::string() : it->second.Text;
}

void TVivObjectMod::SetParamText(int index, std::string_view text) {
  if (index < 0 || static_cast<size_t>(index) >= fParamInfos.size()) return;
  const std::string& id = fParamInfos[static_cast<size_t>(index)].Name;
  if (id.empty() || IsModOwnKey(id)) return;
  std::string folded = FoldCase(id);
  auto oldKeys = fKeys;
  auto oldConstants = fConstants;
  std::optional<TCalcCmdList> oldProgram = std::move(fProgram);
  TConstant& constant = fConstants[folded];
  double oldValue = constant.Value;
  constant = {std::string(text), ParseReal(text).value_or(0)};
  fKeys[folded] = std::string(text);
  std::string whyNot;
  if (!Compile(&whyNot)) {
    fKeys = std::move(oldKeys);
    fConstants = std::move(oldConstants);
    fProgram = std::move(oldProgram);
    return;
  }
  if (fConstants[folded].Value != oldValue) MarkChanged();
}

}  // namespace viv
