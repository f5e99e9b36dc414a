#include "show/effect_catalogue.h"

#include <algorithm>

#include "base/text.h"

namespace viv {
namespace {

constexpr std::string_view kEffectBlock = "TheEffect";
constexpr std::string_view kEffectClass = "AnEffect";
constexpr std::string_view kCheckedOption = "checked";

struct TBuiltinName {
  std::string_view Name;
  TBuiltinEffect Effect;
};

constexpr TBuiltinName kBuiltinNames[] = {
    {"default", TBuiltinEffect::Default},   {"defowntime", TBuiltinEffect::DefOwnTime},
    {"dissolve", TBuiltinEffect::Dissolve}, {"quick", TBuiltinEffect::Quick},
    {"hourhand", TBuiltinEffect::HourHand}, {"shapes", TBuiltinEffect::Shapes},
    {"gates", TBuiltinEffect::Gates},       {"page", TBuiltinEffect::Page},
    {"mosaic", TBuiltinEffect::Mosaic},     {"push", TBuiltinEffect::Push},
    {"slide", TBuiltinEffect::Slide},       {"curling", TBuiltinEffect::Curling},
    {"flip", TBuiltinEffect::Flip},         {"swap", TBuiltinEffect::Swap},
};

struct TPseudoEntry {
  std::string_view Name;
  std::string_view Group;
};

constexpr TPseudoEntry kPseudoEntries[] = {
    {"default", "GroupFromProjectOptions"},
    {"defowntime", "GroupFromProjectOptions"},
    {"quick", "GroupBasic"},
};

}  // namespace

TBuiltinEffect BuiltinByName(std::string_view refName) {
  for (const auto& builtin : kBuiltinNames)
    if (SameText(refName, builtin.Name)) return builtin.Effect;
  return TBuiltinEffect::Custom;
}

TBuiltinEffect BuiltinByNumber(int64_t stdidx) {
  if (stdidx < 0 || stdidx > static_cast<int64_t>(TBuiltinEffect::Swap))
    return TBuiltinEffect::Custom;
  return static_cast<TBuiltinEffect>(stdidx);
}

TOptionState OptionStringState(std::string_view option) {
  bool anyOn = option.find('1') != std::string_view::npos;
  if (!anyOn) return TOptionState::Off;
  if (option.front() == '1' && option.find('0') == std::string_view::npos)
    return TOptionState::FullyOn;
  return TOptionState::PartlyOn;
}

std::string SlideSectionName(int32_t slideIndex) {
  return "Slide" + std::to_string(int64_t{slideIndex} + 1);
}

// --- TEffectProp

TEffectProp::TEffectProp(const TVIVEffectManager& manager, TIniObject& block)
    : fManager(manager),
      fBlock(&block),
      fSlideReference(SameText(block.ClassName(), kEffectClass)) {
  fRefName = LowerCase(fSlideReference ? block.ReadText("ref", "default") : block.Name());
}

const TEffectProp* TEffectProp::Entry() const {
  if (!fSlideReference) return nullptr;
  return fManager.FindEntry(fRefName);
}

const TIniItem* TEffectProp::FindKey(std::string_view key) const {
  if (const TIniItem* own = fBlock->FindItem(key, TIniClass::Plain)) return own;
  if (!fSlideReference) return nullptr;
  const TEffectProp* entry = Entry();
  if (entry && !SameText(key, "time")) return entry->Block().FindItem(key, TIniClass::Plain);
  return fManager.ShowBlock().FindItem(key, TIniClass::Plain);
}

std::string TEffectProp::ReadText(std::string_view key, std::string_view defaultValue) const {
  const TIniItem* item = FindKey(key);
  return item ? item->ReadText() : std::string(defaultValue);
}

double TEffectProp::ReadReal(std::string_view key, double defaultValue) const {
  const TIniItem* item = FindKey(key);
  return item ? item->ReadReal(defaultValue) : defaultValue;
}

int32_t TEffectProp::ReadInteger(std::string_view key, int32_t defaultValue) const {
  const TIniItem* item = FindKey(key);
  return item ? item->ReadInteger(defaultValue) : defaultValue;
}

std::string TEffectProp::OwnText(std::string_view key) const {
  const TIniItem* item = fBlock->FindItem(key, TIniClass::Plain);
  return item ? item->ReadText() : std::string();
}

std::vector<std::string> TEffectProp::OptionNames() const {
  std::vector<std::string> names;
  std::string keys = ReadText("key");
  for (auto field : SplitFields(keys, ','))
    if (!field.empty()) names.emplace_back(field);
  return names;
}

TOptionState TEffectProp::State() const {
  auto names = OptionNames();
  if (names.empty()) names.emplace_back(kCheckedOption);
  bool allFull = true;
  for (const auto& name : names) {
    TOptionState state = OptionStringState(ReadText(name));
    if (state == TOptionState::Off) return TOptionState::Off;
    if (state != TOptionState::FullyOn) allFull = false;
  }
  return allFull ? TOptionState::FullyOn : TOptionState::PartlyOn;
}

TBuiltinEffect TEffectProp::Builtin() const {
  if (const TIniItem* stdidx = FindKey("stdidx")) {
    if (auto number = ParseInt64(stdidx->Value())) return BuiltinByNumber(*number);
  }
  if (fSlideReference) return BuiltinByName(fRefName);
  if (SameText(fBlock->ClassName(), "custom")) return TBuiltinEffect::Custom;
  return BuiltinByName(fBlock->ClassName());
}

int64_t TEffectProp::VariantCount() const {
  int64_t count = 1;
  for (const auto& name : OptionNames()) {
    count *= static_cast<int64_t>(ReadText(name).size());
    if (count == 0) return 0;
    // Authored entries have a handful of variants; a project claiming more is
    // not walked beyond this.
    if (count > kMaxVariants) return kMaxVariants;
  }
  return count;
}

bool TEffectProp::VariantEnabled(int64_t variant) const {
  auto names = OptionNames();
  if (names.empty()) return variant == 0 && Enabled();
  for (size_t i = names.size(); i-- > 0;) {
    std::string option = ReadText(names[i]);
    if (option.empty()) return false;
    int64_t length = static_cast<int64_t>(option.size());
    if (option[static_cast<size_t>(variant % length)] != '1') return false;
    variant /= length;
  }
  return true;
}

std::string TEffectProp::VariantKey(int64_t variant) const {
  auto names = OptionNames();
  if (names.empty()) return "slide_1";
  std::vector<std::string> parts(names.size());
  for (size_t i = names.size(); i-- > 0;) {
    size_t length = ReadText(names[i]).size();
    if (length == 0) return {};
    std::string oneHot(length, '0');
    oneHot[static_cast<size_t>(variant % static_cast<int64_t>(length))] = '1';
    variant /= static_cast<int64_t>(length);
    parts[i] = std::move(oneHot);
  }
  std::string key = "slide";
  for (const auto& part : parts) key += "_" + part;
  return key;
}

TIniSection* TEffectProp::VariantSection(int64_t variant) const {
  std::string key = VariantKey(variant);
  if (key.empty()) return nullptr;
  const TIniItem* item = FindKey(key);
  std::string value = item ? item->ReadText() : std::string();
  // An entry without options names its section after itself; a slide block
  // is named "TheEffect", so it goes by the entry it names.
  if (!item && OptionNames().empty()) value = fSlideReference ? fRefName : fBlock->Name();
  if (value.empty()) return nullptr;
  return fManager.Project().FindSection("effect_" + value);
}

// --- TVIVEffectManager

TVIVEffectManager::TVIVEffectManager(TRef<TIniFile> project, int32_t areaWidth, int32_t areaHeight)
    : fProject(std::move(project)), fAreaWidth(areaWidth), fAreaHeight(areaHeight) {
  VIV_ASSERT(fProject, "There is no IniFile for EffectRuller");
  TIniSection& main = fProject->FindOrCreateSection("Main");
  fShowBlock = main.FindObject(kEffectBlock, kEffectClass);
  if (!fShowBlock) {
    fShowBlock = &main.FindOrCreateObject(kEffectBlock, kEffectClass);
    fShowBlock->WriteInteger("time", kDefaultShowTime);
  }
  for (TIniObject* block = fShowBlock->FirstObject(); block;
       block = fShowBlock->NextObject(*block)) {
    fEntries.push_back(MakeRef<TEffectProp>(*this, *block));
    if (fEntries.back()->Enabled()) fAnyEnabled = true;
  }
  for (const auto& pseudo : kPseudoEntries) {
    if (fShowBlock->FindObject(pseudo.Name)) continue;
    auto block = MakeRef<TIniObject>(std::string(pseudo.Name), std::string(pseudo.Name));
    block->WriteText("caption", std::string(pseudo.Name));
    block->WriteText("group", std::string(pseudo.Group));
    // Never enabled: no option of theirs is on.
    block->WriteText("checked", "0");
    fEntries.push_back(MakeRef<TEffectProp>(*this, *block));
    fDetachedBlocks.push_back(std::move(block));
  }
}

const TEffectProp* TVIVEffectManager::FindEntry(std::string_view name) const {
  for (const auto& entry : fEntries)
    if (SameText(entry->Block().Name(), name)) return entry.Get();
  return nullptr;
}

int32_t TVIVEffectManager::ShowTime() const { return fShowBlock->ReadInteger("time", 0); }

const TEffectProp& TVIVEffectManager::SlideEffect(int32_t slideIndex) const {
  std::lock_guard guard(fSlideLock);
  slideIndex = std::max(slideIndex, 0);
  size_t index = static_cast<size_t>(slideIndex);
  // Slides are asked for in order from 0 while the show source is built.
  if (index >= fSlideEffects.size()) fSlideEffects.resize(index + 1);
  if (!fSlideEffects[index]) {
    TIniSection* section = fProject->FindSection(SlideSectionName(slideIndex));
    TIniObject* block = section ? section->FindObject(kEffectBlock, kEffectClass) : nullptr;
    if (!block) {
      auto assumed = MakeRef<TIniObject>(std::string(kEffectBlock), std::string(kEffectClass));
      assumed->WriteText("ref", "default");
      block = assumed.Get();
      fAssumedBlocks.push_back(std::move(assumed));
    }
    fSlideEffects[index] = MakeRef<TEffectProp>(*this, *block);
  }
  return *fSlideEffects[index];
}

}  // namespace viv
