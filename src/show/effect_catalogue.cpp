#include "show/effect_catalogue.h"

#include <algorithm>
#include <map>
#include <optional>

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

std::vector<std::string_view> TEffectProp::OptionStrings() const {
  std::vector<std::string_view> options;
  for (const auto& name : OptionNames()) {
    const TIniItem* item = FindKey(name);
    options.push_back(item ? std::string_view(item->Value()) : std::string_view());
  }
  return options;
}

TOptionState TEffectProp::State() const {
  std::vector<std::string_view> options = OptionStrings();
  if (options.empty()) {
    const TIniItem* checked = FindKey(kCheckedOption);
    options.push_back(checked ? std::string_view(checked->Value()) : std::string_view());
  }
  bool allFull = true;
  for (std::string_view option : options) {
    TOptionState state = OptionStringState(option);
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

namespace {

// The product of the counts, stopping at the largest 64-bit number.
int64_t SaturatingProduct(const std::vector<int64_t>& counts) {
  int64_t product = 1;
  for (int64_t count : counts) {
    if (count == 0) return 0;
    if (__builtin_mul_overflow(product, count, &product)) product = INT64_MAX;
  }
  return product;
}

// One character position per option for a variant number, from the last
// option to the first; none when an option is empty.
std::optional<std::vector<size_t>> VariantDigits(int64_t variant,
                                                 const std::vector<std::string_view>& options) {
  std::vector<size_t> digits(options.size());
  for (size_t i = options.size(); i-- > 0;) {
    auto length = static_cast<int64_t>(options[i].size());
    if (length == 0) return std::nullopt;
    digits[i] = static_cast<size_t>(variant % length);
    variant /= length;
  }
  return digits;
}

std::string KeyOfDigits(const std::vector<size_t>& digits,
                        const std::vector<std::string_view>& options) {
  std::string key = "slide";
  for (size_t i = 0; i < digits.size(); ++i) {
    key += '_';
    size_t at = key.size();
    key.append(options[i].size(), '0');
    key[at + digits[i]] = '1';
  }
  return key;
}

bool DigitsEnabled(const std::vector<size_t>& digits,
                   const std::vector<std::string_view>& options) {
  for (size_t i = 0; i < digits.size(); ++i)
    if (options[i][digits[i]] != '1') return false;
  return true;
}

// The digits a variant key stands for: "slide" and, per option, "_" and a
// one-hot part of the option's length. None for any other name.
std::optional<std::vector<size_t>> DigitsOfKey(std::string_view key,
                                               const std::vector<std::string_view>& options) {
  constexpr std::string_view kPrefix = "slide";
  if (key.size() < kPrefix.size() || !SameText(key.substr(0, kPrefix.size()), kPrefix))
    return std::nullopt;
  key.remove_prefix(kPrefix.size());
  std::vector<size_t> digits;
  for (std::string_view option : options) {
    if (key.size() < option.size() + 1 || key[0] != '_') return std::nullopt;
    std::string_view part = key.substr(1, option.size());
    auto ones = std::count(part.begin(), part.end(), '1');
    auto zeros = std::count(part.begin(), part.end(), '0');
    if (ones != 1 || zeros + 1 != static_cast<std::ptrdiff_t>(part.size())) return std::nullopt;
    digits.push_back(part.find('1'));
    key.remove_prefix(option.size() + 1);
  }
  if (!key.empty()) return std::nullopt;
  return digits;
}

}  // namespace

int64_t TEffectProp::VariantCount() const {
  std::vector<int64_t> lengths;
  for (std::string_view option : OptionStrings())
    lengths.push_back(static_cast<int64_t>(option.size()));
  return SaturatingProduct(lengths);
}

int64_t TEffectProp::EnabledVariantCount() const {
  if (OptionNames().empty()) return Enabled() ? 1 : 0;
  std::vector<int64_t> ones;
  for (std::string_view option : OptionStrings())
    ones.push_back(static_cast<int64_t>(std::count(option.begin(), option.end(), '1')));
  return SaturatingProduct(ones);
}

bool TEffectProp::VariantEnabled(int64_t variant) const {
  std::vector<std::string_view> options = OptionStrings();
  if (options.empty()) return variant == 0 && Enabled();
  auto digits = VariantDigits(variant, options);
  return digits && DigitsEnabled(*digits, options);
}

std::string TEffectProp::VariantKey(int64_t variant) const {
  std::vector<std::string_view> options = OptionStrings();
  if (options.empty()) return "slide_1";
  auto digits = VariantDigits(variant, options);
  return digits ? KeyOfDigits(*digits, options) : std::string();
}

TIniSection* TEffectProp::SectionOfKey(const std::string& key) const {
  if (key.empty()) return nullptr;
  const TIniItem* item = FindKey(key);
  std::string value = item ? item->ReadText() : std::string();
  // An entry without options names its section after itself; a slide block
  // is named "TheEffect", so it goes by the entry it names.
  if (!item && OptionNames().empty()) value = fSlideReference ? fRefName : fBlock->Name();
  if (value.empty()) return nullptr;
  return fManager.Project().FindSection("effect_" + value);
}

TIniSection* TEffectProp::VariantSection(int64_t variant) const {
  return SectionOfKey(VariantKey(variant));
}

TIniSection* TEffectProp::FirstEnabledSection() const {
  std::vector<std::string_view> options = OptionStrings();
  if (options.empty()) return Enabled() ? SectionOfKey("slide_1") : nullptr;
  // The first option counts slowest: the first "1" of each is the first variant.
  std::vector<size_t> digits;
  for (std::string_view option : options) {
    size_t one = option.find('1');
    if (one == std::string_view::npos) return nullptr;
    digits.push_back(one);
  }
  return SectionOfKey(KeyOfDigits(digits, options));
}

std::vector<TIniSection*> TEffectProp::KeyedVariantSections() const {
  std::vector<std::string_view> options = OptionStrings();
  if (options.empty()) {
    if (!Enabled()) return {};
    return {SectionOfKey("slide_1")};
  }
  // Variant order is the order of the digits, the first option first.
  std::map<std::vector<size_t>, std::string> keyed;
  for (const auto& child : fBlock->Children()) {
    if (!child->HasName() || child->AsList()) continue;
    auto digits = DigitsOfKey(child->Name(), options);
    if (digits && DigitsEnabled(*digits, options)) keyed.emplace(std::move(*digits), child->Name());
  }
  std::vector<TIniSection*> sections;
  for (const auto& [digits, key] : keyed) sections.push_back(SectionOfKey(key));
  return sections;
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
