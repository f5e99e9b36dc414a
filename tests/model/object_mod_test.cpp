#include "model/animation/object_mod.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace viv {
namespace {

// A Mod block parsed from its lines.
class TModBlock {
 public:
  explicit TModBlock(const std::string& lines) {
    fDocument->LoadFromText("[s]\nobject M:Mod\n" + lines + "end\n");
    fBlock = fDocument->FindSection("s")->FindObject("M");
  }
  TIniObject& Block() { return *fBlock; }

 private:
  TRef<TIniFile> fDocument = MakeRef<TIniFile>();
  TIniObject* fBlock = nullptr;
};

TRef<TVivObjectMod> ReadMod(const std::string& lines, std::string* whyNot = nullptr) {
  TModBlock block(lines);
  return TVivObjectMod::Read(block.Block(), whyNot);
}

TEST(ObjectMods, Targets) {
  struct TCase {
    std::string Dst;
    TModTarget Kind;
    int Index;
  };
  const TCase kCases[] = {
      {"Opacity", TModTarget::ParamValue, kOpacity},
      {"pos.x", TModTarget::ParamValue, kPosX},
      {"Frame.Y", TModTarget::ParamValue, kFrameY},
      {"Angle.X", TModTarget::ParamValue, kAngleX},
      {"Pos.t", TModTarget::GroupTime, kGroupPos},
      {"Scale.T", TModTarget::GroupTime, kGroupScale},
      {"color.t", TModTarget::GroupTime, kGroupColor},
      {"Frame.t", TModTarget::GroupTime, kGroupFrame},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Dst);
    TRef<TVivObjectMod> mod = ReadMod("dst=" + c.Dst + "\nfn=1\n");
    ASSERT_TRUE(mod);
    EXPECT_EQ(mod->TargetKind(), c.Kind);
    EXPECT_EQ(mod->TargetIndex(), c.Index);
  }
}

TEST(ObjectMods, DroppedBlocks) {
  // "1+1+...+1": 255 characters; with a digit more 256, with "+1" more 257.
  std::string sum = "1";
  for (int i = 0; i < 127; ++i) sum += "+1";
  ASSERT_EQ(sum.size(), 255u);
  EXPECT_TRUE(ReadMod("dst=Opacity\nfn=" + sum + "0\n"));

  const std::string kDropped[] = {
      "fn=1\n",
      "dst=\nfn=1\n",
      "dst=Opacity\n",
      "dst=Opacity\nfn=\n",
      "dst=Opacity\nfn=" + sum + "+1\n",
      "dst=Pos\nfn=1\n",
      "dst=Nothing.t\nfn=1\n",
      "dst=Opacity.X\nfn=1\n",
      "dst=Pos.X.t\nfn=1\n",
      "dst=Opacity\nfn=value*\n",
      "dst=Opacity\nfn=value/0\n",
      "dst=Opacity\nfn=unknown+1\n",
      // The block's own keys are not constants.
      "dst=Opacity\nfn=dst\n",
      "dst=Opacity\nfn=pcount\npcount=0\n",
      "dst=Opacity\nfn=pinfo0\npinfo0=name:a\n",
      "dst=Opacity\nfn=Preset\nPreset=a#1\n",
      "dst=Opacity\nfn=state\nstate=1\n",
      "dst=Opacity\nfn=id\nid=1\n",
  };
  for (const std::string& lines : kDropped) {
    SCOPED_TRACE(lines);
    std::string whyNot;
    EXPECT_FALSE(ReadMod(lines, &whyNot));
    EXPECT_FALSE(whyNot.empty());
  }
}

TEST(ObjectMods, Evaluation) {
  TAnimValues values = DefaultAnimValues();
  values[kOpacity] = 60;
  values[kPosX] = 12;
  struct TCase {
    std::string Lines;
    double Value;  // the target's own value in the inputs
    double Result;
  };
  // Fractions: group g holds (g + 1) / 10, except where the case's target reads it.
  const TCase kCases[] = {
      {"dst=Opacity\nfn=value*2\n", 40, 80},
      {"dst=Scale.t\nfn=1-t\n", 0.3, 0.7},  // t is the Scale group's 0.3
      {"dst=Opacity\nfn=Lerp(0, 100, t)\n", 0, 10},
      {"dst=Pos.Y\nfn=t\n", 0, 0.2},  // the parameter's group
      {"dst=Pos.t\nfn=Angle.t + Pos.T\n", 0, 0.6},
      {"dst=Pos.t\nfn=value\n", 0.45, 0.45},
      {"dst=Pos.t\nfn=VALUE\n", 0.45, 0.45},
      {"dst=Pos.X\nfn=Opacity + pos.x\n", 0, 72},
      {"dst=Pos.X\nfn=Scale.X\n", 0, 100},
      // Keys of the block are constants.
      {"dst=Opacity\nfn=k * value\nK=3\n", 5, 15},
      {"dst=Opacity\nfn=k\nk=abc\n", 5, 0},
      // value and group fractions come before keys, keys before parameters
      // and functions.
      {"dst=Opacity\nfn=value\nvalue=9\n", 5, 5},
      {"dst=Opacity\nfn=Pos.t\nPos.t=9\n", 5, 0.2},
      {"dst=Opacity\nfn=Opacity\nOpacity=7\n", 5, 7},
      {"dst=Opacity\nfn=Pi\nPi=2\n", 5, 2},
      {"dst=Opacity\nfn=Sin(0) + Sin\nSin=3\n", 5, 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Lines);
    TRef<TVivObjectMod> mod = ReadMod(c.Lines);
    ASSERT_TRUE(mod);
    TModInputs inputs;
    for (int g = 0; g < kGroupCount; ++g) inputs.Fractions[g] = (g + 1) / 10.0;
    inputs.Fractions[kGroupScale] = 0.3;
    inputs.Values = &values;
    inputs.Value = c.Value;
    EXPECT_DOUBLE_EQ(mod->Evaluate(inputs), c.Result);
    EXPECT_DOUBLE_EQ(mod->EvaluateValue(inputs), c.Result);
  }
  // Without values the parameters read their defaults.
  TModInputs bare;
  EXPECT_DOUBLE_EQ(ReadMod("dst=Opacity\nfn=Opacity + Frame.S\n")->Evaluate(bare), 200);
}

TEST(ObjectMods, SpeedPresetEasesWithAPreparedCurve) {
  TRef<TVivObjectMod> mod = ReadMod(
      "dst=Pos.t\nfn=QSplineGraph(value, x1/100, y1/100, 1-x2/100, 1-y2/100)\n"
      "x1=26\ny1=0\nx2=26\ny2=0\nPreset=Speed#3\n");
  ASSERT_TRUE(mod);
  // The control points fold to constants: one prepared curve of the fraction.
  ASSERT_EQ(mod->Program().Curves().size(), 1u);
  ASSERT_EQ(mod->Program().Commands().size(), 2u);
  EXPECT_EQ(mod->Program().Commands()[1].Curve, 0);
  struct TCase {
    double Fraction, Result;
  };
  const TCase kCases[] = {{0, 0}, {0.25, 0.179273}, {0.5, 0.5}, {0.9, 0.961859}, {1, 1}};
  for (const auto& c : kCases) {
    TModInputs inputs;
    inputs.Value = inputs.Fractions[kGroupPos] = c.Fraction;
    EXPECT_NEAR(mod->Evaluate(inputs), c.Result, 1e-5) << c.Fraction;
  }
  EXPECT_EQ(mod->PresetName(), "Speed");
  EXPECT_EQ(mod->PresetIndex(), 3);
  EXPECT_EQ(mod->Caption(), "Speed");
}

TEST(ObjectMods, ParameterDescriptions) {
  TRef<TVivObjectMod> mod = ReadMod(
      "dst=Opacity\nfn=value * x1 / s\nx1=26\ns=2\npcount=3\n"
      "pinfo0=name:AccelTime;id:x1;type:int;range:0,100,50\n"
      "pinfo1=name:Tint;id:c;type:Color\n"
      "pinfo2=id:s;name:Speed;type:FLOAT\n"
      "pinfo3=name:Ignored;id:z;type:Int\n"
      "state=open\n");
  ASSERT_TRUE(mod);
  EXPECT_EQ(mod->DeclaredParamCount(), 3);
  const std::vector<TModParamDesc>& descs = mod->ParamDescs();
  ASSERT_EQ(descs.size(), 3u);
  EXPECT_EQ(descs[0].Name, "AccelTime");
  EXPECT_EQ(descs[0].Id, "x1");
  EXPECT_EQ(descs[0].Type, TParamType::Int);
  EXPECT_EQ(descs[0].Range, "0,100,50");
  EXPECT_EQ(descs[0].Min, 0);
  EXPECT_EQ(descs[0].Max, 100);
  EXPECT_EQ(descs[0].Default, 50);
  EXPECT_EQ(descs[1].Type, TParamType::Color);
  EXPECT_EQ(descs[2].Name, "Speed");
  EXPECT_EQ(descs[2].Type, TParamType::Float);
  EXPECT_EQ(descs[2].Max, 100);  // range defaults 0, 100, 0
  EXPECT_EQ(mod->State(), "open");
  EXPECT_EQ(mod->PresetIndex(), -1);
  EXPECT_EQ(mod->Caption(), "Opacity");
  EXPECT_EQ(mod->LutKind(), kLutKindValue);

  // Parameters are the described constants.
  ASSERT_EQ(mod->ParamCount(), 3);
  EXPECT_EQ(mod->ParamInfos()[0].Name, "x1");
  EXPECT_EQ(mod->ParamInfos()[0].Caption, "AccelTime");
  EXPECT_EQ(mod->GetParamText(0), "26");
  EXPECT_EQ(mod->GetParamText(1), "");
  TModInputs inputs;
  inputs.Value = 1;
  EXPECT_DOUBLE_EQ(mod->Evaluate(inputs), 13);
  mod->ClearChanged();
  mod->SetParamText(0, "50");
  EXPECT_TRUE(mod->IsChanged());
  EXPECT_DOUBLE_EQ(mod->Evaluate(inputs), 25);
  // A divisor of 0 would not compile: the change is refused.
  mod->SetParamText(2, "0");
  EXPECT_EQ(mod->GetParamText(2), "2");
  EXPECT_DOUBLE_EQ(mod->Evaluate(inputs), 25);

  // A huge pcount reads only the descriptions there are.
  TRef<TVivObjectMod> greedy =
      ReadMod("dst=Opacity\nfn=1\npcount=2000000000\npinfo0=name:a;id:b;type:Combo;range:x|y\n");
  ASSERT_TRUE(greedy);
  ASSERT_EQ(greedy->ParamDescs().size(), 1u);
  EXPECT_EQ(greedy->ParamDescs()[0].Type, TParamType::Combo);
}

TEST(ObjectMods, AcceptsTheSameDescription) {
  const std::string kLines = "dst=Pos.t\nfn=1-t*k\nk=0.5\nid=M1\n";
  TModBlock block(kLines);
  TRef<TVivObjectMod> mod = TVivObjectMod::Read(block.Block());
  ASSERT_TRUE(mod);
  EXPECT_TRUE(mod->Accepts(block.Block()));
  struct TCase {
    std::string Lines;
    bool Accepted;
  };
  const TCase kCases[] = {
      {kLines, true},
      {"DST=Pos.t\nFn=1-t*k\nK=0.5\nID=M1\n", true},
      {"id=M1\nk=0.5\nfn=1-t*k\ndst=Pos.t\n", true},
      {"dst=Pos.t\nfn=1-t*k\nk=0.25\nid=M1\n", false},
      {"dst=Pos.t\nfn=1 - t*k\nk=0.5\nid=M1\n", false},
      {"dst=Scale.t\nfn=1-t*k\nk=0.5\nid=M1\n", false},
      {"dst=Pos.t\nfn=1-t*k\nk=0.5\n", false},
      {"dst=Pos.t\nfn=1-t*k\nk=0.5\nid=M1\nstate=2\n", false},
      {"", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Lines);
    TModBlock other(c.Lines);
    EXPECT_EQ(mod->Accepts(other.Block()), c.Accepted);
  }
}

TEST(ObjectMods, ReadAgainFromABrokenBlockPassesTheValueThrough) {
  TRef<TVivObjectMod> mod = ReadMod("dst=Opacity\nfn=value*2\n");
  ASSERT_TRUE(mod);
  TModBlock broken("dst=Opacity\nfn=value*\n");
  mod->ReadParams(broken.Block());
  TModInputs inputs;
  inputs.Value = 40;
  EXPECT_DOUBLE_EQ(mod->Evaluate(inputs), 40);
  EXPECT_TRUE(mod->Program().Commands().empty());
}

TEST(ObjectMods, ValueFiltersLeaveTablesAlone) {
  TRef<TVivObjectMod> mod = ReadMod("dst=Opacity\nfn=value\n");
  ASSERT_TRUE(mod);
  std::vector<uint32_t> grid = MakeIdentityGrid();
  mod->ApplyToLut(grid.data(), kLutGridWidth, kLutGridHeight);
  EXPECT_EQ(grid, MakeIdentityGrid());
}

}  // namespace
}  // namespace viv
