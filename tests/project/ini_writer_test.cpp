#include "project/ini_writer.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <functional>
#include <string>

#include "base/stream.h"
#include "tree_dump.h"

namespace viv {
namespace {

using namespace std::string_literals;

using test::DumpTree;
using test::ParseText;

TEST(IniWriter, WritesEveryNodeKind) {
  auto file = ParseText(
      "top=1\n   [Main]   \n\tk = v \nabsent=\n;c\n\n  object  P : Image \n x=1\n\nobject\n"
      "object :C\nend\nobject a:b:\nend\nend\nEND\n[S]\nobject n\n");
  EXPECT_EQ(file->SaveToText(),
            "top=1\r\n[Main]\r\nk=v\r\nabsent=\r\n;c\r\n\r\nobject P:Image\r\n  x=1\r\n\r\n"
            "  object\r\n    object :C\r\n    end\r\n    object a:b:\r\n    end\r\n  end\r\n"
            "end\r\n[S]\r\nobject n\r\nend\r\n");

  auto stream = MakeRef<TMemoryStream>();
  ParseText("[a]\nk=1")->SaveToStream(*stream);
  EXPECT_EQ(stream->Data(), "\xEF\xBB\xBF[a]\r\nk=1\r\n");
  auto bare = MakeRef<TMemoryStream>();
  ParseText("[a]\nk=1")->SaveToStream(*bare, false);
  EXPECT_EQ(bare->Data(), "[a]\r\nk=1\r\n");
}

TEST(IniWriter, EscapedOneLineForm) {
  auto file = ParseText("[a]\nk=C:\\x\\n\n");
  EXPECT_EQ(file->SaveToEscaped(), "[a]\\nk=C:\\\\x\\\\n\\n");
  auto back = MakeRef<TIniFile>();
  back->LoadFromEscaped(file->SaveToEscaped());
  EXPECT_EQ(back->ReadText("a", "k"), "C:\\x\\n");
}

// Parse, write, parse again: the trees must be equal, and so must both writings.
void ExpectRoundTrip(const TIniFile& parsed) {
  const std::string tree = DumpTree(parsed);
  auto written = MakeRef<TMemoryStream>();
  parsed.SaveToStream(*written);
  written->SetPosition(0);
  auto reread = MakeRef<TIniFile>();
  ASSERT_TRUE(reread->LoadFromStream(*written));
  EXPECT_EQ(DumpTree(*reread), tree);
  auto rewritten = MakeRef<TMemoryStream>();
  reread->SaveToStream(*rewritten);
  EXPECT_EQ(rewritten->Data(), written->Data());

  const std::string escaped = parsed.SaveToEscaped();
  EXPECT_EQ(escaped.find_first_of("\r\n"), std::string::npos);
  auto unescaped = MakeRef<TIniFile>();
  unescaped->LoadFromEscaped(escaped);
  EXPECT_EQ(DumpTree(*unescaped), tree);
}

TEST(IniWriter, RoundTripOfTheFixture) {
  auto file = MakeRef<TIniFile>();
  ASSERT_TRUE(file->LoadFromFile(VIV_TEST_FIXTURES "/project.viv"));
  ASSERT_EQ(file->SectionCount(), 4u);
  ExpectRoundTrip(*file);
  // The fixture is written the way the writer writes, so it comes back byte for byte.
  auto written = MakeRef<TMemoryStream>();
  file->SaveToStream(*written);
  std::string original = ReadFileBytes(VIV_TEST_FIXTURES "/project.viv");
  // Except for what the parser trims and normalises.
  size_t padded = original.find("opt_scr_full = 1   ");
  ASSERT_NE(padded, std::string::npos);
  original.replace(padded, 19, "opt_scr_full=1");
  size_t upper = original.find("  END\r\n");
  ASSERT_NE(upper, std::string::npos);
  original.replace(upper, 7, "  end\r\n");
  EXPECT_EQ(written->Data(), original);
}

TEST(IniWriter, RoundTripOfTrickyInputs) {
  const std::string kInputs[] = {
      "object a:b:\nend\n",
      "[]\nk=v\n[]\nx=1\n",
      "end\nEND x\n[s]\nend\n",
      "object\nobject :C\nend\nend\n",
      "[s]\nobject a\n[t]\nk=1\n",
      "k=\n=comment\n;c\n[unclosed\n  \n",
      "object o\nobject p\n",
      "\x01\x02 weird \x7F=\x80\xFF\n",
      "a\rb\n\rc\r\n\nd",
      "object a=b:c=d\nx\\y=C:\\path\\n\nend",
      "Object=5\nobject =6\nend=7\n",
      "key with spaces = v v \n",
      "a\0b=c\0\n\0"s,
      "[s]\r\n[S]\r\nk=1",
      "object x:Text\n  Text=line1\\nline2\\\\\nend",
      "\xEF\xBB\xBF\xFF\xFE inner marks",
  };
  for (const auto& input : kInputs) {
    SCOPED_TRACE(testing::PrintToString(input));
    ExpectRoundTrip(*ParseText(input));
  }
}

// Runs work on a thread with a small stack, so that recursion over a deep tree
// would crash instead of passing by luck.
void RunOnSmallStack(const std::function<void()>& work) {
  constexpr size_t kStackBytes = 256 * 1024;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kStackBytes);
  pthread_t thread;
  auto entry = [](void* context) -> void* {
    (*static_cast<const std::function<void()>*>(context))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, entry, const_cast<std::function<void()>*>(&work)),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

size_t ChainDepth(const TIniList& top) {
  size_t depth = 0;
  for (const TIniList* list = &top; list->Count() > 0; ++depth) {
    list = list->Child(0).AsList();
    if (!list) break;
  }
  return depth;
}

TEST(IniWriter, DeepNestingNeedsNoStack) {
  constexpr size_t kParseDepth = 200000;
  std::string text;
  for (size_t i = 0; i < kParseDepth; ++i) text += "object o:C\n";
  size_t depth = 0, heldDepth = 0;
  RunOnSmallStack([&] {
    auto file = ParseText(text);
    depth = ChainDepth(*file);
    // Keep a block from the middle alive past the document.
    const TIniList* middle = file.Get();
    for (size_t i = 0; i < kParseDepth / 2; ++i) middle = middle->Child(0).AsList();
    TRef<TIniItem> held(const_cast<TIniList*>(middle));
    file.Reset();
    heldDepth = ChainDepth(*held->AsList());
  });
  EXPECT_EQ(depth, kParseDepth);
  EXPECT_EQ(heldDepth, kParseDepth / 2);

  // Writing indents each level, so its output grows with the square of the depth.
  constexpr size_t kWriteDepth = 5000;
  std::string deep;
  for (size_t i = 0; i < kWriteDepth; ++i) deep += "object o:C\n";
  deep += "k=v\n";
  std::string written, rewritten;
  RunOnSmallStack([&] {
    auto file = ParseText(deep);
    written = file->SaveToText();
    rewritten = ParseText(written)->SaveToText();
  });
  EXPECT_NE(written.find("\r\n" + std::string(2 * kWriteDepth, ' ') + "k=v\r\n"),
            std::string::npos);
  EXPECT_TRUE(written.ends_with("  end\r\nend\r\n"));
  EXPECT_TRUE(rewritten == written);
}

// Counts what is written and remembers the largest single write.
class TCountingStream : public TStream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    Total += count;
    Largest = std::max(Largest, count);
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(Total); }
  size_t Total = 0, Largest = 0;
};

TEST(IniWriter, StreamsAreWrittenInPiecesAsTheTreeIsWalked) {
  // 3000 nested blocks indent to 6000 spaces: about 18 MB of text that must
  // never be held whole.
  constexpr size_t kDepth = 3000;
  std::string text = "[s]\n";
  for (size_t i = 0; i < kDepth; ++i) text += "object o:C\n";
  auto file = ParseText(text);
  auto stream = MakeRef<TCountingStream>();
  file->SaveToStream(*stream, true);
  // Byte-order mark, "[s]" and per level i (0-based) "object o:C" and "end",
  // each with 2 * i spaces and CR LF.
  size_t expected = 3 + 5;
  for (size_t i = 0; i < kDepth; ++i) expected += 2 * (2 * i) + 12 + 5;
  EXPECT_EQ(stream->Total, expected);
  EXPECT_LE(stream->Largest, size_t{128 * 1024});
  // The same text as the string writer's.
  EXPECT_EQ(stream->Total, 3 + file->SaveToText().size());
}

}  // namespace
}  // namespace viv
