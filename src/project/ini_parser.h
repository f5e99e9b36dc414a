// Lines of the project text and how they build the document tree.
#pragma once

#include <cstddef>
#include <string_view>

namespace viv {

class TIniList;

enum class TLineKind { Unnamed = 0, Key = 1, Section = 2, Object = 3, End = 4 };

struct TIniLine {
  TLineKind Kind = TLineKind::Unnamed;
  size_t Indent = 0;
  bool HasText = false;    // unnamed lines: false for a blank line
  std::string_view Name;   // key, section name, object name; the text of an unnamed line
  std::string_view Value;  // key value (empty = absent), class name
  std::string_view Raw;    // the line without indentation, right-trimmed
};

// Classifies the line starting at pos and moves pos past its line end (CR LF,
// LF CR, CR or LF). False at the end of the text.
bool NextIniLine(std::string_view text, size_t& pos, TIniLine& line);

// Appends the lines of UTF-8 text to top. Object blocks nest without recursion;
// in a document, section headers switch the current section. Stops with false
// once the new nodes would take more than TIniFile::MaxTreeBytes of the text;
// the caller then clears top.
bool AppendParsedLines(TIniList& top, std::string_view text);

}  // namespace viv
