// The show's timeline: the times of every slide, the slides before the first
// and the repetitions after the last, schedule points and navigation positions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "project/ini_tree.h"

namespace viv {

class TVIVEffectManager;

inline constexpr double kMaxTime = 3.4e38;  // "never"
inline constexpr int32_t kLastRepeatIndex = 2147483646;

enum class TRepeatMode : int { Repeat = 0, Close = 1, Stop = 2 };

struct TSlideInfo {
  double StartTime = 0;
  double EndTime = 0;
  double InEffectTime = 0;
  double OutEffectTime = 0;
  double VisibleEndTime = 0;
  std::string SlideId;
};

// What the engine waits for next: a barrier (pause or loop at a slide's end)
// and a program to run at a slide's start. The previous values decide where a
// search at exactly the same time resumes.
struct TScheduleMarks {
  bool BarrierPresent = false;
  int32_t BarrierIndex = -1;
  double BarrierTime = -kMaxTime;
  double LoopLength = 0;
  int32_t ActionIndex = -1;
  double ActionTime = -kMaxTime;
  std::string ActionFile;
};

// How a slide's keyframes follow a changed duration.
struct TKeyframeScaling {
  float Ratio = 0;     // 0: no scaling
  int64_t Length = 0;  // the times to build keyframes against
  int64_t InEffect = 0;
  int64_t OutEffect = 0;
};

class TSlideTimeline {
 public:
  // Raises the assertion "Incorrect time" when slide end times decrease. The
  // slide count is limited to what the "Times" section can describe.
  TSlideTimeline(TIniFile& project, const TVIVEffectManager& effects, TRepeatMode repeatMode);

  int32_t SlideCount() const { return static_cast<int32_t>(fSlides.size()); }
  double ShowDuration() const { return fShowDuration; }
  TRepeatMode RepeatMode() const { return fRepeatMode; }
  const TSlideInfo& Record(int32_t index) const { return fSlides.at(static_cast<size_t>(index)); }

  // The transition length into slide i (writes "defowntime" blocks' missing
  // "time" in memory, as later readers must see it).
  double GetEffectTime(int64_t index) const;
  // Any integer index; returns the number of whole repetitions (-1 before the show).
  int32_t GetSlideInfo(int64_t index, TSlideInfo& info) const;
  TSlideInfo SlideInfo(int64_t index) const;
  int32_t FindSlideAtTime(double time) const;
  enum class TEndAction { None, Pause, Loop };
  TEndAction EndAction(int32_t index) const;
  // True for a pause or a loop at the slide's end; loopLength for loops.
  bool GetEndAction(int32_t index, double* loopLength = nullptr) const;
  bool GetRunApp(int32_t index, std::string* fileName = nullptr) const;
  int64_t SlidePosition(int64_t index) const;
  int64_t NextSlidePosition(double time, bool skipTransition) const;
  int64_t PreviousSlidePosition(double time) const;
  int32_t FindSlideById(const std::string& id) const;
  void FindNextBarrier(double time, TScheduleMarks& marks) const;
  void FindNextAction(double time, TScheduleMarks& marks) const;
  TKeyframeScaling KeyframeScaling(int32_t index) const;

 private:
  TIniSection* SlideSection(int64_t index) const;
  double AuthoredEffectTime(int64_t index) const;
  int32_t LastIndex() const;
  bool Repeats() const { return fRepeatMode == TRepeatMode::Repeat; }
  void RequireSlides() const;

  TIniFile& fProject;
  const TVIVEffectManager& fEffects;
  TRepeatMode fRepeatMode;
  bool fManualShow = false;
  std::vector<TSlideInfo> fSlides;
  double fShowDuration = 0;
};

// Rounding of times to whole milliseconds: to nearest, ties to even.
int64_t RoundTime(double time);

}  // namespace viv
