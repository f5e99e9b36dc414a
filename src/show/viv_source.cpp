#include "show/viv_source.h"

#include <numeric>

#include "base/log.h"
#include "base/player_path.h"
#include "base/text.h"
#include "show/random_generator.h"

namespace viv {
namespace {

constexpr int32_t kSeedRange = 4096;

bool PlayerIsScreenSaver() { return EndsWithText(LastComponent(PlayerFilePath()), ".scr"); }

// A side of the presentation: the key is created (without value) when missing,
// which keeps the default, and so does a side of no length, which would
// mirror or collapse the slide area.
int32_t ReadPresentationSide(TIniSection* section, std::string_view key, int32_t defaultValue) {
  if (!section) return defaultValue;
  int32_t side = section->FindOrCreateItem(key).ReadInteger(defaultValue);
  if (side > 0) return side;
  LogLine(std::string(key) + " " + std::to_string(side) + " is no size; using " +
          std::to_string(defaultValue));
  return defaultValue;
}

}  // namespace

TVivSource::TVivSource(TRef<TFileAccessor> accessor, TRef<TIniFile> project)
    : fAccessor(std::move(accessor)), fProject(std::move(project)) {
  VIV_ASSERT(fAccessor && fProject, "TVivSource needs an accessor and a project");
  fMain = fProject->FindSection("Main");
  fTimes = fProject->FindSection("Times");

  fWidth = ReadPresentationSide(fMain, "opt_scr_width", kDefaultWidth);
  fHeight = ReadPresentationSide(fMain, "opt_scr_height", kDefaultHeight);
  fEffects = MakeRef<TVIVEffectManager>(fProject, fWidth, fHeight);
  fMain = fProject->FindSection("Main");  // the manager may have made it

  // Only a player file named ".scr" runs a screen saver, whatever the project says.
  fScreenSaver = PlayerIsScreenSaver();
  if (fScreenSaver) {
    for (auto [key, value] :
         {std::pair{"opt_ssaver", "1"}, std::pair{"opt_fcp", "0"}, std::pair{"opt_hidecursor", "1"},
          std::pair{"opt_scr_full", "1"}, std::pair{"opt_repeat", "repeat"}})
      fProject->PathLookup(std::string("Main:") + key)->SetValue(value);
  } else {
    fProject->PathLookup("Main:opt_ssaver")->SetValue("0");
  }
  fMain = fProject->FindSection("Main");

  fPauseWhenInactive = fMain ? fMain->ReadBool("opt_pausewheninactive", true) : true;
  int repeat = fMain ? fMain->ReadIndex("opt_repeat", {"repeat", "close", "stop"}, 0) : 0;
  fRepeatMode = static_cast<TRepeatMode>(repeat);
  uint32_t hider = fMain ? static_cast<uint32_t>(fMain->ReadInteger("opt_scr_hidercolor", 0)) : 0;
  fHider = {static_cast<uint8_t>(hider & 0xFF), static_cast<uint8_t>((hider >> 8) & 0xFF),
            static_cast<uint8_t>((hider >> 16) & 0xFF)};
  fUnsharpAmount = fMain ? fMain->ReadReal("opt_scr_unsharpamount", 0) : 0;
  fShowTransitionTime = fEffects->ShowBlock().ReadReal("time", 0);

  BuildRandomList();
  fTimeline = std::make_unique<TSlideTimeline>(*fProject, *fEffects, fRepeatMode);
}

TIniSection* TVivSource::SlideSection(int32_t index) const {
  return fProject->FindSection(SlideSectionName(index));
}

void TVivSource::BuildRandomList() {
  for (size_t i = 0; i < fEffects->EntryCount(); ++i) {
    const TEffectProp& entry = fEffects->EntryAt(i);
    if (!entry.Enabled()) continue;
    TBuiltinEffect builtin = entry.Builtin();
    if (builtin != TBuiltinEffect::Custom) {
      if (auto effect = BuildEffect(entry, EffectTypeOf(builtin))) fRandomList.push_back(effect);
      continue;
    }
    for (TIniSection* section : entry.KeyedVariantSections())
      fRandomList.push_back(BuildCustomEffect(entry.RefName(), section));
  }
  fOrder.resize(fRandomList.size());
  std::iota(fOrder.begin(), fOrder.end(), size_t{0});
  Shuffle();
}

void TVivSource::Shuffle() {
  TRandomGenerator& random = ShowRandom();
  random.ReseedFromClock();
  size_t n = fOrder.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    size_t other = static_cast<size_t>(random.Random(static_cast<int32_t>(n - i)));
    if (other != i) std::swap(fOrder[i], fOrder[other]);
  }
}

TRef<TVivEffect> TVivSource::NextRandomEffect() {
  size_t n = fRandomList.size();
  if (n == 0) return nullptr;
  size_t k = static_cast<size_t>(fChoiceCounter % n);
  ++fChoiceCounter;
  if (k == 0) Shuffle();
  const TVivEffect& prototype = *fRandomList[fOrder[k]];
  int64_t count = prototype.VariantCount;
  int64_t variant = ShowRandom().Random(static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX)));
  // Consecutive choices alternate between even and odd variant numbers.
  if ((variant % 2 == 1) != fWantOddVariant) {
    ++variant;
    if (variant >= count) variant = 0;
  }
  fWantOddVariant = !fWantOddVariant;
  auto effect = prototype.Copy();
  effect->KeepVariant(variant);
  return effect;
}

TEffectChoice TVivSource::ChooseEffect(int32_t index) {
  const TEffectProp& block = fEffects->SlideEffect(index);
  TEffectChoice choice;
  choice.Time = block.ReadReal("time", 0);
  choice.Smoothing = block.ReadReal("smoothline", 0);
  const std::string& ref = block.RefName();
  if (ref == "default" || ref == "defowntime") {
    choice.Effect = NextRandomEffect();
    if (ref == "default") choice.Time = fShowTransitionTime;
    if (choice.Effect) choice.Smoothing = choice.Effect->Smoothing;
  } else if (ref == "quick") {
    return {};
  } else if (TEffectType type = EffectTypeOf(BuiltinByName(ref));
             type != TEffectType::Custom && type != TEffectType::None) {
    choice.Effect = BuildEffect(block, type);
  } else {
    choice.Effect = BuildCustomEffect(ref, block.FirstEnabledSection());
  }
  if (choice.Effect && choice.Effect->Type == TEffectType::Mosaic) {
    int32_t high = ShowRandom().Random(kSeedRange);
    choice.Effect->IntParams.at(3) = high * kSeedRange + ShowRandom().Random(kSeedRange);
  }
  if (choice.Time == 0) choice.Effect.Reset();
  return choice;
}

TRef<TVivSource> ShowSource(TVivShowLocator& show) {
  auto source = show.SourceOrMake([&show]() -> TRef<TRefObject> {
    return MakeRef<TVivSource>(show.AccessorRef(), show.ProjectRef());
  });
  return TRef<TVivSource>(static_cast<TVivSource*>(source.Get()));
}

}  // namespace viv
