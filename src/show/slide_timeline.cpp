#include "show/slide_timeline.h"

#include <algorithm>
#include <cmath>

#include "base/clamped_numbers.h"
#include "base/log.h"
#include "base/text.h"
#include "show/effect_catalogue.h"

namespace viv {
namespace {

constexpr double kLeadInStart = -1073741823.0;
constexpr double kBeforeLeadInStart = -2147483647.0;
// A second step back within this time of reaching a slide goes one slide further.
constexpr double kPreviousSlideGrace = 500;

int32_t ParseTimeValue(const TIniItem* item) {
  return item ? ParseInt32(item->Value()).value_or(0) : 0;
}

std::string IdFromPicture(std::string picture) {
  if (!picture.empty() && picture.back() == '\\') picture.pop_back();
  size_t slash = picture.find_last_of('\\');
  std::string name = slash == std::string::npos ? picture : picture.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int32_t ClampIndex(int64_t index) {
  return static_cast<int32_t>(std::clamp<int64_t>(index, INT32_MIN, kLastRepeatIndex));
}

}  // namespace

int64_t RoundTime(double time) { return ClampToInt64(std::nearbyint(time)); }

TSlideTimeline::TSlideTimeline(TIniFile& project, const TVIVEffectManager& effects,
                               TRepeatMode repeatMode)
    : fProject(project), fEffects(effects), fRepeatMode(repeatMode) {
  fManualShow = project.ReadText("Main", "opt_manualshow") == "1";
  TIniSection* times = project.FindSection("Times");
  int64_t count = times ? std::max(times->ReadInteger("opt_slidescount", 0), 0) : 0;
  // Every slide needs its end time in "Times": a count the section cannot back
  // is not allocated.
  int64_t describable = times ? static_cast<int64_t>(times->Count()) : 0;
  if (count > describable) {
    LogLine("opt_slidescount " + std::to_string(count) + " is more than [Times] describes; using " +
            std::to_string(describable));
    count = describable;
  }
  fSlides.resize(static_cast<size_t>(count));

  double previous = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(count); ++i) {
    double end = ParseTimeValue(times->FindItem("opt_synchpos" + std::to_string(i + 1)));
    VIV_ASSERT(end >= previous, "Incorrect time");
    TSlideInfo& slide = fSlides[static_cast<size_t>(i)];
    slide.InEffectTime = GetEffectTime(i);
    slide.OutEffectTime = GetEffectTime(int64_t{i} + 1);
    slide.StartTime = previous;
    slide.EndTime = end;
    slide.InEffectTime = std::min(slide.InEffectTime, slide.EndTime - slide.StartTime);
    slide.VisibleEndTime = slide.EndTime + slide.OutEffectTime;
    if (TIniSection* section = SlideSection(i)) {
      slide.SlideId = section->ReadText("SlideID");
      if (slide.SlideId.empty()) slide.SlideId = IdFromPicture(section->ReadText("Picture"));
    }
    fShowDuration = end;
    previous = end;
  }
}

TIniSection* TSlideTimeline::SlideSection(int64_t index) const {
  return fProject.FindSection(SlideSectionName(static_cast<int32_t>(index)));
}

void TSlideTimeline::RequireSlides() const {
  VIV_ASSERT(!fSlides.empty(), "No Slides in Presentation");
}

int32_t TSlideTimeline::LastIndex() const {
  return Repeats() ? kLastRepeatIndex : SlideCount() - 1;
}

double TSlideTimeline::GetEffectTime(int64_t index) const {
  // A negative length would end a slide's visibility before its end time.
  return std::max(0.0, AuthoredEffectTime(index));
}

double TSlideTimeline::AuthoredEffectTime(int64_t index) const {
  int64_t n = static_cast<int64_t>(fSlides.size());
  if (n == 0) return 0;
  if (!Repeats() && index >= n) return 0;
  index %= n;
  const TEffectProp& effect = fEffects.SlideEffect(static_cast<int32_t>(index));
  const std::string& ref = effect.RefName();
  if (ref == "quick") return 0;
  if (ref == "default") return fEffects.AnyEnabled() ? fEffects.ShowTime() : 0;
  if (ref == "defowntime") {
    if (!fEffects.AnyEnabled()) return 0;
    TIniObject& block = effect.Block();
    if (!block.FindItem("time")) block.WriteInteger("time", fEffects.ShowTime());
    return ParseTimeValue(block.FindItem("time"));
  }
  return ParseTimeValue(effect.Block().FindItem("time"));
}

int32_t TSlideTimeline::GetSlideInfo(int64_t index, TSlideInfo& info) const {
  if (index == -1) {
    info = TSlideInfo{};
    info.StartTime = kLeadInStart;
    info.EndTime = 0;
    info.OutEffectTime = fSlides.empty() ? 0 : fSlides[0].InEffectTime;
    info.VisibleEndTime = info.OutEffectTime;
    return -1;
  }
  if (index < -1) {
    info = TSlideInfo{};
    info.StartTime = kBeforeLeadInStart;
    info.EndTime = kLeadInStart;
    info.VisibleEndTime = info.EndTime;
    return -1;
  }
  RequireSlides();
  int64_t n = static_cast<int64_t>(fSlides.size());
  int64_t loop = index / n;
  info = fSlides[static_cast<size_t>(index % n)];
  double offset = static_cast<double>(loop) * fShowDuration;
  if (offset > 0) {
    info.StartTime += offset;
    info.EndTime += offset;
    info.VisibleEndTime += offset;
  }
  return static_cast<int32_t>(std::min<int64_t>(loop, INT32_MAX));
}

TSlideInfo TSlideTimeline::SlideInfo(int64_t index) const {
  TSlideInfo info;
  GetSlideInfo(index, info);
  return info;
}

int32_t TSlideTimeline::FindSlideAtTime(double time) const {
  if (time <= 0) return -1;  // the lead-in covers everything up to 0
  RequireSlides();
  int64_t n = static_cast<int64_t>(fSlides.size());
  // Zero-length shows have no slide after time 0.
  if (fShowDuration <= 0) return static_cast<int32_t>(n - 1);
  // The first slide whose end is not before the time: searched in the
  // repetition just before the time's own, where a boundary may fall.
  double repetition = std::floor(time / fShowDuration);
  int64_t firstLoop = repetition > 1 ? static_cast<int64_t>(std::min(repetition, 1e15)) - 1 : 0;
  for (int64_t loop = firstLoop; loop <= firstLoop + 2; ++loop) {
    double offset = static_cast<double>(loop) * fShowDuration;
    auto it = std::lower_bound(fSlides.begin(), fSlides.end(), time - offset,
                               [](const TSlideInfo& s, double t) { return s.EndTime < t; });
    if (it != fSlides.end()) return ClampIndex(loop * n + (it - fSlides.begin()));
  }
  return kLastRepeatIndex;
}

TSlideTimeline::TEndAction TSlideTimeline::EndAction(int32_t index) const {
  TIniSection* section = SlideSection(index);
  TIniItem* item = section ? section->FindItem("Pers_EndAction") : nullptr;
  if (!item) return TEndAction::None;
  const std::string& value = item->Value();
  if (SameText(value, "pause")) return TEndAction::Pause;
  if (SameText(value, "loop")) return TEndAction::Loop;
  // An empty value pauses in shows advanced by hand.
  if (value.empty() && fManualShow) return TEndAction::Pause;
  return TEndAction::None;
}

bool TSlideTimeline::GetEndAction(int32_t index, double* loopLength) const {
  if (loopLength) *loopLength = 0;
  TEndAction action = EndAction(index);
  if (action == TEndAction::Loop && loopLength && index >= 0 && index < SlideCount()) {
    const TSlideInfo& slide = fSlides[static_cast<size_t>(index)];
    *loopLength = slide.EndTime - slide.StartTime - slide.InEffectTime;
  }
  return action != TEndAction::None;
}

bool TSlideTimeline::GetRunApp(int32_t index, std::string* fileName) const {
  TIniSection* section = SlideSection(index);
  if (!section || section->ReadText("Pers_RunApp") != "1") return false;
  std::string file = section->ReadText("RunAppFN");
  if (file.empty()) return false;
  if (fileName) *fileName = file;
  return true;
}

int64_t TSlideTimeline::SlidePosition(int64_t index) const {
  index = std::max<int64_t>(index, 0);
  TSlideInfo info = SlideInfo(index);
  int64_t position = RoundTime(info.StartTime);
  bool endOfShow = !Repeats() && index == SlideCount();
  if (info.InEffectTime == 0 && !endOfShow) position = SaturatingAdd(position, 1);
  return position;
}

int64_t TSlideTimeline::NextSlidePosition(double time, bool skipTransition) const {
  RequireSlides();
  int64_t last = LastIndex();
  // The first slide after the one shown whose rounded start lies past the
  // time, but never beyond the last index. Starts never decrease with the
  // index (repetitions add the show's length), so the search halves its range
  // instead of stepping through up to 2^31 repetitions of a show whose slides
  // all have zero length.
  int64_t low = std::min<int64_t>(FindSlideAtTime(time), last) + 1;
  int64_t high = std::max(low, last);  // the answer lies in [low, high]
  while (low < high) {
    int64_t middle = low + (high - low) / 2;
    if (RoundTime(SlideInfo(middle).StartTime) > time)
      high = middle;
    else
      low = middle + 1;
  }
  int64_t i = low;
  TSlideInfo info = SlideInfo(i);
  int64_t c = RoundTime(info.StartTime);
  bool endOfShow = !Repeats() && i == SlideCount();
  // The end of a show that does not repeat has no transition to skip.
  if (endOfShow) return c;
  if (info.InEffectTime == 0) return SaturatingAdd(c, 1);
  return skipTransition ? SaturatingAdd(c, RoundTime(info.InEffectTime)) : c;
}

int64_t TSlideTimeline::PreviousSlidePosition(double time) const {
  int64_t b = FindSlideAtTime(time);
  if (b < 0) return 0;
  if (time < SlideInfo(b).EndTime) {
    --b;
    if (b <= 0) return 0;
  }
  TSlideInfo slide = SlideInfo(b);
  int64_t p = RoundTime(slide.StartTime + slide.InEffectTime);
  if (time - static_cast<double>(p) >= kPreviousSlideGrace) return p;
  if (b - 1 <= 0) return 0;
  TSlideInfo previous = SlideInfo(b - 1);
  return RoundTime(previous.StartTime + previous.InEffectTime);
}

int32_t TSlideTimeline::FindSlideById(const std::string& id) const {
  for (size_t i = 0; i < fSlides.size(); ++i)
    if (fSlides[i].SlideId == id) return static_cast<int32_t>(i);
  return -1;
}

void TSlideTimeline::FindNextBarrier(double time, TScheduleMarks& marks) const {
  int64_t last = LastIndex();
  double fallback = Repeats() ? kMaxTime : fShowDuration;
  int64_t n = SlideCount();
  if (n > 0) {
    int64_t index = (time == marks.BarrierTime) ? marks.BarrierIndex : FindSlideAtTime(time);
    index = std::max<int64_t>(index, 0);
    int64_t tries = 0;
    // Slides that end before the time are passed over; shows whose slides all
    // have zero length must not make that endless.
    for (int64_t steps = 0; index <= last && tries < n && steps <= 2 * n; ++index, ++steps) {
      TSlideInfo info = SlideInfo(index);
      if (info.EndTime <= time) continue;
      double loopLength = 0;
      if (GetEndAction(static_cast<int32_t>(index % n), &loopLength)) {
        marks.BarrierPresent = true;
        marks.BarrierIndex = static_cast<int32_t>(index);
        marks.BarrierTime = info.EndTime;
        marks.LoopLength = loopLength;
        return;
      }
      ++tries;
    }
  }
  marks.BarrierPresent = false;
  marks.BarrierIndex = static_cast<int32_t>(last);
  marks.BarrierTime = fallback;
  marks.LoopLength = 0;
}

void TSlideTimeline::FindNextAction(double time, TScheduleMarks& marks) const {
  int64_t n = SlideCount();
  if (n > 0) {
    int64_t index =
        (time == marks.ActionTime) ? int64_t{marks.ActionIndex} + 1 : FindSlideAtTime(time);
    index = std::max<int64_t>(index, 0);
    // A show that does not repeat has no actions past its last slide.
    int64_t last = LastIndex();
    for (int64_t k = 0; k < n && index + k <= last; ++k) {
      int64_t at = index + k;
      std::string file;
      if (!GetRunApp(static_cast<int32_t>(at % n), &file)) continue;
      double start = SlideInfo(at).StartTime + 1;
      if (start > time) {
        marks.ActionIndex = static_cast<int32_t>(at);
        marks.ActionTime = start;
        marks.ActionFile = file;
        return;
      }
    }
  }
  marks.ActionIndex = kLastRepeatIndex;
  marks.ActionTime = kMaxTime;
  marks.ActionFile.clear();
}

TKeyframeScaling TSlideTimeline::KeyframeScaling(int32_t index) const {
  TSlideInfo info = SlideInfo(index);
  TKeyframeScaling scaling;
  scaling.Length =
      SaturatingAdd(RoundTime(info.EndTime - info.StartTime), RoundTime(info.OutEffectTime));
  scaling.InEffect = RoundTime(info.InEffectTime);
  scaling.OutEffect = RoundTime(info.OutEffectTime);
  TIniSection* section = SlideSection(index);
  int32_t mode = section ? section->ReadInteger("ScaleMode", 0) : 0;
  if ((mode != 1 && mode != 2) || !section->FindItem("ScaleTimes")) return scaling;
  TCommaList times = section->ReadList("ScaleTimes");
  int64_t s0 = times.ReadInteger(0, 0), s1 = times.ReadInteger(1, 0), s2 = times.ReadInteger(2, 0);
  int64_t numerator = mode == 1 ? scaling.Length : scaling.Length - scaling.OutEffect;
  int64_t denominator = mode == 1 ? s0 + s2 : s0;
  if (denominator == 0) return scaling;
  scaling.Ratio = static_cast<float>(numerator) / static_cast<float>(denominator);
  if (scaling.Ratio != 0) {
    scaling.Length = s0 + s2;
    scaling.InEffect = s1;
    scaling.OutEffect = s2;
  }
  return scaling;
}

}  // namespace viv
