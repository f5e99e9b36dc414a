#include "project/ini_parser.h"

#include <vector>

#include "project/ini_tree.h"

namespace viv {
namespace {

bool IsBlank(char c) {
  auto b = static_cast<unsigned char>(c);
  return b <= 0x20 && b != '\r' && b != '\n';
}
bool IsIdentifierChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The keyword in any letter case, not followed by an identifier character nor,
// after blanks, by "=". Returns the rest after the word and its blanks.
bool MatchKeyword(std::string_view line, std::string_view word, std::string_view& rest) {
  if (line.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (c != word[i]) return false;
  }
  std::string_view after = line.substr(word.size());
  if (!after.empty() && IsIdentifierChar(after.front())) return false;
  after = TrimLeft(after);
  if (!after.empty() && after.front() == '=') return false;
  rest = after;
  return true;
}

void Classify(std::string_view body, TIniLine& line) {
  line.HasText = false;
  line.Name = {};
  line.Value = {};
  if (body.empty()) {
    line.Kind = TLineKind::Unnamed;
    return;
  }
  char first = body.front();
  if (first == ';' || first == '=') {
    line.Kind = TLineKind::Unnamed;
    line.HasText = true;
    line.Name = TrimRight(body);
    return;
  }
  if (first == '[') {
    size_t close = body.find(']');
    if (close != std::string_view::npos) {
      line.Kind = TLineKind::Section;
      line.Name = TrimRight(TrimLeft(body.substr(1, close - 1)));
      return;
    }
    line.Kind = TLineKind::Unnamed;
    line.HasText = true;
    line.Name = TrimRight(body);
    return;
  }
  std::string_view rest;
  if (MatchKeyword(body, "object", rest)) {
    line.Kind = TLineKind::Object;
    rest = TrimRight(rest);
    size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
      line.Name = rest;
    } else {
      line.Name = TrimRight(rest.substr(0, colon));
      line.Value = TrimRight(TrimLeft(rest.substr(colon + 1)));
    }
    return;
  }
  if (MatchKeyword(body, "end", rest)) {
    line.Kind = TLineKind::End;
    return;
  }
  size_t equals = body.find('=');
  if (equals != std::string_view::npos) {
    line.Kind = TLineKind::Key;
    line.Name = TrimRight(body.substr(0, equals));
    line.Value = TrimRight(TrimLeft(body.substr(equals + 1)));
    return;
  }
  line.Kind = TLineKind::Unnamed;
  line.HasText = true;
  line.Name = TrimRight(body);
}

// What the new nodes of a parse take, as the allocator hands it out: the node,
// its slot among the children (vectors grow by doubling), the name-index entry
// a lookup adds, and text too long for a string's own buffer.
class TTreeCost {
 public:
  explicit TTreeCost(size_t textSize) : fLimit(TIniFile::MaxTreeBytes(textSize)) {}

  // False once the tree passes its bound.
  bool Add(size_t nodeSize, std::string_view name, std::string_view value, bool named) {
    fBytes += Chunk(nodeSize) + kChildSlot + (named ? kIndexEntry : 0) + HeapText(name) +
              HeapText(value);
    return fBytes <= fLimit;
  }

 private:
  static constexpr size_t kChildSlot = 2 * sizeof(TRef<TIniItem>);
  static constexpr size_t kIndexEntry = 56;  // hash node and bucket
  static constexpr size_t kInlineText = 15;  // what std::string holds without the heap

  // A heap block with its header, in 16-byte steps.
  static size_t Chunk(size_t bytes) { return (bytes + 8 + 15) & ~size_t{15}; }
  static size_t HeapText(std::string_view text) {
    return text.size() > kInlineText ? Chunk(text.size() + 1) : 0;
  }

  size_t fBytes = 0;
  size_t fLimit;
};

bool IsBlankItem(TIniItem& item) {
  return !item.HasName() && !item.HasValue() && item.AsList() == nullptr;
}

}  // namespace

bool NextIniLine(std::string_view text, size_t& pos, TIniLine& line) {
  if (pos >= text.size()) return false;
  size_t start = pos;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  line.Indent = pos - start;
  size_t bodyStart = pos;
  while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
  std::string_view body = text.substr(bodyStart, pos - bodyStart);
  if (pos < text.size()) {
    char end = text[pos++];
    char pair = end == '\r' ? '\n' : '\r';
    if (pos < text.size() && text[pos] == pair) ++pos;
  }
  Classify(body, line);
  line.Raw = TrimRight(body);
  return true;
}

bool AppendParsedLines(TIniList& top, std::string_view text) {
  TIniFile* document = dynamic_cast<TIniFile*>(&top);
  TIniList* current = &top;
  std::vector<TIniList*> blocks;  // open object blocks, innermost last
  TTreeCost cost(text.size());
  TIniLine line;
  for (size_t pos = 0; NextIniLine(text, pos, line);) {
    TIniList* target = blocks.empty() ? current : blocks.back();
    bool fits = true;
    switch (line.Kind) {
      case TLineKind::Unnamed:
        if (!line.HasText && target->Count() > 0 &&
            IsBlankItem(target->Child(target->Count() - 1))) {
          ++target->Child(target->Count() - 1).fLineCount;
          break;
        }
        fits = cost.Add(sizeof(TIniItem), {}, line.Name, false);
        target->Append(MakeRef<TIniItem>(
            std::nullopt, line.HasText ? std::optional<std::string>(line.Name) : std::nullopt));
        break;
      case TLineKind::Key:
        fits = cost.Add(sizeof(TIniItem), line.Name, line.Value, true);
        target->Append(MakeRef<TIniItem>(
            std::string(line.Name),
            line.Value.empty() ? std::nullopt : std::optional<std::string>(line.Value)));
        break;
      case TLineKind::Section:
        if (!blocks.empty()) {
          // Ends the innermost block; the header itself is consumed with it.
          blocks.pop_back();
        } else if (document) {
          size_t sections = document->SectionCount();
          current = &document->SectionForHeader(line.Name);
          if (document->SectionCount() != sections)
            fits = cost.Add(sizeof(TIniSection), line.Name, {}, true);
        } else {
          // A block has no sections: keep the header as a line of its own.
          fits = cost.Add(sizeof(TIniItem), {}, line.Raw, false);
          target->Append(MakeRef<TIniItem>(std::nullopt, std::string(line.Raw)));
        }
        break;
      case TLineKind::Object: {
        fits = cost.Add(sizeof(TIniObject) + sizeof(TIniObject*), line.Name, line.Value, true);
        auto object = MakeRef<TIniObject>(std::string(line.Name), std::string(line.Value));
        TIniObject* raw = object.Get();
        target->Append(std::move(object));
        blocks.push_back(raw);
        break;
      }
      case TLineKind::End:
        if (blocks.empty()) {
          fits = cost.Add(sizeof(TIniItem), {}, "end", false);
          target->Append(MakeRef<TIniItem>(std::nullopt, std::string("end")));
        } else {
          blocks.pop_back();
        }
        break;
    }
    if (!fits) return false;
  }
  return true;
}

}  // namespace viv
