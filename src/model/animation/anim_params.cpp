#include "model/animation/anim_params.h"

#include "base/exceptions.h"
#include "base/text.h"

namespace viv {
namespace {

constexpr double kPercent = 0.01;
constexpr double kDegreeTurns = 1.0 / 360;

constexpr std::array<TAnimatedFieldDesk, kParamCount> kFields = {{
    {kGroupOpacity, kOpacity, "Opacity", "Opacity", -1, kPercent, 100},
    {kGroupPos, kPosX, "Pos.X", "Position", -1, kPercent, 0},
    {kGroupPos, kPosY, "Pos.Y", "", kPosX, kPercent, 0},
    {kGroupPos, kPosZ, "Pos.Z", "ZPos", -1, kPercent, 0},
    {kGroupScale, kScaleX, "Scale.X", "ScaleX", -1, kPercent, 100},
    {kGroupScale, kScaleY, "Scale.Y", "ScaleY", -1, kPercent, 100},
    {kGroupAngle, kAngle, "Angle", "Angle", -1, kDegreeTurns, 0},
    {kGroupAngle, kAngleX, "Angle.X", "AngleX", -1, kDegreeTurns, 0},
    {kGroupAngle, kAngleY, "Angle.Y", "AngleY", -1, kDegreeTurns, 0},
    {kGroupCenter, kCenterX, "Center.X", "CenterPos", -1, kPercent, 0},
    {kGroupCenter, kCenterY, "Center.Y", "", kCenterX, kPercent, 0},
    {kGroupBlur, kBlur, "Blur", "Blur", -1, kPercent, 0},
    {kGroupFrame, kFrameS, "Frame.S", "Zoom", -1, kPercent, 100},
    {kGroupFrame, kFrameX, "Frame.X", "OffsX", -1, kPercent, 0},
    {kGroupFrame, kFrameY, "Frame.Y", "OffsY", -1, kPercent, 0},
}};

constexpr TGroupRange kGroupRanges[kGroupCount] = {{0, 1},  {1, 4},   {4, 6},   {6, 9},
                                                   {9, 11}, {11, 12}, {12, 12}, {12, 15}};
constexpr std::string_view kGroupNames[kGroupCount] = {"Opacity", "Pos",  "Scale", "Angle",
                                                       "Center",  "Blur", "Color", "Frame"};

}  // namespace

const std::array<TAnimatedFieldDesk, kParamCount>& AnimatedFields() { return kFields; }

void CheckAnimatedFields() {
  int linkHeads = 0;
  for (int i = 0; i < kParamCount; ++i) {
    const TAnimatedFieldDesk& field = kFields[static_cast<size_t>(i)];
    VIV_ASSERT(field.Index == i, "Invalid viv keyframe param index");
    VIV_ASSERT(field.UnitMultiplier != 0, "Invalid keyframe Value multiplier");
    VIV_ASSERT(field.Group >= 0 && field.Group < kGroupCount, "Invalid Group Range");
    if (field.Link >= 0) {
      VIV_ASSERT(field.Key.empty(), "Invalid viv keyframe param index");
      ++linkHeads;
    }
  }
  VIV_ASSERT(linkHeads == 2, "Invalid viv keyframe param index");
}

TGroupRange GroupParams(int group) { return kGroupRanges[group]; }

int GroupOfParam(int param) { return kFields[static_cast<size_t>(param)].Group; }

std::string_view GroupName(int group) { return kGroupNames[group]; }

int FindParamByName(std::string_view name) {
  for (const auto& field : kFields)
    if (SameText(field.Name, name)) return field.Index;
  return -1;
}

int FindGroupByName(std::string_view name) {
  for (int g = 0; g < kGroupCount; ++g)
    if (SameText(kGroupNames[g], name)) return g;
  return -1;
}

TAnimValues DefaultAnimValues() {
  // Evaluation asks for these for every object on every frame.
  static const TAnimValues kDefaults = [] {
    TAnimValues values{};
    for (const auto& field : kFields) values[static_cast<size_t>(field.Index)] = field.Default;
    return values;
  }();
  return kDefaults;
}

}  // namespace viv
