// Projects the authoring tool would not write: missing sections, values that
// do not parse, counts out of range. They give defaults, never a crash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "base/exceptions.h"
#include "show_test_support.h"

namespace viv::test {
namespace {

using ::testing::HasSubstr;

// The assertion text a call raised; empty when it returned.
template <typename F>
std::string Raised(F&& call) {
  try {
    call();
  } catch (const TCommonException& e) {
    return e.what();
  }
  return {};
}

TEST_F(ShowTest, SlideCountsAndEndTimes) {
  struct TCase {
    const char* Times;
    int32_t Count;
    double Duration;
    const char* Error;  // nullptr: the show opens
  };
  const TCase cases[] = {
      {"opt_slidescount=abc\nopt_synchpos1=100", 0, 0, nullptr},
      {"opt_slidescount=-3\nopt_synchpos1=100", 0, 0, nullptr},
      {"opt_slidescount=99999999999\nopt_synchpos1=100", 0, 0, nullptr},  // beyond 32 bits
      {"opt_slidescount= 2\nopt_synchpos1=10\nopt_synchpos2=20", 2, 20, nullptr},
      {"opt_slidescount=2\nopt_synchpos1=abc\nopt_synchpos2=500", 2, 500, nullptr},
      {"opt_slidescount=2\nopt_synchpos1=1.5e3\nopt_synchpos2=2000", 2, 2000, nullptr},
      {"opt_slidescount=2\nopt_synchpos1=99999999999\nopt_synchpos2=2000", 2, 2000, nullptr},
      // A count the section cannot describe is cut to its lines.
      {"opt_slidescount=1000000000", 1, 0, nullptr},
      {"opt_slidescount=1000000000\nopt_synchpos1=0\nopt_synchpos2=0", 3, 0, nullptr},
      {"opt_synchpos1=100\nopt_slidescount=1000000000", 0, 0, "'Incorrect time'"},
      {"opt_slidescount=2\nopt_synchpos2=100\nopt_synchpos1=100", 2, 100, nullptr},
      {"opt_slidescount=2\nopt_synchpos1=-1\nopt_synchpos2=100", 0, 0, "'Incorrect time'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Times);
    std::string text = std::string("[Times]\n") + c.Times + "\n";
    TRef<TVivSource> source;
    std::string error = Raised([&] { source = SourceOf(text); });
    if (c.Error) {
      EXPECT_THAT(error, HasSubstr(c.Error));
      continue;
    }
    ASSERT_EQ(error, "");
    EXPECT_EQ(source->SlideCount(), c.Count);
    EXPECT_DOUBLE_EQ(source->Timeline().ShowDuration(), c.Duration);
  }
}

TEST_F(ShowTest, AShowWithoutSlidesAnswersOrRefuses) {
  for (const char* repeat : {"repeat", "stop"}) {
    SCOPED_TRACE(repeat);
    auto source = SourceOf(std::string("[Main]\nopt_repeat=") + repeat + "\n");
    const TSlideTimeline& t = source->Timeline();
    ASSERT_EQ(t.SlideCount(), 0);
    TSlideInfo info;
    EXPECT_EQ(t.GetSlideInfo(-1, info), -1);
    EXPECT_EQ(info.OutEffectTime, 0);
    EXPECT_EQ(t.FindSlideAtTime(0), -1);
    EXPECT_EQ(t.GetEffectTime(0), 0);
    EXPECT_EQ(t.FindSlideById(""), -1);
    EXPECT_EQ(t.PreviousSlidePosition(0), 0);
    EXPECT_FALSE(t.GetEndAction(0));
    EXPECT_FALSE(t.GetRunApp(0));
    TScheduleMarks marks;
    t.FindNextBarrier(100, marks);
    EXPECT_FALSE(marks.BarrierPresent);
    bool repeats = repeat[0] == 'r';
    EXPECT_EQ(marks.BarrierIndex, repeats ? 2147483646 : -1);
    EXPECT_EQ(marks.BarrierTime, repeats ? kMaxTime : 0);
    t.FindNextAction(100, marks);
    EXPECT_EQ(marks.ActionIndex, 2147483646);
    EXPECT_EQ(marks.ActionTime, kMaxTime);
    // Queries that need a slide raise the player's refusal.
    for (auto query : std::initializer_list<std::function<void()>>{
             [&] { t.GetSlideInfo(0, info); }, [&] { t.FindSlideAtTime(10); },
             [&] { t.SlidePosition(0); }, [&] { t.NextSlidePosition(0, false); },
             [&] { t.PreviousSlidePosition(10); }, [&] { t.KeyframeScaling(0); }})
      EXPECT_THAT(Raised(query), HasSubstr("'No Slides in Presentation'"));
    // Choosing a transition needs no slide record.
    EXPECT_FALSE(source->ChooseEffect(0).Effect);
  }
}

TEST_F(ShowTest, CataloguesThatSayTooLittleOrTooMuch) {
  struct TCase {
    std::string Entry;
    bool Enabled;
    int64_t CustomVariants;
  };
  const TCase cases[] = {
      {"object e:shapes\nkey=action,,direction\naction=01\ndirection=1\nend\n", true, 2},
      {"object e:shapes\nkey=nothing\naction=11\ndirection=111\nend\n", false, 0},
      {"object e:shapes\nkey=\nchecked=01\nend\n", true, 1},  // any "1" will do
      {"object e:custom\nkey=a\na=\nend\n", false, 0},
      {"object e:custom\nkey=a,b\na=1\nb=10101\nend\n", true, 5},
      {"object e:custom\nkey=a,b\na=" + std::string(5000, '1') + "\nb=11\nend\n", true, 10000},
      {"object e:dissolve\nend\n", false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Entry.substr(0, 60));
    auto source = SourceOf("[Main]\nobject TheEffect:AnEffect\n" + c.Entry +
                           "end\n[Times]\nopt_slidescount=1\nopt_synchpos1=100\n");
    const TEffectProp& entry = source->EffectManager().EntryAt(0);
    EXPECT_EQ(entry.Enabled(), c.Enabled);
    EXPECT_EQ(entry.VariantCount(), c.CustomVariants);
  }

  auto odd = SourceOf(
      "[Main]\nobject TheEffect:AnEffect\nobject e:custom\nkey=a,b\na=1\n"
      "b=10101\nend\nend\n");
  const TEffectProp& entry = odd->EffectManager().EntryAt(0);
  EXPECT_EQ(entry.VariantKey(2), "slide_1_00100");
  EXPECT_TRUE(entry.VariantEnabled(2));
  EXPECT_FALSE(entry.VariantEnabled(3));
  EXPECT_EQ(entry.VariantSection(2), nullptr);
}

TEST_F(ShowTest, NegativeTransitionTimesCountAsNone) {
  auto source = SourceOf(
      "[Times]\nopt_slidescount=2\nopt_synchpos1=1000\nopt_synchpos2=2000\n"
      "[Slide2]\nobject TheEffect:AnEffect\nref=dissolve\ntime=-500\nend\n");
  const TSlideTimeline& t = source->Timeline();
  EXPECT_EQ(t.GetEffectTime(1), 0);
  EXPECT_EQ(t.Record(0).OutEffectTime, 0);
  EXPECT_EQ(t.Record(0).VisibleEndTime, 1000);
  EXPECT_EQ(t.Record(1).InEffectTime, 0);
}

TEST_F(ShowTest, TransitionBlocksThatNameNothing) {
  auto source = SourceOf(
      "[Main]\nobject TheEffect:Catalogue\ntime=500\nobject d:dissolve\nchecked=1\nend\nend\n"
      "[Times]\nopt_slidescount=3\nopt_synchpos1=1000\nopt_synchpos2=2000\nopt_synchpos3=3000\n"
      "[Slide1]\nobject TheEffect:AnEffect\nref=\ntime=300\nend\n"
      "[Slide2]\nobject TheEffect:AnEffect\nref=ghost\ntime=soon\nend\n"
      "[Slide3]\nobject TheEffect:AnEffect\nref=dissolve\nstdidx=77777777777777777777\n"
      "time=200\nend\n");
  const TVIVEffectManager& m = source->EffectManager();
  // A block of another class is no catalogue: one is made, with nothing enabled.
  EXPECT_EQ(m.ShowTime(), 2000);
  EXPECT_EQ(m.EntryCount(), 3u);
  EXPECT_FALSE(m.AnyEnabled());
  EXPECT_TRUE(source->RandomList().empty());

  const TSlideTimeline& t = source->Timeline();
  EXPECT_EQ(m.SlideEffect(0).RefName(), "");
  EXPECT_EQ(t.GetEffectTime(0), 300);
  EXPECT_EQ(t.GetEffectTime(1), 0);
  EXPECT_EQ(t.GetEffectTime(2), 200);
  // Names of nothing become custom effects without a section.
  TEffectChoice empty = source->ChooseEffect(0);
  ASSERT_TRUE(empty.Effect);
  EXPECT_EQ(empty.Effect->Type, TEffectType::Custom);
  EXPECT_EQ(empty.Effect->Section.Get(), nullptr);
  EXPECT_FALSE(source->ChooseEffect(1).Effect);  // its time reads as 0
  // A number that does not parse leaves the name to decide.
  TEffectChoice named = source->ChooseEffect(2);
  ASSERT_TRUE(named.Effect);
  EXPECT_EQ(named.Effect->Type, TEffectType::Dissolve);
  EXPECT_EQ(m.SlideEffect(2).Builtin(), TBuiltinEffect::Dissolve);
}

}  // namespace
}  // namespace viv::test
