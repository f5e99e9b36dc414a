// Keyframes: reading KeyPoint blocks against the slide timing, evaluating a
// node's fifteen values at any time, and rescaling a slide's keyframe times.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/objects/object_kinds.h"
#include "model_test_support.h"

namespace viv::test {
namespace {

constexpr TNodeTiming kTiming{5000, 700, 300};  // D, P, N

std::string Block(std::string_view classWord, std::string_view inner) {
  return "object o:" + std::string(classWord) + "\nGUID=g\n" + std::string(inner) + "end\n";
}

TEST(KeyFrameReading, OriginsAndTimes) {
  struct TCase {
    const char* Keys;
    double Time;
    TKeyOrigin Origin;
  };
  const TCase kCases[] = {
      {"Time=1200\n", 1200, TKeyOrigin::SlideBegin},
      {"Time=2445.9\n", 2445, TKeyOrigin::SlideBegin},
      {"Time=-2445.9\n", -2445, TKeyOrigin::SlideBegin},
      {"Time=\n", 0, TKeyOrigin::SlideBegin},
      {"Time=soon\n", 0, TKeyOrigin::SlideBegin},
      {"Time=100\nOrigin=PrevEffectEnd\n", 800, TKeyOrigin::PrevEffectEnd},
      {"Time=100\nOrigin=NextEffectBegin\n", 4800, TKeyOrigin::NextEffectBegin},
      {"Time=-500\nOrigin=SlideEnd\n", 4500, TKeyOrigin::SlideEnd},
      {"Time=-500\nOrigin=slideEND\n", 4500, TKeyOrigin::SlideEnd},
      {"Time=100\nOrigin=Whenever\n", 100, TKeyOrigin::SlideBegin},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Keys);
    TTestNode node(Block("Box", "object k:KeyPoint\n" + std::string(c.Keys) + "end\n"), kTiming);
    ASSERT_EQ(node.Node->KeyFrames.size(), 1u);
    EXPECT_EQ(node.Node->KeyFrames[0]->Time, c.Time);
    EXPECT_EQ(node.Node->KeyFrames[0]->Origin, c.Origin);
  }
}

TEST(KeyFrameReading, GroupsAreMaskedByKind) {
  struct TCase {
    const char* ClassWord;
    const char* Keys;
    const char* Grps;
    uint32_t Groups;
  };
  const TCase kCases[] = {
      {"Frame", "", "255", 0x3F},    {"Box", "", "", 0x3F},
      {"Splitter", "", "255", 0},    {"Image", "", "255", 0xFF},
      {"Image", "", "128", 0x80},    {"Image", "AnimEnable=1\n", "255", 0x7F},
      {"AniImage", "", "200", 0x48}, {"Text", "", "255", 0x7F},
      {"Button", "", "192", 0x40},   {"Video", "", "255", 0xFF},
      {"ViewPort", "", "255", 0x3F}, {"MaskStencil", "", "255", 0},
      {"MaskContent", "", "1", 0},   {"Layer", "", "255", 0x3F},
      {"Box", "", "6", 0x06},        {"Box", "", "lots", 0x3F},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ClassWord) + " grps=" + c.Grps);
    std::string key = *c.Grps ? "object k:KeyPoint\ngrps=" + std::string(c.Grps) + "\nend\n"
                              : "object k:KeyPoint\nend\n";
    TTestNode node(Block(c.ClassWord, c.Keys + key), kTiming);
    EXPECT_EQ(node.Node->KeyFrames[0]->Groups, c.Groups);
  }
}

// A node's values at one time: each case a node, a time and the values expected.
struct TEvalCase {
  const char* Name;
  std::string Keys;  // keyframes of an Image node
  double Time;
  std::vector<std::pair<int, float>> Expected;
};

void CheckCases(const std::vector<TEvalCase>& cases, TNodeTiming timing = kTiming) {
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + " at " + std::to_string(c.Time));
    TTestNode node(Block("Image", c.Keys), timing);
    node.Node->EvaluateSelf(c.Time);
    for (auto [param, value] : c.Expected)
      EXPECT_NEAR(node.Node->Values[static_cast<size_t>(param)], value, 1e-3)
          << AnimatedFields()[static_cast<size_t>(param)].Name;
  }
}

TEST(KeyFrameEvaluation, InterpolationAndHolding) {
  const std::string fade = Key(1000, "grps=1\nOpacity=0\n") + Key(2000, "grps=1\nOpacity=100\n");
  // A sets the opacity at 0, B the position at 1000, C both at 2000.
  const std::string abc = Key(0, "grps=1\nOpacity=0\n") + Key(1000, "grps=2\nPosition=40,20\n") +
                          Key(2000, "grps=3\nOpacity=100\nPosition=80,60\n");
  const std::string same = Key(0, "Opacity=0\n") + Key(1000, "Opacity=20\n") +
                           Key(1000, "Opacity=80\n") + Key(2000, "Opacity=100\n");
  CheckCases({
      {"fade", fade, 500, {{kOpacity, 0}}},
      {"fade", fade, 1500, {{kOpacity, 50}}},
      {"fade", fade, 3000, {{kOpacity, 100}}},
      {"fade", fade, -100, {{kOpacity, 0}}},
      {"fade", fade, 1500, {{kScaleX, 100}, {kPosX, 0}, {kFrameS, 100}}},  // groups not set
      {"abc", abc, 500, {{kOpacity, 25}, {kPosX, 40}, {kPosY, 20}}},
      {"abc", abc, 1000, {{kOpacity, 50}, {kPosX, 40}, {kPosY, 20}}},
      {"abc", abc, 1500, {{kOpacity, 75}, {kPosX, 60}, {kPosY, 40}}},
      {"abc", abc, 2500, {{kOpacity, 100}, {kPosX, 80}, {kPosY, 60}}},
      {"equal times", same, 999, {{kOpacity, 19.98f}}},
      {"equal times", same, 1000, {{kOpacity, 80}}},
      {"equal times", same, 1500, {{kOpacity, 90}}},
      // A keyframe that leaves a group alone does not end that group's segment.
      {"skip",
       Key(0, "ScaleX=50\n") + Key(1000, "grps=1\nScaleX=10\n") + Key(2000, "ScaleX=150\n"),
       1000,
       {{kScaleX, 100}}},
      {"skip", Key(0, "ScaleX=50\n") + Key(1000, "grps=1\nScaleX=10\n"), 1000, {{kScaleX, 50}}},
      // A set group with its key absent takes the default.
      {"absent", Key(0, "ScaleX=50\n") + Key(1000), 1000, {{kScaleX, 100}}},
      // Times beyond the slide are clamped to it.
      {"clamp", Key(0, "Opacity=0\n") + Key(10000, "Opacity=100\n"), 8000, {{kOpacity, 50}}},
  });
}

TEST(KeyFrameEvaluation, LinkedPairsAndNumbers) {
  CheckCases({
      {"empty", Key(0, "grps=2\nPosition=\n"), 0, {{kPosX, 0}, {kPosY, 0}}},
      {"one", Key(0, "grps=2\nPosition=10\n"), 0, {{kPosX, 10}, {kPosY, 0}}},
      {"two",
       Key(0, "Position=10,-20\nCenterPos=,30\n"),
       0,
       {{kPosX, 10}, {kPosY, -20}, {kCenterX, 0}, {kCenterY, 30}}},
      {"bad",
       Key(0, "Position=abc,5\nZPos=x\nOpacity=\n"),
       0,
       {{kPosX, 0}, {kPosY, 5}, {kPosZ, 0}, {kOpacity, 100}}},
      {"all",
       Key(0,
           "Opacity=50\nZPos=7\nScaleX=20\nScaleY=30\nAngle=5\nAngleX=6\nAngleY=7\n"
           "Blur=8\nZoom=150\nOffsX=-40\nOffsY=40\n"),
       0,
       {{kOpacity, 50},
        {kPosZ, 7},
        {kScaleX, 20},
        {kScaleY, 30},
        {kAngle, 5},
        {kAngleX, 6},
        {kAngleY, 7},
        {kBlur, 8},
        {kFrameS, 150},
        {kFrameX, -40},
        {kFrameY, 40}}},
      // One keyframe sets its groups for the whole slide.
      {"one keyframe",
       Key(3000, "grps=1\nOpacity=30\nScaleX=5\n"),
       100,
       {{kOpacity, 30}, {kScaleX, 100}}},
  });
}

TEST(KeyFrameEvaluation, OffsetsFollowTheZoom) {
  // With u = 0.01 and d = Zoom × u − 1: (e + (f − e) × fraction) / d, where
  // e and f are (zoom × u − 1) × offset at either end.
  CheckCases({
      // Zoom 150, d 0.5, e 0, f 50: 25 / 0.5.
      {"100-200",
       Key(0, "Zoom=100\nOffsX=0\n") + Key(1000, "Zoom=200\nOffsX=50\n"),
       500,
       {{kFrameS, 150}, {kFrameX, 50}}},
      // At the start d is 0: the plain linear value.
      {"100-200",
       Key(0, "Zoom=100\nOffsX=0\n") + Key(1000, "Zoom=200\nOffsX=50\n"),
       0,
       {{kFrameX, 0}}},
      // Zoom 300, d 2, e 0, f 150: 75 / 2.
      {"200-400",
       Key(0, "Zoom=200\nOffsX=0\n") + Key(1000, "Zoom=400\nOffsX=50\n"),
       500,
       {{kFrameX, 37.5f}}},
      // Zoom 250, d 1.5, e 40, f 0: 30 / 1.5.
      {"OffsY",
       Key(0, "Zoom=200\nOffsY=40\n") + Key(1000, "Zoom=400\nOffsY=0\n"),
       250,
       {{kFrameY, 20}}},
      {"equal zoom",
       Key(0, "Zoom=200\nOffsX=0\n") + Key(1000, "Zoom=200\nOffsX=50\n"),
       500,
       {{kFrameX, 25}}},
      {"equal offsets",
       Key(0, "Zoom=200\nOffsX=20\n") + Key(1000, "Zoom=400\nOffsX=20\n"),
       500,
       {{kFrameX, 20}}},
      // Zoom 75: d is negative, so linear.
      {"zoom out",
       Key(0, "Zoom=50\nOffsX=0\n") + Key(1000, "Zoom=100\nOffsX=50\n"),
       500,
       {{kFrameX, 25}}},
  });

  // A forced aspect changes the unit: u 0.02 gives d 2, f 150: 75 / 2.
  TTestNode node(Block("Image", Key(0, "Zoom=100\nOffsX=0\n") + Key(1000, "Zoom=200\nOffsX=50\n")),
                 kTiming);
  node.Node->ScaleUnitX = 0.02f;
  EXPECT_NEAR(node.At(500, kFrameX), 37.5f, 1e-3);
}

TEST(KeyFrameEvaluation, OutOfOrderKeyframesAreSortedStably) {
  TTestNode node(Block("Box", Key(2000, "Opacity=100\n") + Key(0, "Opacity=0\n") +
                                  Key(1000, "Opacity=50\n") + Key(1000, "Opacity=60\n")),
                 kTiming);
  std::vector<double> times;
  for (auto& key : node.Node->KeyFrames) times.push_back(key->Time);
  EXPECT_THAT(times, ::testing::ElementsAre(0, 1000, 1000, 2000));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(node.Node->KeyFrames[static_cast<size_t>(i)]->ListIndex, i);
  EXPECT_FLOAT_EQ(node.At(500, kOpacity), 25);
  EXPECT_FLOAT_EQ(node.At(1000, kOpacity), 60);  // the later of the equal pair
  EXPECT_FLOAT_EQ(node.At(1500, kOpacity), 80);
}

TEST(KeyFrameEvaluation, InitialValuesComeFromTheFirstKeyframe) {
  // Evaluated at 0 when built: the first keyframe (at 1000) holds until then.
  TTestNode node(Block("Box", Key(1000, "grps=1\nOpacity=20\n") + Key(2000, "Opacity=90\n")),
                 kTiming);
  EXPECT_FLOAT_EQ(node.Node->Values[kOpacity], 20);
  EXPECT_EQ(node.Node->Time, 0);
  TTestNode none(Block("Box", ""), kTiming);
  EXPECT_EQ(none.Node->Values, DefaultAnimValues());
}

TEST(KeyFrameEvaluation, AnyOrderOfTimesGivesTheFreshValues) {
  const std::string keys =
      Key(0, "Opacity=0\nPosition=0,0\n") + Key(800, "grps=2\nPosition=100,50\n") +
      Key(1000, "grps=5\nOpacity=40\nScaleX=10\n") + Key(1000, "grps=1\nOpacity=90\n") +
      Key(2500, "grps=8\nAngle=90\n") + Key(4000, "Opacity=10\nScaleX=300\n");
  const double kTimes[] = {5000, 4000, 3999, 2500, 1800, 1000, 999,  800, 400,  0,   -50,
                           300,  800,  1000, 1001, 2400, 2600, 4200, 900, 3100, 5000};
  TTestNode walked(Block("Box", keys), kTiming);
  for (double t : kTimes) {
    SCOPED_TRACE(t);
    walked.Node->EvaluateSelf(t);
    TTestNode fresh(Block("Box", keys), kTiming);
    fresh.Node->EvaluateSelf(t);
    for (int p = 0; p < kParamCount; ++p)
      EXPECT_FLOAT_EQ(walked.Node->Values[static_cast<size_t>(p)],
                      fresh.Node->Values[static_cast<size_t>(p)])
          << AnimatedFields()[static_cast<size_t>(p)].Name;
  }
}

TEST(KeyFrameEvaluation, HundredThousandKeyframes) {
  // Opacity alternates 0, 100, 0, ... every 10 ms; the position moves 1 per keyframe.
  constexpr int kCount = 100000;
  std::string keys;
  keys.reserve(static_cast<size_t>(kCount) * 64);
  for (int i = 0; i < kCount; ++i)
    keys += Key(i * 10, "Opacity=" + std::to_string(i % 2 * 100) +
                            "\nPosition=" + std::to_string(i) + ",0\n");
  TTestNode node(Block("Box", keys), {kCount * 10, 0, 0});
  ASSERT_EQ(node.Node->KeyFrames.size(), static_cast<size_t>(kCount));
  // Forward through every segment, then backward through a few.
  for (int i = 0; i < kCount - 1; ++i) {
    node.Node->EvaluateSelf(i * 10 + 2.5);
    if (node.Node->Values[kOpacity] != (i % 2 ? 75 : 25) || node.Node->Values[kPosX] != i + 0.25f) {
      ADD_FAILURE() << "segment " << i << ": " << node.Node->Values[kOpacity] << ", "
                    << node.Node->Values[kPosX];
      break;
    }
  }
  for (int i : {99998, 50001, 2, 77777, 0}) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(node.At(i * 10 + 5, kOpacity), 50);
    EXPECT_FLOAT_EQ(node.Node->Values[kPosX], i + 0.5f);
  }
  EXPECT_FLOAT_EQ(node.At(kCount * 10, kPosX), kCount - 1);
}

// The slide's keyframe scaling: slide 1 lasts 10000 ms plus a 1000 ms
// transition into slide 2, so D = 11000 and N = 1000.
std::string ScaledProject(std::string_view slideKeys, std::string_view objects) {
  return "[Main]\nopt_repeat=close\nobject TheEffect:AnEffect\ntime=1000\n"
         "object d:dissolve\nchecked=1\nend\nend\n"
         "[Times]\nopt_slidescount=2\nopt_synchpos1=10000\nopt_synchpos2=12000\n"
         "[Slide1]\n" +
         std::string(slideKeys) +
         "object TheEffect:AnEffect\nref=quick\nend\n"
         "object Container:Root\n" +
         std::string(objects) + "end\n[Slide2]\nobject TheEffect:AnEffect\nref=default\nend\n";
}

TEST(KeyFrameScaling, TimesFollowTheLengthenedSlide) {
  const std::string objects = "object A:Box\nGUID=a\nDeltaTime1=300\nDeltaTime2=101\n" + Key(2500) +
                              "object k:KeyPoint\nOrigin=SlideEnd\nTime=-500\nend\n" + "end\n";
  struct TCase {
    const char* SlideKeys;
    double Key;     // the keyframe authored at 2500
    double EndKey;  // the one at 500 before the end
    double DeltaTime1, DeltaTime2;
  };
  const TCase kCases[] = {
      {"", 2500, 10500, 300, 101},
      // Factor D / (A + Na) = 11000 / 5500; authored D 5500.
      {"ScaleMode=1\nScaleTimes=5000,0,500\n", 5000, 10000, 600, 202},
      // Factor (D − N) / A = 10000 / 4000; authored D 4500.
      {"ScaleMode=2\nScaleTimes=4000,0,500\n", 6250, 10000, 750, 252},  // 252.5 rounds to even
      {"ScaleMode=1\nScaleTimes=0,0,0\n", 2500, 10500, 300, 101},       // no denominator
      {"ScaleMode=3\nScaleTimes=5000,0,500\n", 2500, 10500, 300, 101},
      {"ScaleMode=1\n", 2500, 10500, 300, 101},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.SlideKeys);
    TTestShow show;
    TVivSlide& slide = show.Load(ScaledProject(c.SlideKeys, objects));
    TVivObjectProps& node = *FindNode(slide.RootNode(), "A");
    EXPECT_EQ(node.Timing.Duration, 11000);
    EXPECT_EQ(node.Timing.NextEffect, 1000);
    ASSERT_EQ(node.KeyFrames.size(), 2u);
    EXPECT_EQ(node.KeyFrames[0]->Time, c.Key);
    EXPECT_EQ(node.KeyFrames[1]->Time, c.EndKey);
    EXPECT_EQ(node.DeltaTime1, c.DeltaTime1);
    EXPECT_EQ(node.DeltaTime2, c.DeltaTime2);
  }
}

TEST(KeyFrameScaling, RescaleRoundsAndResetsTheTrackers) {
  const std::string keys =
      Key(1000, "Opacity=10\n") + Key(1001, "Opacity=20\n") + Key(3000, "Opacity=30\n");
  TTestNode node(Block("Box", keys), kTiming);
  EXPECT_FLOAT_EQ(node.At(4000, kOpacity), 30);  // trackers left at the last segment
  node.Node->Rescale(0.0005, {2000, 0, 0});      // 0.5, 0.5005, 1.5 round to 0, 1, 2
  std::vector<double> times;
  for (auto& key : node.Node->KeyFrames) times.push_back(key->Time);
  EXPECT_THAT(times, ::testing::ElementsAre(0, 1, 2));
  EXPECT_EQ(node.Node->Timing.Duration, 2000);
  EXPECT_FLOAT_EQ(node.At(1.5, kOpacity), 25);

  TTestNode tiny(Block("Box", keys), kTiming);
  tiny.Node->Rescale(0.00001, {2000, 0, 0});  // below 0.0001 counts as 1
  EXPECT_EQ(tiny.Node->KeyFrames[2]->Time, 3000);
  EXPECT_FLOAT_EQ(tiny.At(1000.5, kOpacity), 15);
}

}  // namespace
}  // namespace viv::test
