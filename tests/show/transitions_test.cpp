// The transition catalogue, slide blocks, effect records, random choices and
// the filters effects select.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "show/effect_catalogue.h"
#include "show/viv_effect.h"
#include "show_test_support.h"

namespace viv::test {
namespace {

using TParams = std::vector<std::pair<std::string, double>>;

std::string FlagText(const std::vector<bool>& flags) {
  std::string text;
  for (bool f : flags) text += f ? '1' : '0';
  return text;
}

std::vector<bool> Flags(std::string_view text) {
  std::vector<bool> flags;
  for (char c : text) flags.push_back(c == '1');
  return flags;
}

// A project whose show-wide block (time 1000) holds the given entries, with
// the given slide count (no [Slide] sections: every slide asks for "default").
std::string Catalogue(std::string_view entries, int slides = 1, std::string_view rest = {}) {
  std::string text = "[Main]\nobject TheEffect:AnEffect\ntime=1000\n" + std::string(entries) +
                     "end\n[Times]\nopt_slidescount=" + std::to_string(slides) + "\n";
  for (int i = 1; i <= slides; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 5000) + "\n";
  return text + std::string(rest);
}

std::string Entry(std::string_view name, std::string_view className, std::string_view keys) {
  return "object " + std::string(name) + ":" + std::string(className) + "\n" + std::string(keys) +
         "\nend\n";
}

std::string SlideBlock(int slide, std::string_view keys) {
  return "[Slide" + std::to_string(slide) + "]\nobject TheEffect:AnEffect\n" + std::string(keys) +
         "\nend\n";
}

const char* kCatalogue =
    "centerx=70\n"
    "object dissolve:dissolve\ncaption=Dissolve\nstdidx=2\nchecked=1\nend\n"
    "object shapes:shapes\nstdidx=5\nkey=action,direction\naction=10\ndirection=101\n"
    "centerx=20\ntime=999\nsmoothline=0.2\nend\n"
    "object Gates:gates\nstdidx=6\nkey=direction\ndirection=00000000\nend\n"
    "object star:custom\nkey=action,direction\naction=01\ndirection=101\n"
    "slide_01_100=StarA\nslide_01_001=StarB\nend\n"
    "object wipe:custom\nchecked=1\nend\n";

const char* kEffectSections =
    "[effect_stara]\nCustomEffTime=1500\n[effect_wipe]\nCustomEffTime=900\n";

TEST(OptionModelTest, OptionStrings) {
  const std::pair<const char*, TOptionState> cases[] = {
      {"1", TOptionState::FullyOn},
      {"111", TOptionState::FullyOn},
      {"101", TOptionState::PartlyOn},
      {"110", TOptionState::PartlyOn},
      {"011", TOptionState::PartlyOn},
      // Other characters: fully on needs the leading "1".
      {"x1", TOptionState::PartlyOn},
      {"1x", TOptionState::FullyOn},
      {"0", TOptionState::Off},
      {"000", TOptionState::Off},
      {"", TOptionState::Off},
  };
  for (auto [option, state] : cases) EXPECT_EQ(OptionStringState(option), state) << option;
}

TEST_F(ShowTest, CatalogueEntriesAndTheirStates) {
  auto source = SourceOf(Catalogue(kCatalogue, 1, kEffectSections));
  const TVIVEffectManager& m = source->EffectManager();
  struct TCase {
    const char* Name;
    const char* RefName;
    TOptionState State;
    TBuiltinEffect Builtin;
  };
  const TCase cases[] = {
      {"dissolve", "dissolve", TOptionState::FullyOn, TBuiltinEffect::Dissolve},
      {"shapes", "shapes", TOptionState::PartlyOn, TBuiltinEffect::Shapes},
      {"Gates", "gates", TOptionState::Off, TBuiltinEffect::Gates},
      {"star", "star", TOptionState::PartlyOn, TBuiltinEffect::Custom},
      {"wipe", "wipe", TOptionState::FullyOn, TBuiltinEffect::Custom},
      // Appended after the real entries, never enabled.
      {"default", "default", TOptionState::Off, TBuiltinEffect::Default},
      {"defowntime", "defowntime", TOptionState::Off, TBuiltinEffect::DefOwnTime},
      {"quick", "quick", TOptionState::Off, TBuiltinEffect::Quick},
  };
  ASSERT_EQ(m.EntryCount(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TCase& c = cases[i];
    SCOPED_TRACE(c.Name);
    const TEffectProp& entry = m.EntryAt(i);
    EXPECT_EQ(entry.Block().Name(), c.Name);
    EXPECT_EQ(entry.RefName(), c.RefName);
    EXPECT_FALSE(entry.IsSlideReference());
    EXPECT_EQ(entry.State(), c.State);
    EXPECT_EQ(entry.Enabled(), c.State != TOptionState::Off);
    EXPECT_EQ(entry.Builtin(), c.Builtin);
    EXPECT_EQ(m.FindEntry(c.Name), &entry);
  }
  EXPECT_EQ(m.FindEntry("GATES"), &m.EntryAt(2));
  EXPECT_EQ(m.FindEntry("mystery"), nullptr);
  EXPECT_TRUE(m.AnyEnabled());
  const char* groups[] = {"GroupFromProjectOptions", "GroupFromProjectOptions", "GroupBasic"};
  for (size_t i = 0; i < 3; ++i) {
    const TEffectProp& pseudo = m.EntryAt(5 + i);
    EXPECT_EQ(pseudo.ReadText("caption"), pseudo.Block().Name());
    EXPECT_EQ(pseudo.ReadText("group"), groups[i]);
  }

  // A catalogue that has one of them keeps its own and gets the others.
  auto own = SourceOf(Catalogue(Entry("Quick", "quick", "caption=Cut")));
  const TVIVEffectManager& o = own->EffectManager();
  ASSERT_EQ(o.EntryCount(), 3u);
  EXPECT_EQ(o.EntryAt(0).ReadText("caption"), "Cut");
  EXPECT_EQ(o.EntryAt(1).Block().Name(), "default");
  EXPECT_EQ(o.EntryAt(2).Block().Name(), "defowntime");
}

TEST_F(ShowTest, ShapesWithOneActionAndTwoDirections) {
  // action "10", direction "101": (action 0, circle) and (action 0, square).
  auto source = SourceOf(Catalogue(
      Entry("shapes", "shapes", "stdidx=5\nkey=action,direction\naction=10\ndirection=101")));
  const TEffectProp& entry = source->EffectManager().EntryAt(0);
  EXPECT_TRUE(entry.Enabled());
  auto effect = BuildEffect(entry, TEffectType::Shapes);
  ASSERT_TRUE(effect);
  EXPECT_EQ(effect->VariantCount, 2);
  const std::pair<const char*, const char*> variants[] = {{"10100", "TCircleFilter"},
                                                          {"10001", "TSquareFilter"}};
  for (int64_t v = 0; v < 2; ++v) {
    auto one = effect->Copy();
    one->KeepVariant(v);
    EXPECT_EQ(FlagText(one->Flags), variants[v].first);
    EXPECT_EQ(one->VariantCount, 1);
    auto filter = DescribeFilter(*one, 1000, 600);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->ClassName, variants[v].second);
    EXPECT_EQ(filter->Param("reverse"), 1);  // action 0
  }
  EXPECT_EQ(FlagText(effect->Flags), "10101");  // the copies leave the prototype alone

  auto off = SourceOf(Catalogue(
      Entry("shapes", "shapes", "stdidx=5\nkey=action,direction\naction=00\ndirection=101")));
  EXPECT_FALSE(off->EffectManager().EntryAt(0).Enabled());
  EXPECT_FALSE(off->EffectManager().AnyEnabled());
  EXPECT_FALSE(BuildEffect(off->EffectManager().EntryAt(0), TEffectType::Shapes));
  EXPECT_TRUE(off->RandomList().empty());
}

TEST_F(ShowTest, EntryTypesFromNumberOrClass) {
  struct TCase {
    const char* ClassName;
    const char* Keys;
    TBuiltinEffect Builtin;
  };
  const TCase cases[] = {
      {"dissolve", "", TBuiltinEffect::Dissolve},
      {"PAGE", "", TBuiltinEffect::Page},
      {"whatever", "stdidx=7", TBuiltinEffect::Page},
      {"custom", "", TBuiltinEffect::Custom},
      {"custom", "stdidx=4", TBuiltinEffect::HourHand},  // the number wins
      {"page", "stdidx=99", TBuiltinEffect::Custom},
      {"page", "stdidx=-1", TBuiltinEffect::Custom},
      {"page", "stdidx=seven", TBuiltinEffect::Page},  // not a number: the class
      {"fancy", "", TBuiltinEffect::Custom},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ClassName) + " " + c.Keys);
    auto source = SourceOf(Catalogue(Entry("e", c.ClassName, c.Keys)));
    EXPECT_EQ(source->EffectManager().EntryAt(0).Builtin(), c.Builtin);
  }
}

TEST_F(ShowTest, SlideBlocksInheritKeys) {
  auto source = SourceOf(Catalogue(kCatalogue, 6,
                                   SlideBlock(1, "ref=shapes\ncenterx=") +
                                       SlideBlock(2, "ref=Shapes") + SlideBlock(3, "ref=mystery") +
                                       SlideBlock(4, "ref=shapes\ntime=300\nstdidx=9") +
                                       "[Slide5]\nobject TheEffect:AnEffect\ntime=5\nend\n" +
                                       "[Slide6]\nobject TheEffect:Other\nref=quick\nend\n"));
  const TVIVEffectManager& m = source->EffectManager();
  const TEffectProp& emptyOwn = m.SlideEffect(0);
  const TEffectProp& inherits = m.SlideEffect(1);
  const TEffectProp& unknown = m.SlideEffect(2);
  const TEffectProp& own = m.SlideEffect(3);

  EXPECT_TRUE(emptyOwn.IsSlideReference());
  EXPECT_EQ(emptyOwn.Entry(), m.FindEntry("shapes"));
  // The slide's empty key wins over the entry's 20.
  EXPECT_EQ(emptyOwn.ReadText("centerx", "x"), "");
  EXPECT_EQ(emptyOwn.ReadInteger("centerx", 50), 50);
  EXPECT_EQ(inherits.RefName(), "shapes");
  EXPECT_EQ(inherits.ReadInteger("centerx", 50), 20);
  EXPECT_DOUBLE_EQ(inherits.ReadReal("smoothline", 0), 0.2);
  EXPECT_EQ(inherits.ReadText("direction"), "101");
  // "time" never comes from the entry (999) but from the show-wide block.
  EXPECT_DOUBLE_EQ(inherits.ReadReal("time", 0), 1000);
  EXPECT_EQ(inherits.Builtin(), TBuiltinEffect::Shapes);
  EXPECT_DOUBLE_EQ(own.ReadReal("time", 0), 300);
  EXPECT_EQ(own.Builtin(), TBuiltinEffect::Push);  // its own "stdidx"
  // A name the catalogue does not know takes the show-wide block's keys.
  EXPECT_EQ(unknown.Entry(), nullptr);
  EXPECT_EQ(unknown.ReadInteger("centerx", 50), 70);
  EXPECT_DOUBLE_EQ(unknown.ReadReal("time", 0), 1000);
  EXPECT_EQ(unknown.ReadText("direction", "none"), "none");
  EXPECT_EQ(unknown.Builtin(), TBuiltinEffect::Custom);
  // A block without "ref", and a block of another class: "default".
  EXPECT_EQ(m.SlideEffect(4).RefName(), "default");
  EXPECT_EQ(m.SlideEffect(5).RefName(), "default");
  EXPECT_EQ(&m.SlideEffect(5), &m.SlideEffect(5));  // kept

  // Entries themselves inherit nothing.
  const TEffectProp& shapes = *m.FindEntry("shapes");
  EXPECT_DOUBLE_EQ(shapes.ReadReal("time", 0), 999);
  EXPECT_EQ(m.FindEntry("dissolve")->FindKey("time"), nullptr);
  EXPECT_EQ(shapes.FindKey("caption"), nullptr);
}

struct TEffectCase {
  const char* ClassName;
  const char* Keys;
  int64_t Variants;  // 0: no effect is made
  const char* Flags = "";
  std::vector<int32_t> Ints = {};
  std::vector<double> Floats = {};
  double Smoothing = 0.001;
};

TEST_F(ShowTest, EffectParametersAndDefaults) {
  const TEffectCase cases[] = {
      {"dissolve", "", 1, "1"},
      {"dissolve", "checked=0", 0},
      {"hourhand", "action=01\ndirection=000010000", 1, "01000010000", {}, {0}, 0.35},
      {"hourhand",
       "action=11\ndirection=110000001\noffset=0.25\nsmoothline=0.05",
       6,
       "11110000001",
       {},
       {0.25},
       0.001},
      {"hourhand",
       "action=10\ndirection=1\noffset=far\nsmoothline=0.5",
       1,
       "10100000000",
       {},
       {0},
       0.5},
      {"shapes", "action=10\ndirection=101\ncenterx=30\ncentery=abc", 2, "10101", {30, 50}},
      {"shapes", "action=1\ndirection=1111111\nsmoothline=0.2", 3, "10111", {50, 50}, {}, 0.2},
      {"shapes", "action=00\ndirection=111", 0},
      {"gates", "direction=10000001\nsmoothline=0.3", 2, "10000001", {}, {}, 0.3},
      {"page", "direction=1", 1, "10000000"},
      {"page", "direction=", 0},
      {"mosaic", "cols=8\nrows=6\nappearence=40", 1, "1", {8, 6, 40, 0}},
      {"mosaic", "", 1, "1", {1, 1, 0, 0}},
      {"mosaic", "checked=0\ncols=8", 0},
      // Four-way effects read "direction" at positions 1, 0, 2, 3.
      {"push", "direction=0110", 2, "1010"},
      {"push", "direction=1000", 1, "0100"},
      {"slide", "direction=0001", 1, "0001"},
      {"slide", "direction=0000", 0},
      // Curling: the direction reversed, then "usecolor" and "usevolume".
      {"curling",
       "action=01\ndirection=10000000\nusecolor=1\ncolor=255",
       1,
       "010000000110",
       {1, -65536},
       {0, 0.125}},
      {"curling",
       "action=11\ndirection=11000000\npipe=0\nradius=0.1\n3dvolume=0.3\nusevolume=1",
       4,
       "110000001101",
       {0, 0},
       {0.1, 0.3}},
      {"flip",
       "direction=1000\nspin_center=1\nnonlinear_speed=0\n3dvolume=0.7",
       1,
       "010010",
       {},
       {0.7}},
      {"flip", "direction=1111", 4, "111100", {}, {0.5}},
      {"flip", "direction=0000\nspin_center=1\nnonlinear_speed=1", 0},  // only four count
      {"swap", "direction=1111", 4, "1111", {}, {4, 1, 60}},
      {"swap", "direction=0100\ndepth=2\ndistance=3\nangle=45", 1, "1000", {}, {2, 3, 45}},
      {"swap", "direction=0100\ndepth=deep", 1, "1000", {}, {4, 1, 60}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ClassName) + " " + c.Keys);
    auto source = SourceOf(Catalogue(Entry("e", c.ClassName, c.Keys)));
    const TEffectProp& entry = source->EffectManager().EntryAt(0);
    auto effect = BuildEffect(entry, EffectTypeOf(entry.Builtin()));
    if (c.Variants == 0) {
      EXPECT_FALSE(effect);
      continue;
    }
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->Type, EffectTypeOf(BuiltinByName(c.ClassName)));
    EXPECT_EQ(effect->Name, "e");
    EXPECT_EQ(effect->VariantCount, c.Variants);
    EXPECT_EQ(FlagText(effect->Flags), c.Flags);
    EXPECT_EQ(effect->IntParams, c.Ints);
    EXPECT_EQ(effect->FloatParams, c.Floats);
    EXPECT_DOUBLE_EQ(effect->Smoothing, c.Smoothing);
  }
}

TEST_F(ShowTest, CurlingTakesOnlyItsOwnDirection) {
  const char* entry =
      "object curling:curling\nkey=action,direction\naction=10\ndirection=11111111\nend\n";
  auto source = SourceOf(Catalogue(entry, 2,
                                   SlideBlock(1, "ref=curling\ntime=700\ndirection=00000011") +
                                       SlideBlock(2, "ref=curling\ntime=700")));
  TEffectChoice own = source->ChooseEffect(0);
  ASSERT_TRUE(own.Effect);
  EXPECT_EQ(FlagText(own.Effect->Flags), "101100000000");
  EXPECT_EQ(own.Effect->VariantCount, 2);
  // Without a direction of its own the slide changes with a cut.
  EXPECT_FALSE(source->ChooseEffect(1).Effect);
  // The entry itself reads its own direction.
  ASSERT_EQ(source->RandomList().size(), 1u);
  EXPECT_EQ(FlagText(source->RandomList()[0]->Flags), "101111111100");
}

TEST_F(ShowTest, KeepingOneVariant) {
  struct TCase {
    const char* ClassName;
    const char* Keys;
    int64_t Variant;
    const char* Flags;
    const char* Filter;
  };
  const TCase cases[] = {
      {"gates", "direction=01011000", 0, "01000000", "TVLines"},
      {"gates", "direction=01011000", 1, "00010000", "TDiagLines"},
      {"gates", "direction=01011000", 2, "00001000", "THLines"},
      {"flip", "direction=1111\nspin_center=1\nnonlinear_speed=1", 0, "100011", "TOverturnEffect"},
      {"flip", "direction=1111\nspin_center=1\nnonlinear_speed=1", 3, "000111", "TOverturnEffect"},
      {"dissolve", "", 0, "1", "TAlphaFilter"},
      // Pairs numbered action first: directions 0, 4 and 8 of each action.
      {"hourhand", "action=11\ndirection=100010001", 0, "10100000000", "TBroomEffect"},
      {"hourhand", "action=11\ndirection=100010001", 2, "10000000001", "TBroomEffect"},
      {"hourhand", "action=11\ndirection=100010001", 4, "01000010000", "TClockEffect"},
      {"hourhand", "action=11\ndirection=100010001", 5, "01000000001", "TBroomEffect"},
      {"shapes", "action=11\ndirection=011", 1, "10001", "TSquareFilter"},
      {"shapes", "action=11\ndirection=011", 2, "01010", "TRhombFilter"},
      {"curling", "action=10\ndirection=11000000", 0, "100000001000", "TRollEffect2"},
      {"curling", "action=10\ndirection=11000000", 1, "100000000100", "TRollEffect2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ClassName) + " " + c.Keys + " " + std::to_string(c.Variant));
    auto source = SourceOf(Catalogue(Entry("e", c.ClassName, c.Keys)));
    const TEffectProp& entry = source->EffectManager().EntryAt(0);
    auto effect = BuildEffect(entry, EffectTypeOf(entry.Builtin()));
    ASSERT_TRUE(effect);
    effect->KeepVariant(c.Variant);
    EXPECT_EQ(FlagText(effect->Flags), c.Flags);
    EXPECT_EQ(effect->VariantCount, 1);
    auto filter = DescribeFilter(*effect, 1000, 600);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->ClassName, c.Filter);
  }
}

TEST_F(ShowTest, TheRandomList) {
  auto source = SourceOf(Catalogue(kCatalogue, 1, kEffectSections));
  const TIniFile& project = source->Project();
  struct TCase {
    const char* Name;
    TEffectType Type;
    TIniSection* Section;
  };
  // Enabled entries in order; the custom one gives an effect per enabled
  // variant with a key, even when its section is missing.
  const TCase expected[] = {
      {"dissolve", TEffectType::Dissolve, nullptr},
      {"shapes", TEffectType::Shapes, nullptr},
      {"star", TEffectType::Custom, project.FindSection("effect_StarA")},
      {"star", TEffectType::Custom, nullptr},
      {"wipe", TEffectType::Custom, project.FindSection("effect_wipe")},
  };
  const auto& list = source->RandomList();
  ASSERT_EQ(list.size(), std::size(expected));
  for (size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i]->Name, expected[i].Name);
    EXPECT_EQ(list[i]->Type, expected[i].Type);
    EXPECT_EQ(list[i]->Section.Get(), expected[i].Section);
  }
  ASSERT_NE(expected[2].Section, nullptr);
  ASSERT_NE(expected[4].Section, nullptr);
  std::vector<size_t> order = source->RandomOrder();
  std::sort(order.begin(), order.end());
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4}));
}

TEST_F(ShowTest, CustomVariants) {
  auto source = SourceOf(
      Catalogue(std::string(kCatalogue) + Entry("other", "custom", "checked=1\nslide_1=elsewhere") +
                    Entry("huge", "custom",
                          "key=a,b,c\na=" + std::string(100, '1') + "\nb=" + std::string(100, '1') +
                              "\nc=" + std::string(100, '1')) +
                    Entry("blank", "custom", "key=a\na="),
                1, std::string(kEffectSections) + "[effect_elsewhere]\n"));
  const TVIVEffectManager& m = source->EffectManager();
  const TEffectProp& star = *m.FindEntry("star");
  ASSERT_EQ(star.VariantCount(), 6);
  // Variant v: action digit v / 3, direction digit v % 3.
  const char* keys[] = {"slide_10_100", "slide_10_010", "slide_10_001",
                        "slide_01_100", "slide_01_010", "slide_01_001"};
  const bool enabled[] = {false, false, false, true, false, true};
  for (int64_t v = 0; v < 6; ++v) {
    SCOPED_TRACE(v);
    EXPECT_EQ(star.VariantKey(v), keys[v]);
    EXPECT_EQ(star.VariantEnabled(v), enabled[v]);
  }
  EXPECT_EQ(star.VariantSection(3), source->Project().FindSection("effect_stara"));
  EXPECT_EQ(star.VariantSection(5), nullptr);  // no [effect_StarB]
  EXPECT_EQ(star.VariantSection(0), nullptr);  // no key

  // Without options: one variant, "slide_1", the entry's name when the key is missing.
  const TEffectProp& wipe = *m.FindEntry("wipe");
  EXPECT_EQ(wipe.VariantCount(), 1);
  EXPECT_TRUE(wipe.VariantEnabled(0));
  EXPECT_EQ(wipe.VariantKey(0), "slide_1");
  EXPECT_EQ(wipe.VariantSection(0), source->Project().FindSection("effect_wipe"));
  const TEffectProp& other = *m.FindEntry("other");
  EXPECT_EQ(other.VariantSection(0), source->Project().FindSection("effect_elsewhere"));
  ASSERT_NE(other.VariantSection(0), nullptr);

  EXPECT_EQ(m.FindEntry("huge")->VariantCount(), 1000000);
  EXPECT_EQ(m.FindEntry("huge")->EnabledVariantCount(), 1000000);
  EXPECT_EQ(m.FindEntry("blank")->VariantCount(), 0);
  EXPECT_FALSE(m.FindEntry("blank")->Enabled());
  // "huge" has no variant keys and adds nothing; "other" adds one.
  EXPECT_EQ(source->RandomList().size(), 6u);
}

TEST_F(ShowTest, VariantsFarPastAFewThousandAreCountedAndFound) {
  // Options of a million and of two characters: the only enabled variants
  // are the last character of "a" with either "b", numbers 1999998 and
  // 1999999; only the second has a key, as long as both options together.
  const std::string a = std::string(999999, '0') + "1";
  const std::string key = "slide_" + std::string(999999, '0') + "1_01";
  auto source =
      SourceOf(Catalogue(Entry("far", "custom", "key=a,b\na=" + a + "\nb=11\n" + key + "=Far"), 2,
                         "[effect_far]\n" + SlideBlock(2, "ref=far\ntime=500")));
  const TEffectProp& far = *source->EffectManager().FindEntry("far");
  EXPECT_EQ(far.VariantCount(), 2000000);
  EXPECT_EQ(far.EnabledVariantCount(), 2);
  EXPECT_FALSE(far.VariantEnabled(1999997));
  EXPECT_TRUE(far.VariantEnabled(1999998));
  EXPECT_EQ(far.VariantKey(1999999), key);
  TIniSection* section = source->Project().FindSection("effect_far");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(far.VariantSection(1999999), section);
  ASSERT_EQ(source->RandomList().size(), 1u);
  EXPECT_EQ(source->RandomList()[0]->Section.Get(), section);
  // A slide naming the entry takes its first enabled variant, 1999998, which
  // has no key.
  TEffectChoice named = source->ChooseEffect(1);
  ASSERT_TRUE(named.Effect);
  EXPECT_EQ(named.Effect->Section.Get(), nullptr);

  // Counts past 64 bits stop at the largest number.
  auto vast = SourceOf(Catalogue(
      Entry("vast", "custom", "key=a,a,a,a,a,a,a,a\na=" + std::string(1000, '1') + "\nslide_1=x"),
      1));
  EXPECT_EQ(vast->EffectManager().FindEntry("vast")->VariantCount(), INT64_MAX);
  EXPECT_TRUE(vast->EffectManager().FindEntry("vast")->VariantEnabled(INT64_MAX - 1));
  EXPECT_TRUE(vast->RandomList().empty());  // "slide_1" is not a key of eight options
}

TEST_F(ShowTest, ChoosingNamedEffects) {
  auto source = SourceOf(
      Catalogue(kCatalogue, 9,
                std::string(kEffectSections) + SlideBlock(1, "ref=shapes") +
                    SlideBlock(2, "ref=shapes\nsmoothline=\ntime=400") + SlideBlock(3, "ref=star") +
                    SlideBlock(4, "ref=ghost\ntime=800") + SlideBlock(5, "ref=dissolve\ntime=0") +
                    SlideBlock(6, "ref=quick\ntime=500") + SlideBlock(7, "ref=wipe") +
                    SlideBlock(8, "ref=gates\ntime=300") + SlideBlock(9, "ref=mosaic\ntime=200")));
  const TIniFile& project = source->Project();
  struct TCase {
    TEffectType Type;  // None: no effect
    double Time, Smoothing;
    const char* Filter;
    TIniSection* Section;
  };
  const TCase cases[] = {
      {TEffectType::Shapes, 1000, 0.2, "TCircleFilter", nullptr},
      {TEffectType::Shapes, 400, 0, "TCircleFilter", nullptr},  // present but empty: hard edges
      {TEffectType::Custom, 1000, 0, "TRealSlideFilter", project.FindSection("effect_stara")},
      {TEffectType::Custom, 800, 0, "TAlphaFilter", nullptr},  // unknown: custom, no section
      {TEffectType::None, 0, 0, nullptr, nullptr},             // time 0
      {TEffectType::None, 0, 0, nullptr, nullptr},             // quick
      {TEffectType::Custom, 1000, 0, "TRealSlideFilter", project.FindSection("effect_wipe")},
      {TEffectType::None, 0, 0, nullptr, nullptr},              // no direction enabled
      {TEffectType::Mosaic, 200, 0, "TRandomFilter", nullptr},  // not in the catalogue
  };
  for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
    SCOPED_TRACE(i);
    const TCase& c = cases[i];
    TEffectChoice choice = source->ChooseEffect(i);
    if (c.Type == TEffectType::None) {
      EXPECT_FALSE(choice.Effect);
      continue;
    }
    ASSERT_TRUE(choice.Effect);
    EXPECT_EQ(choice.Effect->Type, c.Type);
    EXPECT_DOUBLE_EQ(choice.Time, c.Time);
    EXPECT_DOUBLE_EQ(choice.Smoothing, c.Smoothing);
    EXPECT_EQ(choice.Effect->Section.Get(), c.Section);
    auto filter = DescribeFilter(*choice.Effect, 1920, 1080);
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->ClassName, c.Filter);
    EXPECT_EQ(filter->Section, c.Section);
  }
}

// The variants chosen for slides 0 .. n - 1, as "name:flags".
std::vector<std::string> Choices(TVivSource& source, int n) {
  std::vector<std::string> choices;
  for (int i = 0; i < n; ++i) {
    TEffectChoice choice = source.ChooseEffect(i);
    choices.push_back(choice.Effect ? choice.Effect->Name + ":" + FlagText(choice.Effect->Flags)
                                    : "none");
  }
  return choices;
}

TEST_F(ShowTest, SeededRandomChoicesRepeat) {
  std::string text = Catalogue(kCatalogue, 20, kEffectSections);
  for (uint32_t seed : {1u, 77u, 4000000000u}) {
    SCOPED_TRACE(seed);
    ShowRandom().SetSeed(seed);
    auto first = SourceOf(text);
    std::vector<std::string> a = Choices(*first, 20);
    ShowRandom().SetSeed(seed);
    auto second = SourceOf(text);
    EXPECT_EQ(a, Choices(*second, 20));
    EXPECT_EQ(first->RandomOrder(), second->RandomOrder());
    const std::set<std::string> possible = {"dissolve:1", "shapes:10100", "shapes:10001",
                                            "star:", "wipe:"};
    for (const auto& choice : a) EXPECT_TRUE(possible.count(choice)) << choice;
  }
}

TEST_F(ShowTest, RandomChoicesTakeTheShowTimeAndTheEffectsSmoothing) {
  auto source = SourceOf(Catalogue(
      Entry("shapes", "shapes", "key=action,direction\naction=1\ndirection=1\nsmoothline=0.05"), 3,
      SlideBlock(2, "ref=defowntime\ntime=650\nsmoothline=0.9") +
          SlideBlock(3, "ref=default\ntime=650\nsmoothline=0.9")));
  struct TCase {
    double Time, Smoothing;
  };
  const TCase cases[] = {{1000, 0.001}, {650, 0.001}, {1000, 0.001}};
  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    TEffectChoice choice = source->ChooseEffect(i);
    ASSERT_TRUE(choice.Effect);
    EXPECT_EQ(choice.Effect->Type, TEffectType::Shapes);
    EXPECT_DOUBLE_EQ(choice.Time, cases[i].Time);
    EXPECT_DOUBLE_EQ(choice.Smoothing, cases[i].Smoothing);
  }

  auto soft =
      SourceOf(Catalogue(Entry("g", "gates", "key=direction\ndirection=1\nsmoothline=0.3")));
  EXPECT_DOUBLE_EQ(soft->ChooseEffect(0).Smoothing, 0.3);

  // Without enabled entries, or with a show time of 0: no transition.
  auto empty = SourceOf(Catalogue(Entry("g", "gates", "key=direction\ndirection=0")));
  EXPECT_FALSE(empty->ChooseEffect(0).Effect);
  auto timeless = SourceOf(
      "[Main]\nobject TheEffect:AnEffect\nobject d:dissolve\nchecked=1\nend\nend\n[Times]\n"
      "opt_slidescount=1\nopt_synchpos1=100\n");
  EXPECT_FALSE(timeless->ChooseEffect(0).Effect);
}

TEST_F(ShowTest, ConsecutiveRandomChoicesAlternateParity) {
  // Four variants: the set flag's position is the variant number.
  std::string text = Catalogue(Entry("page", "page", "key=direction\ndirection=11110000"), 16);
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    ShowRandom().SetSeed(seed);
    auto source = SourceOf(text);
    int previous = -1;
    for (int i = 0; i < 16; ++i) {
      TEffectChoice choice = source->ChooseEffect(i);
      ASSERT_TRUE(choice.Effect);
      const auto& flags = choice.Effect->Flags;
      ASSERT_EQ(std::count(flags.begin(), flags.end(), true), 1);
      int variant = static_cast<int>(std::find(flags.begin(), flags.end(), true) - flags.begin());
      if (previous >= 0) {
        EXPECT_NE(variant % 2, previous % 2) << "choice " << i;
      }
      previous = variant;
    }
  }
}

TEST_F(ShowTest, EveryEntryIsUsedOnceBeforeTheOrderIsShuffledAgain) {
  std::string text =
      Catalogue(Entry("dissolve", "dissolve", "checked=1") +
                    Entry("fade", "dissolve", "checked=1") + Entry("mosaic", "mosaic", "checked=1"),
                60);
  ShowRandom().SetSeed(3);
  auto source = SourceOf(text);
  std::set<std::vector<std::string>> rounds;
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> names;
    for (int k = 0; k < 3; ++k) names.push_back(source->ChooseEffect(round * 3 + k).Effect->Name);
    rounds.insert(names);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dissolve", "fade", "mosaic"})) << round;
  }
  EXPECT_GT(rounds.size(), 1u);
}

TEST_F(ShowTest, MosaicSeeds) {
  const char* text =
      "[Main]\nobject TheEffect:AnEffect\ntime=1000\nend\n[Times]\nopt_slidescount=1\n"
      "opt_synchpos1=100\n[Slide1]\nobject TheEffect:AnEffect\nref=mosaic\ncols=4\nend\n";
  // No random list to shuffle: the two draws are the first two outputs of the
  // Mersenne Twister after seeding, each taken to 12 bits (draw >> 20).
  const std::pair<uint32_t, int32_t> kSeeds[] = {
      {5, 909 * 4096 + 226}, {6, 3657 * 4096 + 3880}, {123456, 520 * 4096 + 2109}};
  for (auto [seed, expected] : kSeeds) {
    SCOPED_TRACE(seed);
    ShowRandom().SetSeed(seed);
    auto source = SourceOf(text);
    TEffectChoice choice = source->ChooseEffect(0);
    ASSERT_TRUE(choice.Effect);
    EXPECT_EQ(choice.Effect->IntParams, (std::vector<int32_t>{4, 1, 0, expected}));
  }

  // Random choices seed their copy, never the list's prototype.
  ShowRandom().SetSeed(9);
  auto source = SourceOf(Catalogue(Entry("mosaic", "mosaic", "checked=1"), 40));
  std::set<int32_t> seeds;
  for (int i = 0; i < 40; ++i) {
    int32_t s = source->ChooseEffect(i).Effect->IntParams.at(3);
    EXPECT_GE(s, 0);
    EXPECT_LT(s, 4096 * 4096);
    seeds.insert(s);
  }
  EXPECT_GT(seeds.size(), 1u);
  EXPECT_EQ(source->RandomList()[0]->IntParams.at(3), 0);
}

TRef<TVivEffect> MakeEffect(TEffectType type, std::string_view flags,
                            std::vector<int32_t> ints = {}, std::vector<double> floats = {}) {
  auto effect = MakeRef<TVivEffect>();
  effect->Type = type;
  effect->Flags = Flags(flags);
  effect->IntParams = std::move(ints);
  effect->FloatParams = std::move(floats);
  return effect;
}

struct TFilterCase {
  const char* Label;
  TRef<TVivEffect> Effect;
  const char* Class;  // nullptr: no filter
  TParams Params = {};
};

TEST_F(ShowTest, TheFilterEachEffectSelects) {
  using T = TEffectType;
  // Slide area 1000 x 600.
  const TFilterCase cases[] = {
      {"dissolve", MakeEffect(T::Dissolve, "1"), "TAlphaFilter"},
      {"unknown", MakeEffect(T::None, ""), "TAlphaFilter"},
      {"clock",
       MakeEffect(T::HourHand, "01000010000", {}, {0.25}),
       "TClockEffect",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 1}}},
      {"clock before brooms",
       MakeEffect(T::HourHand, "10100010000", {}, {0.25}),
       "TClockEffect",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 0}}},
      // Brooms: reach (1000 + 600) / 2 x 0.25; kinds 8 1 5 4 2 7 3 6, plus 8 for action 1.
      {"broom 0",
       MakeEffect(T::HourHand, "10100000000", {}, {0.25}),
       "TBroomEffect",
       {{"kind", 8}, {"reach", 200}}},
      {"broom 1",
       MakeEffect(T::HourHand, "01010000000", {}, {0.25}),
       "TBroomEffect",
       {{"kind", 9}, {"reach", 200}}},
      {"broom 2",
       MakeEffect(T::HourHand, "10001000000", {}, {0.5}),
       "TBroomEffect",
       {{"kind", 5}, {"reach", 400}}},
      {"broom 3",
       MakeEffect(T::HourHand, "10000100000", {}, {0}),
       "TBroomEffect",
       {{"kind", 4}, {"reach", 0}}},
      {"broom 5",
       MakeEffect(T::HourHand, "10000001000", {}, {0}),
       "TBroomEffect",
       {{"kind", 2}, {"reach", 0}}},
      {"broom 6",
       MakeEffect(T::HourHand, "10000000100", {}, {0}),
       "TBroomEffect",
       {{"kind", 7}, {"reach", 0}}},
      {"broom 7",
       MakeEffect(T::HourHand, "01000000010", {}, {0}),
       "TBroomEffect",
       {{"kind", 11}, {"reach", 0}}},
      {"broom 8",
       MakeEffect(T::HourHand, "10000000001", {}, {0}),
       "TBroomEffect",
       {{"kind", 6}, {"reach", 0}}},
      {"broom first set",
       MakeEffect(T::HourHand, "10011000000", {}, {0}),
       "TBroomEffect",
       {{"kind", 1}, {"reach", 0}}},
      {"hourhand without direction", MakeEffect(T::HourHand, "11000000000", {}, {0}), nullptr},
      {"circle",
       MakeEffect(T::Shapes, "10100", {30, 75}),
       "TCircleFilter",
       {{"x", 0.3}, {"y", 0.75}, {"reverse", 1}}},
      {"rhomb",
       MakeEffect(T::Shapes, "01010", {50, 50}),
       "TRhombFilter",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 0}}},
      {"square",
       MakeEffect(T::Shapes, "01001", {0, 100}),
       "TSquareFilter",
       {{"x", 0}, {"y", 1}, {"reverse", 0}}},
      {"shapes without direction", MakeEffect(T::Shapes, "10000", {50, 50}), nullptr},
      {"gates 0",
       MakeEffect(T::Gates, "10000000"),
       "THLines",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 1}}},
      {"gates 1",
       MakeEffect(T::Gates, "01000000"),
       "TVLines",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 1}}},
      {"gates 2", MakeEffect(T::Gates, "00100000"), "TDiagLines", {{"group", 8}, {"kind", 1}}},
      {"gates 3", MakeEffect(T::Gates, "00010000"), "TDiagLines", {{"group", 8}, {"kind", 3}}},
      {"gates 4",
       MakeEffect(T::Gates, "00001000"),
       "THLines",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 0}}},
      {"gates 5",
       MakeEffect(T::Gates, "00000100"),
       "TVLines",
       {{"x", 0.5}, {"y", 0.5}, {"reverse", 0}}},
      {"gates 6", MakeEffect(T::Gates, "00000010"), "TDiagLines", {{"group", 8}, {"kind", 2}}},
      {"gates 7", MakeEffect(T::Gates, "00000001"), "TDiagLines", {{"group", 8}, {"kind", 4}}},
      {"gates none", MakeEffect(T::Gates, "00000000"), nullptr},
      {"page 0", MakeEffect(T::Page, "10000000"), "TDiagLines", {{"group", 10}, {"kind", 2}}},
      {"page 1", MakeEffect(T::Page, "01000000"), "TVLines", {{"x", 0}, {"y", 1}, {"reverse", 0}}},
      {"page 2", MakeEffect(T::Page, "00100000"), "TDiagLines", {{"group", 10}, {"kind", 3}}},
      {"page 3", MakeEffect(T::Page, "00010000"), "THLines", {{"x", 1}, {"y", 0}, {"reverse", 0}}},
      {"page 4", MakeEffect(T::Page, "00001000"), "THLines", {{"x", 0}, {"y", 0}, {"reverse", 0}}},
      {"page 5", MakeEffect(T::Page, "00000100"), "TDiagLines", {{"group", 10}, {"kind", 4}}},
      {"page 6", MakeEffect(T::Page, "00000010"), "TVLines", {{"x", 0}, {"y", 0}, {"reverse", 0}}},
      {"page 7", MakeEffect(T::Page, "00000001"), "TDiagLines", {{"group", 10}, {"kind", 1}}},
      {"page first set",
       MakeEffect(T::Page, "00011000"),
       "THLines",
       {{"x", 1}, {"y", 0}, {"reverse", 0}}},
      {"mosaic",
       MakeEffect(T::Mosaic, "1", {8, 6, 40, 12345}),
       "TRandomFilter",
       {{"cols", 8}, {"seed", 12345}, {"rows", 6}, {"appearance", 40}}},
      {"mosaic 99",
       MakeEffect(T::Mosaic, "1", {1, 1, 99, 0}),
       "TRandomFilter",
       {{"cols", 1}, {"seed", 0}, {"rows", 1}, {"appearance", 99}}},
      {"mosaic 100",
       MakeEffect(T::Mosaic, "1", {1, 1, 100, 0}),
       "TRandomFilter",
       {{"cols", 1}, {"seed", 0}, {"rows", 1}, {"appearance", 1000}}},
      {"push 0", MakeEffect(T::Push, "1000"), "TPushFilter", {{"direction", 2}}},
      {"push 1", MakeEffect(T::Push, "0100"), "TPushFilter", {{"direction", 4}}},
      {"push 2", MakeEffect(T::Push, "0010"), "TPushFilter", {{"direction", 1}}},
      {"push 3", MakeEffect(T::Push, "0001"), "TPushFilter", {{"direction", 3}}},
      {"push first set", MakeEffect(T::Push, "0110"), "TPushFilter", {{"direction", 4}}},
      {"push none", MakeEffect(T::Push, "0000"), nullptr},
      {"slide 2", MakeEffect(T::Slide, "0010"), "TSlideFilter", {{"direction", 1}}},
      {"slide 0", MakeEffect(T::Slide, "1000"), "TSlideFilter", {{"direction", 2}}},
      {"flip",
       MakeEffect(T::Flip, "000110", {}, {0.7}),
       "TOverturnEffect",
       {{"direction", 3}, {"nonlinear_speed", 0}, {"spin_center", 1}, {"3dvolume", 0.7}}},
      {"flip nonlinear",
       MakeEffect(T::Flip, "100001", {}, {0.5}),
       "TOverturnEffect",
       {{"direction", 2}, {"nonlinear_speed", 1}, {"spin_center", 0}, {"3dvolume", 0.5}}},
      {"flip none", MakeEffect(T::Flip, "000011", {}, {0.5}), nullptr},
      {"swap",
       MakeEffect(T::Swap, "0010", {}, {2, 3, 45}),
       "TTwoSlidesEffect",
       {{"direction", 1}, {"angle", 45}, {"distance", 3}, {"depth", 2}}},
      {"swap 1",
       MakeEffect(T::Swap, "0100", {}, {4, 1, 60}),
       "TTwoSlidesEffect",
       {{"direction", 4}, {"angle", 60}, {"distance", 1}, {"depth", 4}}},
      // Curling: kind 3 4 4 3 1 2 2 1 by direction, plus 4 for action 1;
      // 15 for directions 0, 2, 5 and 7; radius trunc(1000 x 0.1234).
      {"curling 0",
       MakeEffect(T::Curling, "011000000011", {1, -16711936}, {0.1234, 0.2}),
       "TRollEffect2",
       {{"kind", 7},
        {"second", 15},
        {"radius", 123},
        {"pipe", 1},
        {"use_color", 1},
        {"color", 4278255360.0},
        {"use_volume", 1},
        {"3dvolume", 0.2}}},
      {"curling 1",
       MakeEffect(T::Curling, "100100000000", {2, 0}, {0, 0.125}),
       "TRollEffect2",
       {{"kind", 4},
        {"second", 14},
        {"radius", 0},
        {"pipe", 0},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0.125}}},
      {"curling 2",
       MakeEffect(T::Curling, "100010000000", {1, 0}, {0, 0}),
       "TRollEffect2",
       {{"kind", 4},
        {"second", 15},
        {"radius", 0},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling 3",
       MakeEffect(T::Curling, "100001000000", {1, 0}, {0, 0}),
       "TRollEffect2",
       {{"kind", 3},
        {"second", 14},
        {"radius", 0},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling 4",
       MakeEffect(T::Curling, "010000100000", {1, 0}, {0.5, 0}),
       "TRollEffect2",
       {{"kind", 5},
        {"second", 14},
        {"radius", 500},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling 5",
       MakeEffect(T::Curling, "100000010000", {1, 0}, {0, 0}),
       "TRollEffect2",
       {{"kind", 2},
        {"second", 15},
        {"radius", 0},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling 6",
       MakeEffect(T::Curling, "100000001000", {1, 0}, {0, 0}),
       "TRollEffect2",
       {{"kind", 2},
        {"second", 14},
        {"radius", 0},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling 7",
       MakeEffect(T::Curling, "100000000100", {1, 0}, {0, 0}),
       "TRollEffect2",
       {{"kind", 1},
        {"second", 15},
        {"radius", 0},
        {"pipe", 1},
        {"use_color", 0},
        {"color", 0},
        {"use_volume", 0},
        {"3dvolume", 0}}},
      {"curling none", MakeEffect(T::Curling, "110000000011", {1, 0}, {0, 0}), nullptr},
      {"custom without section", MakeEffect(T::Custom, ""), "TAlphaFilter"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    auto filter = DescribeFilter(*c.Effect, 1000, 600);
    if (!c.Class) {
      EXPECT_FALSE(filter);
      continue;
    }
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->ClassName, c.Class);
    EXPECT_EQ(filter->Params, c.Params);
    EXPECT_EQ(filter->Section, nullptr);
  }

  auto project = ParseProject("[effect_x]\nCustomEffTime=10\n");
  auto custom = BuildCustomEffect("x", project->FindSection("effect_x"));
  auto filter = DescribeFilter(*custom, 1000, 600);
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->ClassName, "TRealSlideFilter");
  EXPECT_EQ(filter->Section, project->FindSection("effect_x"));
  EXPECT_TRUE(filter->Params.empty());
}

}  // namespace
}  // namespace viv::test
