// Structural view of a document tree for the project tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "project/ini_tree.h"

namespace viv::test {

// One line per node, two spaces per level: "[section]", "K name=value" ("K name"
// when the value is absent), "U text" ("U" for a blank line, "U*n" for a run of
// n blank lines), "O name|class".
// A child whose parent link or index is wrong is marked "!link". Iterative, so
// that deep trees can be dumped.
inline void DumpList(std::string& out, const TIniList& top, size_t depth) {
  struct TFrame {
    const TIniList* List;
    size_t Next;
    size_t Depth;
  };
  std::vector<TFrame> stack{{&top, 0, depth}};
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (frame.Next == frame.List->Count()) {
      stack.pop_back();
      continue;
    }
    size_t index = frame.Next++;
    TIniItem& child = frame.List->Child(index);
    out.append(frame.Depth * 2, ' ');
    if (child.Parent() != frame.List || child.Index() != index) out += "!link ";
    if (TIniObject* object = child.AsObject()) {
      out += "O " + object->Name() + "|" + object->ClassName() + "\n";
      stack.push_back({object, 0, frame.Depth + 1});
    } else if (child.HasName()) {
      out += "K " + child.Name() + (child.HasValue() ? "=" + child.Value() : "") + "\n";
    } else {
      std::string run = child.LineCount() > 1 ? "*" + std::to_string(child.LineCount()) : "";
      out += child.HasValue() ? "U " + child.Value() + run + "\n" : "U" + run + "\n";
    }
  }
}

inline std::string DumpTree(const TIniFile& file) {
  std::string out;
  DumpList(out, file, 0);
  for (size_t i = 0; i < file.SectionCount(); ++i) {
    out += "[" + file.Section(i).Name() + "]\n";
    DumpList(out, file.Section(i), 1);
  }
  return out;
}

inline TRef<TIniFile> ParseText(std::string_view utf8Text) {
  auto file = MakeRef<TIniFile>();
  file->LoadFromText(utf8Text);
  return file;
}

}  // namespace viv::test
