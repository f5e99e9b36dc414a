// The fifteen animated parameters of an object and their eight groups.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace viv {

inline constexpr int kParamCount = 15;
inline constexpr int kGroupCount = 8;

enum TAnimParam : int {
  kOpacity = 0,
  kPosX = 1,
  kPosY = 2,
  kPosZ = 3,
  kScaleX = 4,
  kScaleY = 5,
  kAngle = 6,
  kAngleX = 7,
  kAngleY = 8,
  kCenterX = 9,
  kCenterY = 10,
  kBlur = 11,
  kFrameS = 12,  // Zoom
  kFrameX = 13,  // OffsX
  kFrameY = 14,  // OffsY
};

enum TAnimGroup : int {
  kGroupOpacity = 0,
  kGroupPos = 1,
  kGroupScale = 2,
  kGroupAngle = 3,
  kGroupCenter = 4,
  kGroupBlur = 5,
  kGroupColor = 6,
  kGroupFrame = 7,
};

// One descriptor of the parameter table (`TAnimatedFieldDesk`).
struct TAnimatedFieldDesk {
  int Group;
  int Index;
  std::string_view Name;  // used by modifiers: "Pos.X"
  std::string_view Key;   // KeyPoint key; empty for the second of a linked pair
  int Link;               // index of the pair's head for linked entries, else -1
  double UnitMultiplier;
  float Default;
};

const std::array<TAnimatedFieldDesk, kParamCount>& AnimatedFields();
// Raises the table's assertions when it is broken; run once at start-up.
void CheckAnimatedFields();

struct TGroupRange {
  int First;  // first parameter index
  int End;    // one past the last; First == End for the colour group
};
TGroupRange GroupParams(int group);
int GroupOfParam(int param);
// "Opacity", "Pos", "Scale", "Angle", "Center", "Blur", "Color", "Frame".
std::string_view GroupName(int group);

// Names are matched without regard to letter case; -1 when unknown.
int FindParamByName(std::string_view name);
int FindGroupByName(std::string_view name);

// The fifteen current values of a node.
using TAnimValues = std::array<float, kParamCount>;
TAnimValues DefaultAnimValues();

}  // namespace viv
