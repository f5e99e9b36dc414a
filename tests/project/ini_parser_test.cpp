#include "project/ini_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/stream.h"
#include "tree_dump.h"

namespace viv {
namespace {

using test::DumpTree;
using test::ParseText;

std::string Repeat(std::string_view line, size_t count) {
  std::string out;
  out.reserve(line.size() * count);
  for (size_t i = 0; i < count; ++i) out += line;
  return out;
}

TEST(IniLine, EveryLineKind) {
  struct TCase {
    std::string Line;
    TLineKind Kind;
    size_t Indent;
    bool HasText;
    std::string Name, Value;
  };
  using K = TLineKind;
  const TCase kCases[] = {
      {"", K::Unnamed, 0, false, "", ""},
      {"   \t", K::Unnamed, 4, false, "", ""},
      {"; comment  ", K::Unnamed, 0, true, "; comment", ""},
      {"  =no key", K::Unnamed, 2, true, "=no key", ""},
      {"[Main]", K::Section, 0, false, "Main", ""},
      {"[  Slide25 \t] ignored", K::Section, 0, false, "Slide25", ""},
      {"[a]b]", K::Section, 0, false, "a", ""},
      {"[]", K::Section, 0, false, "", ""},
      {"[open", K::Unnamed, 0, true, "[open", ""},
      {"object P1:Image", K::Object, 0, false, "P1", "Image"},
      {"OBJECT a:b:Text", K::Object, 0, false, "a:b", "Text"},
      {"\tObject  name \t:  Class  ", K::Object, 1, false, "name", "Class"},
      {"object NoClass", K::Object, 0, false, "NoClass", ""},
      {"object", K::Object, 0, false, "", ""},
      {"object :C", K::Object, 0, false, "", "C"},
      {"object a=b:c", K::Object, 0, false, "a=b", "c"},
      {"object;x", K::Object, 0, false, ";x", ""},
      {"Object=5", K::Key, 0, false, "Object", "5"},
      {"object \t= 5", K::Key, 0, false, "object", "5"},
      {"objects=1", K::Key, 0, false, "objects", "1"},
      {"object_x", K::Unnamed, 0, true, "object_x", ""},
      {"end", K::End, 0, false, "", ""},
      {"  END", K::End, 2, false, "", ""},
      {"end of block", K::End, 0, false, "", ""},
      {"end;", K::End, 0, false, "", ""},
      {"end=3", K::Key, 0, false, "end", "3"},
      {"ending", K::Unnamed, 0, true, "ending", ""},
      {"key = value = more  ", K::Key, 0, false, "key", "value = more"},
      {"opt_scr_full = 1   ", K::Key, 0, false, "opt_scr_full", "1"},
      {"key=", K::Key, 0, false, "key", ""},
      {"\x01\x02key\x1F=\x7Fv\x7F", K::Key, 2, false, "key", "\x7Fv\x7F"},
      {"two words=x", K::Key, 0, false, "two words", "x"},
      {"just text  ", K::Unnamed, 0, true, "just text", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Line);
    size_t pos = 0;
    TIniLine line;
    const std::string text = c.Line + "\r\nnext";
    ASSERT_TRUE(NextIniLine(text, pos, line));
    EXPECT_EQ(pos, c.Line.size() + 2);
    EXPECT_EQ(line.Kind, c.Kind);
    EXPECT_EQ(line.Indent, c.Indent);
    EXPECT_EQ(line.Name, c.Name);
    EXPECT_EQ(line.Value, c.Value);
    if (c.Kind == K::Unnamed) {
      EXPECT_EQ(line.HasText, c.HasText);
    }
  }
}

TEST(IniLine, LineEnds) {
  struct TCase {
    std::string Text;
    std::vector<std::string> Lines;
  };
  const TCase kCases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\r\n\rb", {"a", "", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\r\n\rb", {"a", "", "b"}},
      {"a\r\nb\nc\rd\n\re\r\n", {"a", "b", "c", "d", "e"}},
      {"a\n\r\rb\r", {"a", "", "b"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.Text));
    std::vector<std::string> lines;
    TIniLine line;
    for (size_t pos = 0; NextIniLine(c.Text, pos, line);) lines.emplace_back(line.Raw);
    EXPECT_EQ(lines, c.Lines);
  }
}

TEST(IniParse, BuildsTheTree) {
  struct TCase {
    const char* Text;
    const char* Tree;
  };
  const TCase kCases[] = {
      // Lines before the first section belong to the document; "end" there is a line.
      {"; head\n\nk=1\nend\n[Main]\nopt=2\n", "U ; head\nU\nK k=1\nU end\n[Main]\n  K opt=2\n"},
      // A repeated header continues the earlier section, whatever its letter case.
      {"[main]\na=1\n[Other]\nb=2\n[MAIN]\nc=3\n", "[main]\n  K a=1\n  K c=3\n[Other]\n  K b=2\n"},
      // Nested blocks; END closes in any letter case; an absent value stays absent.
      {"[s]\nobject P1:Image\n  k=\n  object a:b:Text\n  x=1\n  END\nend\nafter=1\n",
       "[s]\n  O P1|Image\n    K k\n    O a:b|Text\n      K x=1\n  K after=1\n"},
      // "Object=5" is a key, not a block.
      {"[s]\nObject=5\nend=1\n", "[s]\n  K Object=5\n  K end=1\n"},
      // A section header ends the innermost block and is consumed with it.
      {"[s]\nobject a:A\nobject b:B\nx=1\n[t]\ny=2\nend\nz=3\n",
       "[s]\n  O a|A\n    O b|B\n      K x=1\n    K y=2\n  K z=3\n"},
      // Blocks left open at the end are closed by the end of the text.
      {"object o\nobject p\nk=v", "O o|\n  O p|\n    K k=v\n"},
      // Empty section names make sections of their own each time.
      {"[]\na=1\n[]\nb=2\n", "[]\n  K a=1\n[]\n  K b=2\n"},
      // Stray lines and brackets without a close stay as unnamed lines.
      {"[s]\n[broken\nno equals here\n", "[s]\n  U [broken\n  U no equals here\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(DumpTree(*ParseText(c.Text)), c.Tree);
  }
}

TEST(IniParse, RunsOfBlankLinesAreOneItemAndWrittenBack) {
  struct TCase {
    std::string Text, Tree, Written;
  };
  const TCase kCases[] = {
      // Whitespace-only lines are blank too; a comment or key ends the run.
      {"a=1\n\n\r\n \n\t\nb=2\n\n", "K a=1\nU*4\nK b=2\nU\n", "a=1\r\n\r\n\r\n\r\n\r\nb=2\r\n\r\n"},
      {"[s]\n\n\n;c\n\nobject o\n\n\nend\n", "[s]\n  U*2\n  U ;c\n  U\n  O o|\n    U*2\n",
       "[s]\r\n\r\n\r\n;c\r\n\r\nobject o\r\n\r\n\r\nend\r\n"},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.Text));
    auto file = ParseText(c.Text);
    EXPECT_EQ(DumpTree(*file), c.Tree);
    EXPECT_EQ(file->SaveToText(), c.Written);
    // A copy keeps the runs.
    TRef<TIniItem> copy = file->Copy();
    EXPECT_EQ(static_cast<TIniFile&>(*copy).SaveToText(), c.Written);
  }

  // Millions of line breaks cost one node.
  constexpr size_t kLines = size_t{1} << 22;
  auto blank = ParseText(std::string(kLines, '\n'));
  ASSERT_EQ(blank->Count(), 1u);
  EXPECT_EQ(blank->Child(0).LineCount(), kLines);
  std::string written = blank->SaveToText();
  EXPECT_EQ(written.size(), 2 * kLines);
  EXPECT_EQ(written.find_first_not_of("\r\n"), std::string::npos);
}

TEST(IniParse, TreesPastTheirBoundAreRefused) {
  // Each "[]" makes a section of its own and each "a=1" a node much larger
  // than its four bytes: past a small multiple of the text, nothing is kept.
  const std::string kTooLarge[] = {Repeat("[]\n", 40000), "[s]\n" + Repeat("a=1\n", 100000),
                                   Repeat("x\n", 100000)};
  for (const std::string& text : kTooLarge) {
    SCOPED_TRACE(text.substr(0, 8));
    auto file = ParseText("[keep]\nk=1\n");
    EXPECT_FALSE(file->LoadFromText(text));
    EXPECT_EQ(file->Count(), 0u);
    EXPECT_EQ(file->SectionCount(), 0u);
    auto stream = MakeRef<TMemoryStream>("\xEF\xBB\xBF" + text);
    EXPECT_FALSE(file->LoadFromStream(*stream));
    auto block = MakeRef<TIniObject>("o", "C");
    EXPECT_FALSE(block->AssignText(text));
    EXPECT_EQ(block->Count(), 0u);
  }
  // The same lines in a small text fit the allowance, and long keys of a real
  // show stay far inside the bound.
  EXPECT_TRUE(ParseText("[keep]\n")->LoadFromText(Repeat("a=1\n", 100)));
  EXPECT_TRUE(ParseText("")->LoadFromText(
      "[Main]\r\n" +
      Repeat("  object k:KeyPoint\r\n    Time=100\r\n    PosX=0.5\r\n  end\r\n", 20000)));
}

TEST(IniParse, AssignTextKeepsHeadersAsLinesOfTheBlock) {
  auto list = MakeRef<TIniObject>("Music", "TMusic");
  list->WriteText("old", "1");
  list->AssignText("[not a section]\nk=v\nobject o:C\n[x]\nend\nend\n");
  std::string dump;
  test::DumpList(dump, *list, 0);
  // Inside a block "[x]" still ends the open block; at the block's own level the
  // header is a line, and so is a stray "end".
  EXPECT_EQ(dump, "U [not a section]\nK k=v\nO o|C\nU end\nU end\n");
}

}  // namespace
}  // namespace viv
