#include "model/object_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "model/animation/object_mod.h"

namespace viv {
namespace {

struct TRgbCase {
  int R, G, B;
};

uint32_t Entry(TRgbCase c) {
  return 0xFF000000u | static_cast<uint32_t>(c.R << 16 | c.G << 8 | c.B);
}

// A keyframe block parsed from the lines of its nested blocks.
class TKeyframe {
 public:
  explicit TKeyframe(const std::string& innerLines) {
    fDocument->LoadFromText("[s]\nobject K:KeyPoint\n" + innerLines + "end\n");
    fBlock = fDocument->FindSection("s")->FindObject("K");
  }
  TIniObject& Block() { return *fBlock; }
  TIniObject& Nested(size_t index) { return *fBlock->Objects()[index]; }

 private:
  TRef<TIniFile> fDocument = MakeRef<TIniFile>();
  TIniObject* fBlock = nullptr;
};

TFilterChain Chain(TKeyframe& key, const TFilterChain& previous = {}) {
  return ReadFilterChain(key.Block(), previous);
}

TEST(LutTables, IdentityGridAndCurve) {
  EXPECT_EQ(LutGridLevel(0), 0);
  EXPECT_EQ(LutGridLevel(4), 33);
  EXPECT_EQ(LutGridLevel(30), 247);
  EXPECT_EQ(LutGridLevel(31), 255);
  EXPECT_EQ(LutGridIndex(1, 2, 3), 1091u);  // row 34, column 3

  std::vector<uint32_t> grid = MakeIdentityGrid();
  ASSERT_EQ(grid.size(), 32u * 1024u);
  EXPECT_EQ(grid[0], 0xFF000000u);
  EXPECT_EQ(grid.back(), 0xFFFFFFFFu);
  // i is blue, j green, k red.
  EXPECT_EQ(grid[LutGridIndex(1, 2, 3)], 0xFF181008u);
  EXPECT_EQ(grid[LutGridIndex(31, 0, 0)], 0xFF0000FFu);
  EXPECT_EQ(grid[LutGridIndex(0, 0, 31)], 0xFFFF0000u);

  std::vector<uint32_t> curve = MakeIdentityCurve();
  ASSERT_EQ(curve.size(), 256u);
  EXPECT_EQ(curve[0], 0xFF000000u);
  EXPECT_EQ(curve[200], 0xFFC8C8C8u);
}

TEST(ColourFilters, EntriesByHand) {
  struct TCase {
    std::string Block;  // the filter's nested block
    TRgbCase In, Out;
  };
  const TCase kCases[] = {
      // Levels
      {"object Levels:Filter\nend\n", {1, 128, 255}, {1, 128, 255}},
      {"object Levels:Filter\nMax=127\nend\n", {1, 64, 100}, {2, 129, 201}},
      {"object Levels:Filter\nMax=127\nend\n", {127, 128, 255}, {255, 255, 255}},
      {"object Levels:Filter\nMin=100\nMax=200\nend\n", {50, 125, 175}, {0, 64, 191}},
      {"object Levels:Filter\nMed=50\nend\n", {27, 128, 200}, {121, 203, 235}},
      {"object Levels:Filter\nMed=-100\nend\n", {230, 128, 255}, {91, 0, 255}},
      {"object Levels:Filter\nMed=100\nend\n", {1, 10, 128}, {147, 184, 238}},
      // Max below Min: a negative scale, every channel 0.
      {"object Levels:Filter\nMin=200\nMax=100\nMed=30\nend\n", {250, 150, 50}, {0, 0, 0}},
      // Values outside the ranges are limited: Min 0, Max 255.
      {"object Levels:Filter\nMin=-20\nMax=300\nend\n", {3, 77, 250}, {3, 77, 250}},
      // BrightContrast
      {"object BrightContrast:Filter\nbright=50\nend\n", {0, 100, 220}, {50, 150, 255}},
      {"object BrightContrast:Filter\nbright=-100\nend\n", {0, 100, 220}, {0, 0, 120}},
      {"object BrightContrast:Filter\ncontrast=50\nend\n", {80, 100, 200}, {13, 61, 255}},
      {"object BrightContrast:Filter\ncontrast=100\nend\n", {127, 128, 0}, {0, 255, 0}},
      {"object BrightContrast:Filter\ncontrast=100\nend\n", {255, 200, 1}, {255, 255, 0}},
      {"object BrightContrast:Filter\ncontrast=-100\nend\n", {0, 255, 77}, {128, 128, 128}},
      {"object BrightContrast:Filter\nbright=30\ncontrast=-50\nend\n",
       {0, 100, 255},
       {87, 129, 193}},
      // Invert
      {"object Invert:Filter\nend\n", {0, 100, 255}, {255, 155, 0}},
      // Colorization: luminance 151 for (100, 150, 200).
      {"object Colorization:Filter\nColor=255,0,0\nend\n", {100, 150, 200}, {255, 0, 0}},
      {"object Colorization:Filter\nColor=255,0,0\nAmount=50\nend\n",
       {100, 150, 200},
       {200, 75, 100}},
      // Amount 33: f = 84; the negative steps truncate toward 0 (-49.2 -> -49).
      {"object Colorization:Filter\nColor=255,0,0\nAmount=33\nend\n",
       {100, 150, 200},
       {165, 101, 135}},
      {"object Colorization:Filter\nColor=255,0,0\nAmount=0\nend\n",
       {100, 150, 200},
       {100, 150, 200}},
      {"object Colorization:Filter\nColor=128,128,128\nend\n", {100, 150, 200}, {151, 151, 151}},
      // The weights sum to 68275/65536: a grey comes out a little lighter, white stays white.
      {"object Colorization:Filter\nColor=128,128,128\nend\n", {30, 30, 30}, {31, 31, 31}},
      {"object Colorization:Filter\nColor=128,128,128\nend\n", {255, 255, 255}, {255, 255, 255}},
      {"object Colorisation2:Filter\nColor=128,64,255\nend\n", {100, 150, 200}, {50, 37, 199}},
      {"object Colorisation3:Filter\nColor=128,64,255\nend\n", {100, 150, 200}, {100, 75, 255}},
      // HSL
      {"object HSL:Filter\nend\n", {37, 200, 91}, {37, 200, 91}},
      {"object HSL:Filter\nHue=180\nend\n", {255, 0, 0}, {0, 255, 255}},
      {"object HSL:Filter\nHue=120\nend\n", {255, 0, 0}, {2, 255, 0}},  // +85 of 256
      {"object HSL:Filter\nHue=-180\nend\n", {0, 0, 255}, {255, 255, 0}},
      {"object HSL:Filter\nHue=90\nend\n", {100, 150, 200}, {200, 100, 200}},
      {"object HSL:Filter\nSaturation=-100\nend\n", {255, 0, 0}, {128, 128, 128}},
      {"object HSL:Filter\nSaturation=50\nend\n", {100, 150, 200}, {47, 150, 253}},
      {"object HSL:Filter\nLightness=20\nend\n", {100, 150, 200}, {175, 201, 227}},
      {"object HSL:Filter\nLightness=100\nend\n", {10, 20, 30}, {255, 255, 255}},
      {"object HSL:Filter\nLightness=-100\nend\n", {200, 20, 30}, {0, 0, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Block);
    SCOPED_TRACE(testing::Message() << c.In.R << "," << c.In.G << "," << c.In.B);
    TKeyframe key(c.Block);
    TFilterChain chain = Chain(key);
    ASSERT_EQ(chain.size(), 1u);
    // The entry's alpha is set to 255.
    uint32_t entry = Entry(c.In) & 0x00FFFFFF;
    ApplyChainToLut(chain, &entry, 1, 1);
    EXPECT_EQ(entry, Entry(c.Out));
  }
}

TEST(ColourFilters, IdentitiesOverTheWholeGrid) {
  const std::string kIdentities[] = {
      "object Levels:Filter\nMin=0\nMed=0\nMax=255\nend\n",
      "object Invert:Filter\nend\nobject Invert:Filter\nend\n",
      "object Colorization:Filter\nColor=200,10,10\nAmount=0\nend\n",
      "object HSL:Filter\nHue=0\nend\n",
      "object BrightContrast:Filter\nend\n",
  };
  const std::vector<uint32_t> identity = MakeIdentityGrid();
  for (const std::string& block : kIdentities) {
    SCOPED_TRACE(block);
    TKeyframe key(block);
    std::vector<uint32_t> grid = identity;
    ApplyChainToLut(Chain(key), grid.data(), kLutGridWidth, kLutGridHeight);
    EXPECT_EQ(grid, identity);
  }
  // Levels on the curve table: Max 127 doubles the lower half.
  TKeyframe levels("object Levels:Filter\nMax=127\nend\n");
  std::vector<uint32_t> curve = MakeIdentityCurve();
  ApplyChainToLut(Chain(levels), curve.data(), kLutCurveWidth, kLutCurveHeight);
  EXPECT_EQ(curve[50], Entry({100, 100, 100}));
  EXPECT_EQ(curve[127], Entry({255, 255, 255}));
  EXPECT_EQ(curve[200], Entry({255, 255, 255}));
}

TEST(ColourFilters, ContrastExtremes) {
  TKeyframe upright("object BrightContrast:Filter\ncontrast=100\nend\n");
  TKeyframe flat("object BrightContrast:Filter\ncontrast=-100\nend\n");
  std::vector<uint32_t> thresholded = MakeIdentityCurve(), grey = MakeIdentityCurve();
  ApplyChainToLut(Chain(upright), thresholded.data(), kLutCurveWidth, 1);
  ApplyChainToLut(Chain(flat), grey.data(), kLutCurveWidth, 1);
  for (int x = 0; x < kLutCurveWidth; ++x) {
    SCOPED_TRACE(x);
    int level = x < 128 ? 0 : 255;
    EXPECT_EQ(thresholded[static_cast<size_t>(x)], Entry({level, level, level}));
    EXPECT_EQ(grey[static_cast<size_t>(x)], Entry({128, 128, 128}));
  }
}

TEST(ColourFilters, ChainOrderDisabledFiltersAndEmptyTables) {
  const uint32_t kIn = Entry({100, 100, 100});
  struct TCase {
    std::string Blocks;
    uint32_t Out;
  };
  const TCase kCases[] = {
      {"object BrightContrast:Filter\nbright=50\nend\nobject Invert:Filter\nend\n",
       Entry({105, 105, 105})},
      {"object Invert:Filter\nend\nobject BrightContrast:Filter\nbright=50\nend\n",
       Entry({205, 205, 205})},
      {"object Invert:Filter\nDisable=1\nend\nobject BrightContrast:Filter\nbright=50\nend\n",
       Entry({150, 150, 150})},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Blocks);
    TKeyframe key(c.Blocks);
    uint32_t entry = kIn;
    ApplyChainToLut(Chain(key), &entry, 1, 1);
    EXPECT_EQ(entry, c.Out);
  }
  TKeyframe invert("object Invert:Filter\nend\n");
  uint32_t entry = kIn;
  ApplyChainToLut(Chain(invert), &entry, 0, 1);
  ApplyChainToLut(Chain(invert), &entry, 1, -1);
  EXPECT_EQ(entry, kIn);
}

TEST(ColourFilters, ParametersAreLimitedRoundedAndSet) {
  TKeyframe key(
      "object Levels:Filter\nMin=-20\nMed=12.6\nMax=1e999\nend\n"
      "object Colorization:Filter\nColor=#FF8000\nAmount=150\nPreset=Sepia#2\nend\n");
  TFilterChain chain = Chain(key);
  ASSERT_EQ(chain.size(), 2u);
  TObjectFilter& levels = *chain[0];
  EXPECT_EQ(levels.Caption(), "Levels");
  EXPECT_EQ(levels.LutKind(), kLutKindGrid);
  ASSERT_EQ(levels.ParamCount(), 3);
  EXPECT_EQ(levels.ParamInfos()[2].Name, "Max");
  EXPECT_EQ(levels.GetParamText(0), "0");
  EXPECT_EQ(levels.GetParamText(1), "13");
  EXPECT_EQ(levels.GetParamText(2), "255");  // not a number: the default
  EXPECT_EQ(levels.GetParamText(3), "");

  auto& colorization = static_cast<TColorizationGenerator&>(*chain[1]);
  EXPECT_EQ(colorization.GetParamText(TColorizationGenerator::kColor), "255,128,0");
  EXPECT_EQ(colorization.GetParamText(TColorizationGenerator::kAmount), "100");
  EXPECT_EQ(colorization.Preset(), "Sepia#2");

  colorization.ClearChanged();
  colorization.SetParamText(TColorizationGenerator::kAmount, "100");
  EXPECT_FALSE(colorization.IsChanged());
  EXPECT_EQ(colorization.Preset(), "");  // setting a parameter drops the preset
  colorization.SetParamText(TColorizationGenerator::kAmount, "40");
  EXPECT_TRUE(colorization.IsChanged());
  EXPECT_EQ(colorization.GetParamText(TColorizationGenerator::kAmount), "40");
  colorization.SetParamText(TColorizationGenerator::kColor, "1,2,3,4");
  EXPECT_EQ(colorization.GetParamText(TColorizationGenerator::kColor), "1,2,3,4");

  EXPECT_EQ(CreateObjectFilter("INVERT")->LutKind(), kLutKindChannels);
  EXPECT_EQ(CreateObjectFilter("brightcontrast")->ParamCount(), 2);
  EXPECT_EQ(CreateObjectFilter("Sharpen"), nullptr);
}

TEST(FilterChains, ReadingSkipsUnknownBlocksAndWritesMissingIds) {
  TKeyframe key(
      "object Levels:Filter\nid=AAAA\n$rev=7\nMax=127\nend\n"
      "object Sharpen:Filter\nend\n"
      "object Invert:Filter\nend\n"
      "object Opacity:Mod\ndst=Opacity\nfn=value\nend\n"
      "object BrightContrast:filter\nid=BBBB\nDisable=1\nend\n");
  TFilterChain chain = Chain(key);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[0]->Caption(), "Levels");
  EXPECT_EQ(chain[0]->Id(), "AAAA");
  EXPECT_EQ(chain[0]->Revision(), 7);
  EXPECT_EQ(chain[0]->Block(), &key.Nested(0));
  EXPECT_EQ(chain[1]->Caption(), "Invert");
  EXPECT_EQ(chain[2]->Caption(), "BrightContrast");
  EXPECT_TRUE(chain[2]->Disabled());
  EXPECT_FALSE(chain[0]->Disabled());
  EXPECT_EQ(chain[0]->Next(), chain[1].Get());
  EXPECT_EQ(chain[1]->Next(), chain[2].Get());
  EXPECT_EQ(chain[2]->Next(), nullptr);

  // The generated id is a GUID written into the block; unknown blocks are left alone.
  EXPECT_EQ(chain[1]->Id().size(), 36u);
  EXPECT_EQ(key.Nested(2).ReadText("id"), chain[1]->Id());
  EXPECT_EQ(key.Nested(1).FindItem("id"), nullptr);
}

TEST(FilterChains, ReuseByIdAndRevision) {
  TKeyframe key(
      "object Levels:Filter\nid=AAAA\n$rev=7\nend\n"
      "object Invert:Filter\nend\n");
  TFilterChain first = Chain(key);
  ASSERT_EQ(first.size(), 2u);

  TFilterChain again = Chain(key, first);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0], first[0]);
  EXPECT_EQ(again[1], first[1]);  // by the id written on the first read

  key.Nested(0).WriteText("$rev", "8");
  key.Nested(0).WriteText("Max", "127");
  TFilterChain revised = Chain(key, again);
  EXPECT_NE(revised[0], again[0]);
  EXPECT_EQ(revised[0]->Revision(), 8);
  EXPECT_EQ(revised[0]->GetParamText(TLevelsGenerator::kMax), "127");
  EXPECT_EQ(revised[1], again[1]);

  // Same id and revision on a block of another class: a new filter.
  TKeyframe renamed("object Invert:Filter\nid=AAAA\n$rev=8\nend\n");
  TFilterChain other = Chain(renamed, revised);
  ASSERT_EQ(other.size(), 1u);
  EXPECT_NE(other[0], revised[0]);
  EXPECT_EQ(other[0]->Caption(), "Invert");

  // Two blocks with one id: the old filter is reused once, and the chain
  // does not loop.
  TKeyframe twice(
      "object Levels:Filter\nid=AAAA\n$rev=8\nend\n"
      "object Levels:Filter\nid=AAAA\n$rev=8\nend\n");
  TFilterChain doubled = Chain(twice, revised);
  ASSERT_EQ(doubled.size(), 2u);
  EXPECT_EQ(doubled[0], revised[0]);
  EXPECT_NE(doubled[1], revised[0]);
  EXPECT_EQ(doubled[0]->Next(), doubled[1].Get());
  EXPECT_EQ(doubled[1]->Next(), nullptr);
}

TEST(FilterChains, ChainKind) {
  const std::string kMod = "object M:Mod\ndst=Opacity\nfn=value*2\nend\n";
  const std::string kInvert = "object Invert:Filter\nend\n";
  const std::string kLevels = "object Levels:Filter\nend\n";
  const std::string kOffInvert = "object Invert:Filter\nDisable=1\nend\n";
  auto chainOf = [](std::vector<std::string> blocks) {
    TFilterChain chain;
    for (const std::string& text : blocks) {
      TKeyframe key(text);
      if (text.find(":Mod") != std::string::npos)
        chain.push_back(TVivObjectMod::Read(key.Nested(0)));
      else
        chain.push_back(Chain(key)[0]);
    }
    return chain;
  };
  struct TCase {
    std::vector<std::string> Blocks;
    int Kind;
  };
  const TCase kCases[] = {
      {{}, kLutKindNone},
      {{kOffInvert}, kLutKindNone},
      {{kInvert}, kLutKindChannels},
      {{kInvert, kLevels}, kLutKindGrid},
      {{kLevels, kInvert}, kLutKindGrid},
      {{kMod}, kLutKindValue},
      {{kMod, kMod}, kLutKindValue},
      {{kMod, kOffInvert}, kLutKindValue},
      {{kInvert, kMod}, kLutKindChannels},
      {{kLevels, kMod}, kLutKindGrid},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Blocks.size());
    EXPECT_EQ(ChainLutKind(chainOf(c.Blocks)), c.Kind);
  }
  try {
    ChainLutKind(chainOf({kMod, kInvert}));
    ADD_FAILURE() << "a value filter followed by a colour filter was accepted";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "Asseertion with message: 'Error: Value filters can`t be combined' (", 0),
              0u)
        << e.what();
  }
}

}  // namespace
}  // namespace viv
