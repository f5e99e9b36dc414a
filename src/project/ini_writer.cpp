#include "project/ini_writer.h"

#include <vector>

#include "base/stream.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

constexpr size_t kIndentStep = 2;
// Text held before it goes to the sink.
constexpr size_t kSinkPiece = 64 * 1024;

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

}  // namespace

void TIniWriter::Flush() {
  if (!fSink || fOut.empty()) return;
  fSink->WriteText(fOut);
  fOut.clear();
}

void TIniWriter::Append(std::string_view text) {
  if (!fEscaped) {
    fOut.append(text);
  } else {
    for (char c : text) {
      if (c == '\\')
        fOut += "\\\\";
      else
        fOut += c;
    }
  }
  if (fOut.size() >= kSinkPiece) Flush();
}

void TIniWriter::AppendIndent(size_t indent) {
  // Deep blocks indent by more than a piece: written out as it grows.
  while (indent > 0) {
    size_t now = std::min(indent, kSinkPiece);
    fOut.append(now, ' ');
    indent -= now;
    if (fOut.size() >= kSinkPiece) Flush();
  }
}

void TIniWriter::EndLine() {
  // The line end of the escaped form is itself an escape, not text to escape.
  fOut.append(fEscaped ? "\\n" : "\r\n");
  if (fOut.size() >= kSinkPiece) Flush();
}

void TIniWriter::Line(size_t indent, std::string_view text) {
  if (!text.empty()) AppendIndent(indent);
  Append(text);
  EndLine();
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
    } else if (!child.HasName()) {
      // A run of blank lines is one item.
      for (size_t i = 0; i < child.LineCount(); ++i) Line(childIndent, child.Value());
    } else {
      AppendIndent(childIndent);
      Append(child.Name());
      Append("=");
      Append(child.Value());
      EndLine();
    }
  }
}

}  // namespace viv
