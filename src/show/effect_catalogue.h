// The show-wide catalogue of transitions, the transition blocks of slides and
// their option model.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/ref_object.h"
#include "project/ini_tree.h"

namespace viv {

class TVIVEffectManager;

// Built-in effect numbers ("stdidx").
enum class TBuiltinEffect : int {
  Default = 0,
  DefOwnTime = 1,
  Dissolve = 2,
  Quick = 3,
  HourHand = 4,
  Shapes = 5,
  Gates = 6,
  Page = 7,
  Mosaic = 8,
  Push = 9,
  Slide = 10,
  Curling = 11,
  Flip = 12,
  Swap = 13,
  Custom = 14,  // any other number, or none
};

// The built-in number of a ref name ("dissolve" -> Dissolve), Custom for others.
TBuiltinEffect BuiltinByName(std::string_view refName);
TBuiltinEffect BuiltinByNumber(int64_t stdidx);

// How much of an option (or of an entry) is switched on.
enum class TOptionState { Off, PartlyOn, FullyOn };
TOptionState OptionStringState(std::string_view option);

// One transition block: a catalogue entry, or a slide's block (class "AnEffect")
// that names an entry or asks for a random choice.
class TEffectProp : public TRefObject {
 public:
  TEffectProp(const TVIVEffectManager& manager, TIniObject& block);

  TIniObject& Block() const { return *fBlock; }
  // Lower case: a slide block's "ref" (default "default"), else the entry's name.
  const std::string& RefName() const { return fRefName; }
  bool IsSlideReference() const { return fSlideReference; }
  // The catalogue entry a slide block names; none for entries and unknown names.
  const TEffectProp* Entry() const;

  // A key of the block itself wins, even when empty; otherwise the named entry
  // supplies it ("time" then comes from the show-wide block), and a name the
  // catalogue does not know takes the show-wide block's key.
  const TIniItem* FindKey(std::string_view key) const;
  std::string ReadText(std::string_view key, std::string_view defaultValue = {}) const;
  double ReadReal(std::string_view key, double defaultValue) const;
  int32_t ReadInteger(std::string_view key, int32_t defaultValue) const;
  // The block's own key, without inheritance.
  std::string OwnText(std::string_view key) const;

  // The option names of "key"; empty means the single option "checked".
  std::vector<std::string> OptionNames() const;
  TOptionState State() const;
  bool Enabled() const { return State() != TOptionState::Off; }
  TBuiltinEffect Builtin() const;

  // Variants of a custom entry: every combination of option characters, the
  // last option's character counting fastest. Counts stop at the largest
  // 64-bit number; single variants are decoded digit by digit, so no count
  // is walked.
  int64_t VariantCount() const;
  int64_t EnabledVariantCount() const;
  bool VariantEnabled(int64_t variant) const;
  std::string VariantKey(int64_t variant) const;
  // "effect_" + the variant key's value; none when the key or the section is missing.
  TIniSection* VariantSection(int64_t variant) const;
  // The section of the first enabled variant (none when there is none).
  TIniSection* FirstEnabledSection() const;
  // The enabled variants that have a key of the block's own, in variant order,
  // each as its section (none where the section is missing). Found from the
  // keys the block holds, however many variants the options make.
  std::vector<TIniSection*> KeyedVariantSections() const;

 private:
  // The option strings named in "key", as views into the project, which must
  // not change while they are used.
  std::vector<std::string_view> OptionStrings() const;
  TIniSection* SectionOfKey(const std::string& key) const;

 private:
  const TVIVEffectManager& fManager;
  TRef<TIniObject> fBlock;
  std::string fRefName;
  bool fSlideReference;
};

// The catalogue of a project.
class TVIVEffectManager : public TRefObject {
 public:
  static constexpr int32_t kDefaultShowTime = 2000;

  // Creates the show-wide block in memory ("time" 2000) when [main] has none.
  TVIVEffectManager(TRef<TIniFile> project, int32_t areaWidth, int32_t areaHeight);

  int32_t AreaWidth() const { return fAreaWidth; }
  int32_t AreaHeight() const { return fAreaHeight; }
  TIniFile& Project() const { return *fProject; }
  TIniObject& ShowBlock() const { return *fShowBlock; }

  // Real entries in block order, then the pseudo entries "default",
  // "defowntime" and "quick" unless the catalogue has them.
  size_t EntryCount() const { return fEntries.size(); }
  const TEffectProp& EntryAt(size_t index) const { return *fEntries[index]; }
  const TEffectProp* FindEntry(std::string_view name) const;
  // The show-wide "time" as an integer (0 when the key is missing).
  int32_t ShowTime() const;
  bool AnyEnabled() const { return fAnyEnabled; }

  // The transition block of slide i, made on first request and kept; a slide
  // without a block gets one with "ref" "default".
  const TEffectProp& SlideEffect(int32_t slideIndex) const;

 private:
  TRef<TIniFile> fProject;
  int32_t fAreaWidth;
  int32_t fAreaHeight;
  TIniObject* fShowBlock = nullptr;
  std::vector<TRef<TEffectProp>> fEntries;
  std::vector<TRef<TIniObject>> fDetachedBlocks;  // pseudo entries
  bool fAnyEnabled = false;

  mutable std::mutex fSlideLock;
  mutable std::vector<TRef<TEffectProp>> fSlideEffects;
  mutable std::vector<TRef<TIniObject>> fAssumedBlocks;  // slides without a block
};

// The section of slide i: "Slide" + (i + 1).
std::string SlideSectionName(int32_t slideIndex);

}  // namespace viv
