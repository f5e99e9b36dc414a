#include "model/objects/object_kinds.h"

#include "base/text.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

struct TKindWord {
  std::string_view Word;
  TObjectKind Kind;
};

constexpr TKindWord kKindWords[] = {
    {"Frame", TObjectKind::Frame},
    {"Box", TObjectKind::Box},
    {"Splitter", TObjectKind::Splitter},
    {"Image", TObjectKind::Image},
    {"AniImage", TObjectKind::AniImage},
    {"Text", TObjectKind::Text},
    {"Button", TObjectKind::Button},
    {"Video", TObjectKind::Video},
    {"ViewPort", TObjectKind::ViewPort},
    {"MaskStencil", TObjectKind::MaskStencil},
    {"MaskContent", TObjectKind::MaskContent},
};

}  // namespace

TObjectKind KindOfClassWord(std::string_view word) {
  // "Viewport" is the same word in another letter case.
  for (const auto& entry : kKindWords)
    if (SameText(entry.Word, word)) return entry.Kind;
  return TObjectKind::None;
}

TObjectKind KindOfBlock(const TIniObject& block) {
  TObjectKind kind = KindOfClassWord(block.ClassName());
  if (kind == TObjectKind::Image && block.ReadBool("AnimEnable", false))
    return TObjectKind::AniImage;
  return kind;
}

std::string_view KindName(TObjectKind kind) {
  if (kind == TObjectKind::AniImage || kind == TObjectKind::None) return {};
  for (const auto& entry : kKindWords)
    if (entry.Kind == kind) return entry.Word;
  return {};
}

bool IsKeyPointBlock(const TIniObject& block) {
  return SameText(block.ClassName(), kKeyPointClass);
}

}  // namespace viv
