// The timeline: slide records, transition lengths, index and time queries,
// navigation positions, schedule marks and keyframe scaling.
#include "show/slide_timeline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "base/exceptions.h"
#include "show_test_support.h"

namespace viv::test {
namespace {

using ::testing::HasSubstr;

// Five slides ending at 3000, 5000, 5000, 9000 and 12000, with a show-wide
// time of 1000 and an enabled dissolve. Transitions into the slides: 500
// (own), 2500 (own, longer than the slide), 1000 (no section: "default"),
// 1000 ("defowntime" without "time") and 0 ("quick").
std::string TimelineShow(const char* repeat, const char* manual = "0", const char* checked = "1") {
  return std::string("[Main]\nopt_repeat=") + repeat + "\nopt_manualshow=" + manual +
         R"(
object TheEffect:AnEffect
  time=1000
  object dissolve:dissolve
    stdidx=2
    checked=)" +
         checked + R"(
  end
end
[Times]
opt_slidescount=5
opt_synchpos1=3000
opt_synchpos2=5000
opt_synchpos3=5000
opt_synchpos4=9000
opt_synchpos5=12000
[Slide1]
SlideID=intro
Pers_EndAction=PAUSE
Pers_RunApp=true
RunAppFN=a.exe
object TheEffect:AnEffect
  ref=dissolve
  time=500
end
[Slide2]
Picture=C:\Photos\Beach.Day.jpg
Pers_EndAction=stop
Pers_RunApp=1
RunAppFN=notes.txt
object TheEffect:AnEffect
  ref=Dissolve
  time=2500
end
[slide4]
SlideID=intro
Pers_EndAction=loop
Pers_RunApp=0
RunAppFN=x.exe
object TheEffect:AnEffect
  ref=defowntime
end
[Slide5]
Picture=images\last\
Pers_EndAction=
Pers_RunApp=1
RunAppFN=
object TheEffect:AnEffect
  ref=quick
end
)";
}

struct TTimes {
  double Start, End, In, Out, VisibleEnd;
};

void ExpectTimes(const TSlideInfo& info, const TTimes& t) {
  EXPECT_DOUBLE_EQ(info.StartTime, t.Start);
  EXPECT_DOUBLE_EQ(info.EndTime, t.End);
  EXPECT_DOUBLE_EQ(info.InEffectTime, t.In);
  EXPECT_DOUBLE_EQ(info.OutEffectTime, t.Out);
  EXPECT_DOUBLE_EQ(info.VisibleEndTime, t.VisibleEnd);
}

TEST_F(ShowTest, SlideRecords) {
  auto repeating = SourceOf(TimelineShow("repeat"));
  auto closing = SourceOf(TimelineShow("close"));
  const TSlideTimeline& r = repeating->Timeline();
  const TSlideTimeline& c = closing->Timeline();
  ASSERT_EQ(r.SlideCount(), 5);
  ASSERT_EQ(c.SlideCount(), 5);
  EXPECT_EQ(r.ShowDuration(), 12000);
  EXPECT_EQ(c.ShowDuration(), 12000);
  const TTimes expected[] = {
      {0, 3000, 500, 2500, 5500},
      {3000, 5000, 2000, 1000, 6000},  // in clamped to the slide, the previous out is not
      {5000, 5000, 0, 1000, 6000},     // zero length: in clamped to 0
      {5000, 9000, 1000, 0, 9000},
      {9000, 12000, 0, 500, 12500},  // carries the transition into the next repetition
  };
  const char* ids[] = {"intro", "Beach.Day", "", "intro", "last"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    ExpectTimes(r.Record(i), expected[i]);
    EXPECT_EQ(r.Record(i).SlideId, ids[i]);
  }
  // Not repeating: nothing follows the last slide.
  ExpectTimes(c.Record(4), {9000, 12000, 0, 0, 12000});
  ExpectTimes(c.Record(3), expected[3]);
}

TEST_F(ShowTest, GetSlideInfoOfEveryIndex) {
  struct TCase {
    const char* Repeat;
    int64_t Index;
    int32_t Loop;
    TTimes Times;
  };
  const TCase cases[] = {
      {"repeat", 0, 0, {0, 3000, 500, 2500, 5500}},
      {"repeat", 4, 0, {9000, 12000, 0, 500, 12500}},
      {"repeat", 5, 1, {12000, 15000, 500, 2500, 17500}},
      {"repeat", 7, 1, {17000, 17000, 0, 1000, 18000}},
      {"repeat", 14, 2, {33000, 36000, 0, 500, 36500}},
      {"repeat", 5000000004, 1000000000, {12e12 + 9000, 12e12 + 12000, 0, 500, 12e12 + 12500}},
      // Past the end whatever the repeat mode; the durations come from the record.
      {"close", 5, 1, {12000, 15000, 500, 2500, 17500}},
      {"close", 9, 1, {21000, 24000, 0, 0, 24000}},
      // The lead-in: its transition is the one into slide 0.
      {"repeat", -1, -1, {-1073741823.0, 0, 0, 500, 500}},
      {"close", -1, -1, {-1073741823.0, 0, 0, 500, 500}},
      {"repeat", -2, -1, {-2147483647.0, -1073741823.0, 0, 0, -1073741823.0}},
      {"repeat", -100, -1, {-2147483647.0, -1073741823.0, 0, 0, -1073741823.0}},
  };
  auto repeating = SourceOf(TimelineShow("repeat"));
  auto closing = SourceOf(TimelineShow("close"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " " + std::to_string(c.Index));
    const TSlideTimeline& t = (c.Repeat[0] == 'r' ? repeating : closing)->Timeline();
    TSlideInfo info;
    info.SlideId = "stale";
    EXPECT_EQ(t.GetSlideInfo(c.Index, info), c.Loop);
    ExpectTimes(info, c.Times);
  }
}

TEST_F(ShowTest, TransitionLengths) {
  struct TCase {
    const char* Repeat;
    const char* Checked;  // the dissolve entry: "1" enables the catalogue
    int64_t Index;
    double Time;
  };
  const TCase cases[] = {
      {"repeat", "1", 0, 500},   // own time
      {"repeat", "1", 1, 2500},  // own time, ref compared without case
      {"repeat", "1", 2, 1000},  // no section: "default", show-wide time
      {"repeat", "1", 3, 1000},  // "defowntime" without "time": show-wide time
      {"repeat", "1", 4, 0},     // "quick"
      {"repeat", "1", 5, 500},   // taken modulo the slide count
      {"repeat", "1", 13, 1000},
      {"close", "1", 4, 0},
      {"close", "1", 5, 0},  // nothing after the last slide
      {"close", "1", 6, 0},
      {"close", "1", 1, 2500},
      // Without an enabled entry the random kinds have no transition; named
      // entries keep their own time.
      {"repeat", "0", 0, 500},
      {"repeat", "0", 1, 2500},
      {"repeat", "0", 2, 0},
      {"repeat", "0", 3, 0},
      {"repeat", "0", 5, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " checked=" + c.Checked + " " + std::to_string(c.Index));
    auto source = SourceOf(TimelineShow(c.Repeat, "0", c.Checked));
    EXPECT_EQ(source->EffectManager().AnyEnabled(), c.Checked[0] == '1');
    EXPECT_DOUBLE_EQ(source->Timeline().GetEffectTime(c.Index), c.Time);
  }
}

TEST_F(ShowTest, DefOwnTimeTakesTheShowTimeOnEveryQuery) {
  auto project = ParseProject(TimelineShow("repeat"));
  auto source = SourceOf(project);
  // Written into the block while the records were built, and kept.
  EXPECT_EQ(ValueAt(*project, "Slide4:TheEffect:time"), "1000");
  EXPECT_DOUBLE_EQ(source->Timeline().GetEffectTime(3), 1000);
  EXPECT_DOUBLE_EQ(source->Timeline().GetEffectTime(3), 1000);
  EXPECT_DOUBLE_EQ(source->Timeline().GetEffectTime(8), 1000);
  EXPECT_DOUBLE_EQ(source->Timeline().Record(3).InEffectTime, 1000);
  EXPECT_DOUBLE_EQ(source->Timeline().Record(2).OutEffectTime, 1000);

  // Without an enabled entry nothing is written.
  auto disabled = ParseProject(TimelineShow("repeat", "0", "0"));
  SourceOf(disabled);
  EXPECT_EQ(ValueAt(*disabled, "Slide4:TheEffect:time"), "<none>");

  // The block's own time wins; a time that does not parse counts as 0.
  const std::pair<const char*, double> ownTimes[] = {
      {"700", 700}, {" 700", 700}, {"7e2", 0}, {"", 0}};
  for (auto [time, expected] : ownTimes) {
    SCOPED_TRACE(time);
    auto source2 = SourceOf(
        std::string("[Main]\nobject TheEffect:AnEffect\n  time=1000\n  object d:dissolve\n"
                    "    checked=1\n  end\nend\n[Times]\nopt_slidescount=1\nopt_synchpos1=9000\n"
                    "[Slide1]\nobject TheEffect:AnEffect\n  ref=defowntime\n  time=") +
        time + "\nend\n");
    EXPECT_DOUBLE_EQ(source2->Timeline().GetEffectTime(0), expected);
  }
}

TEST_F(ShowTest, TheShowWideTimeForDefaultSlides) {
  struct TCase {
    const char* Catalogue;
    double Time;
  };
  const TCase cases[] = {
      // No catalogue: made with time 2000 but nothing is enabled.
      {"", 0},
      {"object TheEffect:AnEffect\n  time=800\n  object d:dissolve\n    checked=1\n  end\nend\n",
       800},
      {"object TheEffect:AnEffect\n  object d:dissolve\n    checked=1\n  end\nend\n", 0},
      {"object TheEffect:AnEffect\n  time=800\n  object s:shapes\n    key=action,direction\n"
       "    action=00\n    direction=111\n  end\nend\n",
       0},
      {"object TheEffect:AnEffect\n  time=800\n  object s:shapes\n    key=action,direction\n"
       "    action=01\n    direction=001\n  end\nend\n",
       800},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Catalogue);
    auto source = SourceOf(std::string("[Main]\n") + c.Catalogue +
                           "[Times]\nopt_slidescount=1\nopt_synchpos1=9000\n");
    EXPECT_DOUBLE_EQ(source->Timeline().GetEffectTime(0), c.Time);
    EXPECT_DOUBLE_EQ(source->Timeline().Record(0).InEffectTime, c.Time);
  }
}

TEST_F(ShowTest, DecreasingEndTimesAreRefused) {
  for (const char* times :
       {"opt_synchpos1=3000\nopt_synchpos2=2999\n", "opt_synchpos1=-5\nopt_synchpos2=10\n",
        "opt_synchpos1=700\n"}) {  // the missing second end reads as 0
    SCOPED_TRACE(times);
    std::string text = std::string("[Times]\nopt_slidescount=2\n") + times;
    try {
      SourceOf(text);
      ADD_FAILURE() << "accepted";
    } catch (const TCommonException& e) {
      EXPECT_THAT(e.what(), HasSubstr("'Incorrect time'"));
    }
  }
  // Equal end times make a zero-length slide.
  auto source = SourceOf("[Times]\nopt_slidescount=2\nopt_synchpos1=3000\nopt_synchpos2=3000\n");
  ExpectTimes(source->Timeline().Record(1), {3000, 3000, 0, 0, 3000});
}

TEST_F(ShowTest, FindSlideAtTime) {
  struct TCase {
    const char* Repeat;
    double Time;
    int32_t Index;
  };
  const TCase cases[] = {
      {"repeat", -1e9, -1},
      {"repeat", -5, -1},
      {"repeat", 0, -1},
      {"repeat", 0.5, 0},
      {"repeat", 3000, 0},  // boundaries belong to the earlier slide
      {"repeat", 3000.5, 1},
      {"repeat", 5000, 1},    // not the zero-length slide 2
      {"repeat", 5000.5, 3},  // nor after it
      {"repeat", 9000, 3},
      {"repeat", 12000, 4},
      {"repeat", 12000.5, 5},
      {"repeat", 17000, 6},
      {"repeat", 17000.25, 8},
      {"close", 12000.5, 5},  // repetitions continue the search in any mode
      // Far into the show: 1000 repetitions of 12000 ms, then inside slide 1.
      {"repeat", 12004000, 5001},
      {"repeat", 12000000, 4999},  // the end of repetition 999
      {"repeat", 12005000, 5001},
      {"repeat", 12005001, 5003},
      {"repeat", 1e12, 416666666},   // 83333333 repetitions and 4000 ms
      {"repeat", 1e15, 2147483646},  // beyond the last index
  };
  auto repeating = SourceOf(TimelineShow("repeat"));
  auto closing = SourceOf(TimelineShow("close"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " " + std::to_string(c.Time));
    const TSlideTimeline& t = (c.Repeat[0] == 'r' ? repeating : closing)->Timeline();
    EXPECT_EQ(t.FindSlideAtTime(c.Time), c.Index);
  }
}

TEST_F(ShowTest, ShowsOfZeroLengthSlides) {
  auto source = SourceOf(
      "[Times]\nopt_slidescount=3\nopt_synchpos1=0\nopt_synchpos2=0\nopt_synchpos3=0\n"
      "[Slide2]\nPers_EndAction=pause\n[Slide3]\nPers_RunApp=1\nRunAppFN=go.sh\n");
  const TSlideTimeline& t = source->Timeline();
  EXPECT_EQ(t.FindSlideAtTime(0), -1);
  EXPECT_EQ(t.FindSlideAtTime(1), 2);
  EXPECT_EQ(t.FindSlideAtTime(1e9), 2);
  TSlideInfo info;
  EXPECT_EQ(t.GetSlideInfo(7, info), 2);
  ExpectTimes(info, {0, 0, 0, 0, 0});
  // Every slide ends at 0: nothing lies ahead, and the search ends.
  TScheduleMarks marks;
  t.FindNextBarrier(5, marks);
  EXPECT_FALSE(marks.BarrierPresent);
  EXPECT_EQ(marks.BarrierIndex, 2147483646);
  EXPECT_EQ(marks.BarrierTime, kMaxTime);
  t.FindNextAction(5, marks);
  EXPECT_EQ(marks.ActionIndex, 2147483646);
  // At time 0 the pause at the end of slide 1 is ahead.
  TScheduleMarks fresh;
  t.FindNextBarrier(-1, fresh);
  EXPECT_TRUE(fresh.BarrierPresent);
  EXPECT_EQ(fresh.BarrierIndex, 1);
  EXPECT_EQ(fresh.BarrierTime, 0);
  t.FindNextAction(0, fresh);
  EXPECT_EQ(fresh.ActionIndex, 2);
  EXPECT_EQ(fresh.ActionTime, 1);
  EXPECT_EQ(fresh.ActionFile, "go.sh");
  // Every repetition starts at 0 too: the next slide is the last index, inside
  // it by the millisecond of a cut, whatever the time (found without stepping
  // through the 2^31 repetitions).
  for (double time : {-5.0, 0.0, 5.0, 1e300}) {
    SCOPED_TRACE(time);
    EXPECT_EQ(t.NextSlidePosition(time, false), 1);
    EXPECT_EQ(t.NextSlidePosition(time, true), 1);
  }
  auto closing = SourceOf(
      "[Main]\nopt_repeat=close\n[Times]\nopt_slidescount=2\n[Slide1]\nPers_EndAction=pause\n");
  EXPECT_EQ(closing->Timeline().NextSlidePosition(5, false), 0);  // the end of the show
}

TEST_F(ShowTest, EndActionsAndProgramsToRun) {
  struct TCase {
    const char* Manual;
    int32_t Index;
    TSlideTimeline::TEndAction Action;
    double LoopLength;
  };
  using A = TSlideTimeline::TEndAction;
  const TCase cases[] = {
      {"0", 0, A::Pause, 0},    // "PAUSE" without case
      {"0", 1, A::None, 0},     // "stop" is no end action
      {"0", 2, A::None, 0},     // no section
      {"0", 3, A::Loop, 3000},  // 9000 - 5000 - 1000
      {"0", 4, A::None, 0},     // empty
      {"1", 4, A::Pause, 0},    // empty in a show advanced by hand
      {"1", 2, A::None, 0},     // no key: nothing even by hand
      {"1", 1, A::None, 0},    {"1", 3, A::Loop, 3000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("manual=") + c.Manual + " " + std::to_string(c.Index));
    auto source = SourceOf(TimelineShow("repeat", c.Manual));
    const TSlideTimeline& t = source->Timeline();
    EXPECT_EQ(t.EndAction(c.Index), c.Action);
    double loop = -1;
    EXPECT_EQ(t.GetEndAction(c.Index, &loop), c.Action != A::None);
    EXPECT_DOUBLE_EQ(loop, c.LoopLength);
  }

  auto source = SourceOf(TimelineShow("repeat"));
  const TSlideTimeline& t = source->Timeline();
  const char* files[] = {nullptr, "notes.txt", nullptr, nullptr, nullptr};
  for (int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    std::string file = "unchanged";
    EXPECT_EQ(t.GetRunApp(i, &file), files[i] != nullptr);
    EXPECT_EQ(file, files[i] ? files[i] : "unchanged");
  }
}

TEST_F(ShowTest, SlideIdentifiers) {
  auto source = SourceOf(TimelineShow("repeat"));
  const TSlideTimeline& t = source->Timeline();
  struct TCase {
    const char* Id;
    int32_t Index;
  };
  const TCase cases[] = {
      {"intro", 0},                   // the first of two
      {"Intro", -1},                  // compared exactly
      {"Beach.Day", 1},               // from "Picture": last component, extension removed
      {"Beach", -1},    {"last", 4},  // one trailing backslash ignored
      {"", 2},                        // the slide without section
      {"missing", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    EXPECT_EQ(t.FindSlideById(c.Id), c.Index);
  }
}

TEST_F(ShowTest, SlidePositions) {
  struct TCase {
    const char* Repeat;
    int64_t Index;
    int64_t Position;
  };
  const TCase cases[] = {
      {"repeat", 0, 0},     {"repeat", 1, 3000},
      {"repeat", 2, 5001},  // no incoming transition: inside the slide
      {"repeat", 4, 9001},  {"repeat", 5, 12000},
      {"repeat", 9, 21001}, {"repeat", -3, 0},  // negative counts as 0
      {"close", 4, 9001},   {"close", 5, 12000},
  };
  auto repeating = SourceOf(TimelineShow("repeat"));
  auto closing = SourceOf(TimelineShow("close"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " " + std::to_string(c.Index));
    const TSlideTimeline& t = (c.Repeat[0] == 'r' ? repeating : closing)->Timeline();
    EXPECT_EQ(t.SlidePosition(c.Index), c.Position);
  }

  // Slides without transitions: the end of a show that does not repeat gets
  // no extra millisecond.
  const char* kCuts = "[Times]\nopt_slidescount=2\nopt_synchpos1=4000\nopt_synchpos2=8000\n";
  auto cutsRepeating = SourceOf(std::string(kCuts));
  auto cutsClosing = SourceOf(std::string("[Main]\nopt_repeat=stop\n") + kCuts);
  EXPECT_EQ(cutsRepeating->Timeline().SlidePosition(0), 1);
  EXPECT_EQ(cutsRepeating->Timeline().SlidePosition(2), 8001);
  EXPECT_EQ(cutsClosing->Timeline().SlidePosition(1), 4001);
  EXPECT_EQ(cutsClosing->Timeline().SlidePosition(2), 8000);
  EXPECT_EQ(cutsClosing->Timeline().SlidePosition(3), 12001);
}

TEST_F(ShowTest, NextSlidePositions) {
  struct TCase {
    const char* Repeat;
    double Time;
    int64_t Next, NextSkipping;
  };
  const TCase cases[] = {
      {"repeat", -50, 0, 500},
      {"repeat", 0, 3000, 5000},
      {"repeat", 100, 3000, 5000},
      {"repeat", 3000, 5001, 5001},  // slide 2 has no transition to skip
      {"repeat", 4000, 5001, 5001},
      {"repeat", 5000, 9001, 9001},  // past the zero-length slide 2 and slide 3's start
      {"repeat", 10000, 12000, 12500},
      {"repeat", 12000, 15000, 17000},
      {"close", 4000, 5001, 5001},
      // From the last slide: the end of the show, never a transition.
      {"close", 10000, 12000, 12000},
      {"close", 12000, 12000, 12000},
      {"close", 20000, 12000, 12000},
  };
  auto repeating = SourceOf(TimelineShow("repeat"));
  auto closing = SourceOf(TimelineShow("close"));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " " + std::to_string(c.Time));
    const TSlideTimeline& t = (c.Repeat[0] == 'r' ? repeating : closing)->Timeline();
    EXPECT_EQ(t.NextSlidePosition(c.Time, false), c.Next);
    EXPECT_EQ(t.NextSlidePosition(c.Time, true), c.NextSkipping);
  }
}

TEST_F(ShowTest, PreviousSlidePositions) {
  // Slides [0, 2000], [2000, 4000], [4000, 4300], [4300, 8000], all cuts.
  auto cuts = SourceOf(
      "[Times]\nopt_slidescount=4\nopt_synchpos1=2000\nopt_synchpos2=4000\n"
      "opt_synchpos3=4300\nopt_synchpos4=8000\n");
  auto show = SourceOf(TimelineShow("repeat"));
  struct TCase {
    const TSlideTimeline& Timeline;
    double Time;
    int64_t Position;
  };
  const TSlideTimeline& c = cuts->Timeline();
  const TSlideTimeline& s = show->Timeline();
  const TCase cases[] = {
      {c, -100, 0},    {c, 0, 0},        {c, 1000, 0},  // inside slide 0
      {c, 2000, 0},                                     // end of slide 0: its start
      {c, 2300, 0},                                     // inside slide 1: back to slide 0
      {c, 4000, 2000}, {c, 4300, 2000},  // 300 ms after slide 2 was reached: one further
      {c, 4499, 2000}, {c, 4500, 4000},  // 500 ms: slide 2 itself
      {c, 8000, 4300}, {c, 8200, 4300},  // inside the repetition's slide 0
      {s, 3000, 500},                    // fully shown after its transition
      {s, 4000, 0},    {s, 5000, 0},     // within 500 ms of slide 1, and slide 0 before it
      {s, 6000, 5000}, {s, 10000, 6000}, {s, 12000, 9000},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Time);
    EXPECT_EQ(k.Timeline.PreviousSlidePosition(k.Time), k.Position);
  }
}

struct TBarrier {
  bool Present;
  int32_t Index;
  double Time, LoopLength;
};

void ExpectBarrier(const TScheduleMarks& marks, const TBarrier& b) {
  EXPECT_EQ(marks.BarrierPresent, b.Present);
  EXPECT_EQ(marks.BarrierIndex, b.Index);
  EXPECT_DOUBLE_EQ(marks.BarrierTime, b.Time);
  EXPECT_DOUBLE_EQ(marks.LoopLength, b.LoopLength);
}

TEST_F(ShowTest, NextBarrier) {
  struct TCase {
    const char* Repeat;
    const char* Manual;
    double Time;
    TBarrier Barrier;
  };
  const TCase cases[] = {
      {"repeat", "0", -10, {true, 0, 3000, 0}},    {"repeat", "0", 0, {true, 0, 3000, 0}},
      {"repeat", "0", 2999, {true, 0, 3000, 0}},   {"repeat", "0", 3000, {true, 3, 9000, 3000}},
      {"repeat", "0", 9500, {true, 5, 15000, 0}},  {"repeat", "0", 1e6, {true, 418, 1005000, 3000}},
      {"close", "0", 3000, {true, 3, 9000, 3000}}, {"close", "0", 9500, {false, 4, 12000, 0}},
      {"close", "1", 9500, {true, 4, 12000, 0}},   {"repeat", "1", 12000, {true, 5, 15000, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " manual=" + c.Manual + " " + std::to_string(c.Time));
    auto source = SourceOf(TimelineShow(c.Repeat, c.Manual));
    TScheduleMarks marks;
    source->Timeline().FindNextBarrier(c.Time, marks);
    ExpectBarrier(marks, c.Barrier);
  }

  // Slides without end actions: none within the tries.
  auto none = SourceOf("[Times]\nopt_slidescount=2\nopt_synchpos1=100\nopt_synchpos2=200\n");
  TScheduleMarks marks;
  none->Timeline().FindNextBarrier(50, marks);
  ExpectBarrier(marks, {false, 2147483646, kMaxTime, 0});
}

TEST_F(ShowTest, NextBarrierResumesAtThePreviousOne) {
  auto source = SourceOf(TimelineShow("repeat"));
  const TSlideTimeline& t = source->Timeline();
  TScheduleMarks marks;
  t.FindNextBarrier(0, marks);
  ExpectBarrier(marks, {true, 0, 3000, 0});
  t.FindNextBarrier(3000, marks);
  ExpectBarrier(marks, {true, 3, 9000, 3000});
  t.FindNextBarrier(9000, marks);
  ExpectBarrier(marks, {true, 5, 15000, 0});

  // At exactly the previous time the search starts at the previous index,
  // not at the slide shown then.
  marks.BarrierTime = 4000;
  marks.BarrierIndex = 5;
  t.FindNextBarrier(4000, marks);
  ExpectBarrier(marks, {true, 5, 15000, 0});
  t.FindNextBarrier(4000.5, marks);
  ExpectBarrier(marks, {true, 3, 9000, 3000});
}

TEST_F(ShowTest, NextProgramToRun) {
  struct TCase {
    const char* Repeat;
    double Time;
    int32_t Index;
    double ActionTime;
    const char* File;
  };
  const TCase cases[] = {
      {"repeat", 0, 1, 3001, "notes.txt"},  // slide 0's "true" is not "1"
      {"repeat", 3000.5, 1, 3001, "notes.txt"},
      {"repeat", 9500, 6, 15001, "notes.txt"},
      {"repeat", 3001, 2147483646, kMaxTime, ""},  // slides 1 to 5 only
      {"close", 0, 1, 3001, "notes.txt"},
      // A show that closes has no repetition whose programs could run.
      {"close", 9500, 2147483646, kMaxTime, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Repeat) + " " + std::to_string(c.Time));
    auto source = SourceOf(TimelineShow(c.Repeat));
    TScheduleMarks marks;
    marks.ActionFile = "stale";
    source->Timeline().FindNextAction(c.Time, marks);
    EXPECT_EQ(marks.ActionIndex, c.Index);
    EXPECT_DOUBLE_EQ(marks.ActionTime, c.ActionTime);
    EXPECT_EQ(marks.ActionFile, c.File);
  }

  // At exactly the previous action's time the search goes on after it.
  auto source = SourceOf(TimelineShow("repeat"));
  TScheduleMarks marks;
  source->Timeline().FindNextAction(0, marks);
  source->Timeline().FindNextAction(3001, marks);
  EXPECT_EQ(marks.ActionIndex, 6);
  EXPECT_DOUBLE_EQ(marks.ActionTime, 15001);
  source->Timeline().FindNextAction(15001, marks);
  EXPECT_EQ(marks.ActionIndex, 11);
  EXPECT_DOUBLE_EQ(marks.ActionTime, 27001);
}

TEST_F(ShowTest, KeyframeScaling) {
  // Slide 0 lasts 4000 ms without incoming transition and hands over with 1000:
  // L = 5000, tin = 0, tout = 1000.
  struct TCase {
    const char* Keys;
    float Ratio;
    int64_t Length, In, Out;
  };
  const TCase cases[] = {
      {"", 0, 5000, 0, 1000},
      {"ScaleMode=0\nScaleTimes=2000,100,500", 0, 5000, 0, 1000},
      {"ScaleMode=1\nScaleTimes=2000,100,500", 2, 2500, 100, 500},  // 5000 / 2500
      {"ScaleMode=2\nScaleTimes=2000,100,500", 2, 2500, 100, 500},  // 4000 / 2000
      {"ScaleMode=2\nScaleTimes=3000", 4000.0f / 3000.0f, 3000, 0, 0},
      {"ScaleMode=1\nScaleTimes=x,100,500", 10, 500, 100, 500},  // 5000 / 500
      {"ScaleMode=1\nScaleTimes=0,0,0", 0, 5000, 0, 1000},
      {"ScaleMode=1\nScaleTimes=0,100,0", 0, 5000, 0, 1000},
      {"ScaleMode=2\nScaleTimes=0,100,500", 0, 5000, 0, 1000},
      {"ScaleMode=1", 0, 5000, 0, 1000},
      {"ScaleMode=3\nScaleTimes=2000,100,500", 0, 5000, 0, 1000},
      {"ScaleMode=one\nScaleTimes=2000,100,500", 0, 5000, 0, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Keys);
    auto source = SourceOf(std::string(R"([Main]
object TheEffect:AnEffect
  time=1000
  object dissolve:dissolve
    checked=1
  end
end
[Times]
opt_slidescount=2
opt_synchpos1=4000
opt_synchpos2=10000
[Slide1]
object TheEffect:AnEffect
  ref=quick
end
)") + c.Keys + "\n");
    TKeyframeScaling scaling = source->Timeline().KeyframeScaling(0);
    EXPECT_FLOAT_EQ(scaling.Ratio, c.Ratio);
    EXPECT_EQ(scaling.Length, c.Length);
    EXPECT_EQ(scaling.InEffect, c.In);
    EXPECT_EQ(scaling.OutEffect, c.Out);
  }
}

TEST(RoundTimeTest, RoundsToNearestWithTiesToEven) {
  const std::pair<double, int64_t> cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {2.4999, 2},
      {2.5000001, 3},
      {1e12 + 0.5, 1000000000000},
      {7, 7},
      {-7.2, -7},
      {12000.75, 12001},
      {1e12 + 1.5, 1000000000002},
      // Times beyond 64 bits stop at its ends.
      {9223372036854775807.0, INT64_MAX},
      {kMaxTime, INT64_MAX},
      {1e300, INT64_MAX},
      {-9223372036854775808.0, INT64_MIN},
      {-1e300, INT64_MIN},
  };
  for (auto [time, rounded] : cases) EXPECT_EQ(RoundTime(time), rounded) << time;
}

}  // namespace
}  // namespace viv::test
