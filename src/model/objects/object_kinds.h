// Object kinds: what a block's class word makes of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace viv {

class TIniObject;

enum class TObjectKind : uint8_t {
  None = 0,  // any other word: a node without live object
  Frame = 1,
  Box = 2,
  Splitter = 3,
  Image = 4,
  AniImage = 5,
  Text = 6,
  Button = 7,
  Video = 8,
  ViewPort = 9,
  MaskStencil = 10,
  MaskContent = 11,
};

inline constexpr std::string_view kKeyPointClass = "KeyPoint";

// The class word matched without regard to case; an "Image" block with
// AnimEnable 1 is an AniImage.
TObjectKind KindOfBlock(const TIniObject& block);
TObjectKind KindOfClassWord(std::string_view word);
// The word printed back for a kind ("ViewPort" for 9, empty for AniImage).
std::string_view KindName(TObjectKind kind);
bool IsKeyPointBlock(const TIniObject& block);

}  // namespace viv
