#include "project/ini_writer.h"

#include <vector>

#include "project/ini_tree.h"

namespace viv {
namespace {

constexpr size_t kIndentStep = 2;

std::string ObjectHeader(const TIniObject& object) {
  const std::string& name = object.Name();
  const std::string& className = object.ClassName();
  if (name.empty() && className.empty()) return "object";
  std::string header = "object " + name;
  // A name with ":" needs the separator even without a class, or it would
  // read back as name and class.
  if (!className.empty() || name.find(':') != std::string::npos) header += ":" + className;
  return header;
}

std::string ItemLine(const TIniItem& item) {
  if (!item.HasName()) return item.Value();
  return item.Name() + "=" + item.Value();
}

}  // namespace

void TIniWriter::Line(size_t indent, std::string_view text) {
  if (!text.empty()) fOut.append(indent, ' ');
  if (!fEscaped) {
    fOut.append(text);
    fOut.append("\r\n");
    return;
  }
  for (char c : text) {
    if (c == '\\')
      fOut += "\\\\";
    else
      fOut += c;
  }
  fOut.append("\\n");
}

void TIniWriter::WriteChildren(const TIniList& list, size_t indent) {
  struct TFrame {
    const TIniList* List;
    size_t Next;
    size_t Indent;
  };
  std::vector<TFrame> stack{{&list, 0, indent}};
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (frame.Next == frame.List->Count()) {
      size_t closedIndent = frame.Indent;
      bool isBlock = stack.size() > 1;
      stack.pop_back();
      if (isBlock) Line(closedIndent - kIndentStep, "end");
      continue;
    }
    TIniItem& child = frame.List->Child(frame.Next++);
    size_t childIndent = frame.Indent;
    if (TIniObject* object = child.AsObject()) {
      Line(childIndent, ObjectHeader(*object));
      stack.push_back({object, 0, childIndent + kIndentStep});
    } else {
      Line(childIndent, ItemLine(child));
    }
  }
}

}  // namespace viv
