#include "project/ini_tree.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstring>
#include <string>
#include <vector>

#include "tree_dump.h"

namespace viv {
namespace {

using namespace std::string_literals;

using test::DumpList;
using test::DumpTree;
using test::ParseText;

std::string DumpOf(const TIniList& list) {
  std::string out;
  DumpList(out, list, 0);
  return out;
}

TEST(IniTree, SectionAndKeyLookupIgnoreCase) {
  auto file = ParseText(
      "top=0\n[Slide25]\nopt=1\nOPT=2\n[\xC3\x84pfel]\nk=\xC3\xA4\n[main]\na=1\n[Main]\nb=2\n");
  ASSERT_EQ(file->SectionCount(), 3u);
  TIniSection* slide = file->FindSection("slide25");
  ASSERT_TRUE(slide);
  EXPECT_EQ(slide->Name(), "Slide25");
  EXPECT_EQ(file->FindSection("\xC3\xA4PFEL"), &file->Section(1));
  EXPECT_EQ(file->FindSection("MAIN"), &file->Section(2));
  EXPECT_EQ(file->FindSection(""), file.Get());
  EXPECT_FALSE(file->FindSection("Slide2"));

  // The later of two equal keys wins.
  EXPECT_EQ(file->ReadInteger("SLIDE25", "opt", -1), 2);
  EXPECT_EQ(file->ReadText("main", "B"), "2");
  EXPECT_EQ(file->ReadText("", "TOP"), "0");
  EXPECT_EQ(file->ReadText("Missing", "a", "dflt"), "dflt");
  EXPECT_EQ(file->ReadInteger("main", "missing", 9), 9);
  EXPECT_FALSE(slide->FindItem(""));
}

TEST(IniTree, ReadersOfValues) {
  auto file = ParseText(
      "[m]\nreal=1.5\ncomma=1,5\nexp=1e3\nflag=true\non=1\nbig=9223372036854775807\n"
      "col=#FF8000,128\nlist=a,b,,c\nalign=Center\nempty=\n");
  TIniSection& m = *file->FindSection("m");
  EXPECT_EQ(file->ReadReal("m", "real", -1), 1.5);
  EXPECT_EQ(file->ReadReal("m", "comma", -1), -1);
  EXPECT_EQ(file->ReadReal("m", "exp", -1), 1000);
  EXPECT_EQ(file->ReadBool("m", "flag", false), false);
  EXPECT_EQ(file->ReadBool("m", "flag", true), true);
  EXPECT_EQ(file->ReadBool("m", "on", false), true);
  EXPECT_EQ(m.ReadInt64("big", 0), INT64_MAX);
  EXPECT_EQ(m.ReadInteger("big", 3), 3);
  EXPECT_EQ(m.ReadColour("col", 0), 0x80FF8000u);
  EXPECT_EQ(m.ReadColour("missing", 0x11223344), 0x11223344u);
  EXPECT_EQ(m.ReadList("list").Count(), 4u);
  EXPECT_EQ(m.ReadList("list").ReadText(3), "c");
  EXPECT_EQ(m.ReadList("missing").Count(), 0u);
  // A present key with an absent value reads as empty text, not the default.
  EXPECT_EQ(m.ReadText("empty", "dflt"), "");
  EXPECT_EQ(m.ReadInteger("empty", 4), 4);
}

TEST(IniTree, ReadIndex) {
  auto file = ParseText("[m]\na=Center\nb=RIGHT\nc=middle\nd=\n");
  TIniSection& m = *file->FindSection("m");
  const std::vector<std::string_view> kAlign = {"left", "center", "right", "Center"};
  EXPECT_EQ(m.ReadIndex("a", kAlign, -1), 1);  // the first match counts
  EXPECT_EQ(m.ReadIndex("b", kAlign, -1), 2);
  EXPECT_EQ(m.ReadIndex("c", kAlign, -1), -1);
  EXPECT_EQ(m.ReadIndex("d", kAlign, -1), -1);
  EXPECT_EQ(m.ReadIndex("missing", kAlign, 7), 7);
}

TEST(IniTree, FindByClass) {
  auto file = ParseText(
      "[s]\nx=key\nobject x:Image\nend\nobject a:Image\nid=1\nend\nobject a:Text\nid=2\nend\n"
      "object A:image\nid=3\nend\nobject b:Image\nid=4\nend\n");
  TIniSection& s = *file->FindSection("s");
  EXPECT_TRUE(s.FindItem("X")->AsObject());
  EXPECT_EQ(s.FindItem("x", TIniClass::Plain)->Value(), "key");
  EXPECT_FALSE(s.FindItem("x", TIniClass::Section));
  EXPECT_FALSE(s.FindItem("b", TIniClass::Plain));

  // The last block whose name and class both match.
  struct TCase {
    const char* Name;
    const char* Class;
    const char* Id;  // nullptr: no match
  };
  const TCase kCases[] = {
      {"a", "Image", "3"},     {"a", "IMAGE", "3"}, {"A", "text", "2"},
      {"a", "Video", nullptr}, {"b", "image", "4"}, {"c", "Image", nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.Name) + ":" + c.Class);
    TIniObject* found = s.FindObject(c.Name, c.Class);
    ASSERT_EQ(found != nullptr, c.Id != nullptr);
    if (found) {
      EXPECT_EQ(found->ReadText("id"), c.Id);
    }
  }
  EXPECT_EQ(s.FindObject("a")->ReadText("id"), "3");

  std::vector<std::string> order;
  for (TIniObject* o = s.FirstObject(); o; o = s.NextObject(*o)) order.push_back(o->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"x", "a", "a", "A", "b"}));
}

TEST(IniTree, CreatedItemsAndObjectsGoToTheirInsertPoints) {
  auto file = ParseText("[s]\na=1\n; note\n\nb=2\n\n; trailing\n[t]\n; only comments\n\n");
  TIniSection& s = *file->FindSection("s");
  EXPECT_EQ(s.InsertPoint(), 4u);
  s.FindOrCreateItem("c").SetValue("3");
  EXPECT_EQ(&s.FindOrCreateItem("A"), s.FindItem("a"));  // found, not created
  EXPECT_EQ(DumpOf(s), "K a=1\nU ; note\nU\nK b=2\nK c=3\nU\nU ; trailing\n");

  // Without named children created items go first.
  TIniSection& t = *file->FindSection("t");
  EXPECT_EQ(t.InsertPoint(), 0u);
  t.WriteText("k", "v");
  EXPECT_EQ(DumpOf(t), "K k=v\nU ; only comments\nU\n");

  // New blocks go after the last block, or to the insert point without one.
  auto blocks = ParseText("[s]\nk=1\nobject o1:A\nend\nz=2\n; end\n[u]\nk=1\n\n");
  blocks->FindSection("s")->FindOrCreateObject("o2", "B").WriteText("in", "1");
  blocks->FindSection("u")->FindOrCreateObject("o3");
  EXPECT_EQ(DumpTree(*blocks),
            "[s]\n  K k=1\n  O o1|A\n  O o2|B\n    K in=1\n  K z=2\n  U ; end\n"
            "[u]\n  K k=1\n  O o3|\n  U\n");
  std::vector<std::string> order;
  TIniSection& s2 = *blocks->FindSection("s");
  for (TIniObject* o = s2.FirstObject(); o; o = s2.NextObject(*o)) order.push_back(o->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"o1", "o2"}));
  // An item created after a block goes after it: blocks are named children too.
  blocks->FindSection("u")->FindOrCreateItem("late");
  EXPECT_EQ(DumpOf(*blocks->FindSection("u")), "K k=1\nO o3|\nK late\nU\n");
}

TEST(IniTree, PathLookupFindsAndCreates) {
  auto file = ParseText("[Main]\nk=1\n[S]\nobject a:A\nx=1\nend\nobject b:B\ny=2\nend\n");
  const std::string before = DumpTree(*file);

  struct TCase {
    const char* Path;
    const char* Expected;  // name or value of what is found
  };
  const TCase kFound[] = {
      {"main:K", "1"},
      {"S:a:x", "1"},
      {"s::x", "1"},
      {"S:B:y", "2"},
  };
  for (const auto& c : kFound) {
    SCOPED_TRACE(c.Path);
    TIniItem* item = file->PathLookup(c.Path, false);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Value(), c.Expected);
    EXPECT_EQ(file->PathLookup(c.Path), item);
  }
  EXPECT_EQ(file->PathLookup("Main:"), file->FindSection("main"));
  EXPECT_EQ(file->PathLookup("S:b:"), file->FindSection("S")->FindObject("b"));
  EXPECT_EQ(file->PathLookup("S:a"), file->FindSection("S")->FindObject("a"));
  for (const char* missing : {"main:nope", "Nope:k", "S:c:x", "S:a:z", "Nope:"})
    EXPECT_FALSE(file->PathLookup(missing, false)) << missing;
  EXPECT_EQ(DumpTree(*file), before) << "a lookup without create changed the tree";

  file->PathLookup("S:b:new")->SetValue("n");
  file->PathLookup("S:c:d:e")->SetValue("deep");
  file->PathLookup("New:o:p")->SetValue("q");
  file->PathLookup("main:opt")->SetValue("v");
  EXPECT_EQ(DumpTree(*file),
            "[Main]\n  K k=1\n  K opt=v\n"
            "[S]\n  O a|A\n    K x=1\n  O b|B\n    K y=2\n    K new=n\n"
            "  O c|\n    O d|\n      K e=deep\n"
            "[New]\n  O o|\n    K p=q\n  U\n");
}

TEST(IniTree, CreatedSectionHoldsABlankLine) {
  auto file = MakeRef<TIniFile>();
  file->WriteText("Main", "opt_scr_full", "1");
  EXPECT_EQ(&file->FindOrCreateSection("MAIN"), file->FindSection("main"));
  file->FindOrCreateSection("Times");
  EXPECT_EQ(DumpTree(*file), "[Main]\n  K opt_scr_full=1\n  U\n[Times]\n  U\n");
}

TEST(IniTree, CopyIsDeepAndDetached) {
  auto file = ParseText("top=1\n[s]\nobject o:C\nk=v\nend\n[]\nx=1\n[]\ny=2\n");
  const std::string original = DumpTree(*file);
  TRef<TIniItem> copy = file->Copy();
  auto* copied = static_cast<TIniFile*>(copy.Get());
  file->FindSection("s")->FindObject("o")->WriteText("k", "changed");
  EXPECT_EQ(DumpTree(*copied), original);
  EXPECT_EQ(copied->PathLookup("s:o:k", false)->Value(), "v");
}

// --- reading bytes

TRef<TIniFile> LoadBytes(const std::string& bytes) {
  auto file = MakeRef<TIniFile>();
  auto stream = MakeRef<TMemoryStream>(bytes);
  EXPECT_TRUE(file->LoadFromStream(*stream));
  return file;
}

TEST(IniTree, ByteOrderMarks) {
  struct TCase {
    const char* Label;
    std::string Bytes;
    std::string Value;  // of [a] k, UTF-8
  };
  const std::string kUtf16 = "\xFF\xFE[\0a\0]\0\r\0\n\0k\0=\0\xE9\0\xAC\x20\x34\xD8\x1E\xDD"s;
  const TCase kCases[] = {
      {"UTF-8 with mark", "\xEF\xBB\xBF[a]\r\nk=\xC3\xA9", "\xC3\xA9"},
      {"ANSI", "[a]\r\nk=\xC3\xA9", "\xC3\x83\xC2\xA9"},
      {"ANSI 1252", "[a]\nk=\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},
      {"UTF-16 LE", kUtf16, "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Label);
    EXPECT_EQ(LoadBytes(c.Bytes)->ReadText("a", "k", "missing"), c.Value);
  }
  // UTF-16 big-endian is not recognised: no section comes out of it.
  auto bigEndian = LoadBytes("\xFE\xFF\0[\0a\0]"s);
  EXPECT_FALSE(bigEndian->FindSection("a"));
  // An empty stream is an empty document.
  auto empty = LoadBytes("");
  EXPECT_EQ(empty->Count(), 0u);
  EXPECT_EQ(empty->SectionCount(), 0u);
}

TEST(IniTree, LoadFromFileReadsTheFixture) {
  auto file = MakeRef<TIniFile>();
  ASSERT_TRUE(file->LoadFromFile(VIV_TEST_FIXTURES "/project.viv"));
  EXPECT_EQ(file->ReadInteger("main", "opt_scr_width", 0), 1920);
  EXPECT_EQ(file->ReadText("Main", "projectname"), "Sommer am See \xE2\x80\x93 2024");
  EXPECT_EQ(file->ReadInteger("times", "opt_slidescount", 0), 2);
  TIniItem* text = file->PathLookup("Slide1:Container:Title:Text", false);
  ASSERT_TRUE(text);
  EXPECT_EQ(DecodeEscaped(text->Value()), "Willkommen\r\nam See");
  EXPECT_FALSE(file->LoadFromFile(VIV_TEST_FIXTURES "/no-such-file.viv"));
}

// A stream that claims a size without holding the bytes, or that has no size
// at all and hands out zeros until its budget is spent.
class TBottomlessStream : public TStream {
 public:
  TBottomlessStream(int64_t reportedSize, int64_t budget)
      : fReportedSize(reportedSize), fBudget(budget) {}
  size_t Read(void* buffer, size_t count) override {
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), fBudget));
    std::memset(buffer, 'a', n);
    fBudget -= static_cast<int64_t>(n);
    BytesRead += static_cast<int64_t>(n);
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t, TSeekOrigin) override {
    if (fReportedSize < 0) throw EStreamError("Stream size unknown");
    return 0;
  }
  int64_t GetSize() override {
    if (fReportedSize < 0) throw EStreamError("Stream size unknown");
    return fReportedSize;
  }
  int64_t BytesRead = 0;

 private:
  int64_t fReportedSize;
  int64_t fBudget;
};

TEST(IniTree, StreamsOf128MiBAreRefused) {
  auto file = ParseText("[keep]\nk=1\n");
  for (int64_t size : {TIniFile::kMaxTextSize, int64_t{1} << 40}) {
    auto huge = MakeRef<TBottomlessStream>(size, size);
    EXPECT_FALSE(file->LoadFromStream(*huge)) << size;
    EXPECT_EQ(huge->BytesRead, 0) << "read a stream that was too large";
    EXPECT_EQ(file->SectionCount(), 0u) << "a refused load must leave an empty document";
  }
  // A stream of unknown size is read in pieces until it passes the limit.
  auto unsized = MakeRef<TBottomlessStream>(-1, TIniFile::kMaxTextSize);
  EXPECT_FALSE(file->LoadFromStream(*unsized));
  auto small = MakeRef<TBottomlessStream>(-1, 5);
  EXPECT_TRUE(file->LoadFromStream(*small));
  EXPECT_EQ(DumpTree(*file), "U aaaaa\n");
}

}  // namespace
}  // namespace viv

namespace viv {
namespace {

TEST(IniTreeCopy, DeepBlocksCopyWithoutRecursion) {
  // Deep enough to overflow a small stack if copying recursed.
  constexpr int kDepth = 100000;
  std::string text = "[S]\n";
  for (int i = 0; i < kDepth; ++i)
    text += "object o" + std::to_string(i) + ":C\nk=" + std::to_string(i) + "\n";
  TIniFile document;
  document.LoadFromText(text);
  bool done = false;
  std::string innermost;
  // A thread with a small stack shows any recursion.
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  struct TJob {
    TIniFile* Document;
    std::string* Innermost;
    bool* Done;
  } job{&document, &innermost, &done};
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void* argument) -> void* {
                  auto* j = static_cast<TJob*>(argument);
                  TRef<TIniItem> copy = j->Document->Copy();
                  auto* file = static_cast<TIniFile*>(copy.Get());
                  TIniList* list = file->FindSection("S");
                  while (list && list->FirstObject()) list = list->FirstObject();
                  *j->Innermost = list ? list->ReadText("k") : "";
                  *j->Done = true;
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(done);
  EXPECT_EQ(innermost, std::to_string(kDepth - 1));
}

}  // namespace
}  // namespace viv
