// Any bytes as a project text: parsing never fails, the writing parses back to
// the same writing, and every value reader copes with every value.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/stream.h"
#include "base/text.h"
#include "project/ini_tree.h"

namespace {

using namespace viv;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "project_text: %s\n", what);
  std::abort();
}

std::string Write(const TIniFile& file) {
  auto stream = MakeRef<TMemoryStream>();
  file.SaveToStream(*stream);
  return stream->TakeData();
}

void ReadEveryValue(const TIniList& list) {
  for (const auto& child : list.Children()) {
    if (!child->HasName()) continue;
    const std::string& name = child->Name();
    (void)child->ReadInteger(0);
    (void)child->ReadInt64(0);
    (void)child->ReadReal(0);
    (void)child->ReadBool(false);
    (void)child->ReadColour(0);
    TCommaList fields = child->ReadList();
    for (size_t i = 0; i < fields.Count() && i < 8; ++i) {
      (void)fields.ReadInteger(i, 0);
      (void)fields.ReadReal(i, 0);
    }
    (void)list.ReadIndex(name, {"repeat", "close", "stop"}, -1);
    (void)Utf8ToUtf16(child->Value());
    (void)DecodeEscaped(child->Value());

    // Lookups by a child's own name, in any letter case, find that name.
    std::string folded = FoldCase(name);
    Check(SameText(name, folded) && HashFolded(name) == HashFolded(folded), "case folding");
    TIniItem* found = list.FindItem(folded);
    Check(name.empty() ? found == nullptr
                       : found && SameText(found->Name(), name) && found->Index() >= child->Index(),
          "lookup by name");
    if (TIniObject* object = child->AsObject()) {
      TIniObject* last = list.FindObject(name, object->ClassName());
      Check(name.empty() || (last && last->Index() >= object->Index()), "lookup by class");
    }
  }
}

void ReadEverything(const TIniFile& file) {
  std::vector<const TIniList*> lists{&file};
  for (size_t i = 0; i < file.SectionCount(); ++i) lists.push_back(&file.Section(i));
  while (!lists.empty()) {
    const TIniList* list = lists.back();
    lists.pop_back();
    ReadEveryValue(*list);
    for (TIniObject* object : list->Objects()) lists.push_back(object);
  }
}

}  // namespace

// The libraries' undefined-behaviour checks report and carry on by default;
// here every report is a finding.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto input = MakeRef<TMemoryStream>(std::string(reinterpret_cast<const char*>(data), size));
  auto file = MakeRef<TIniFile>();
  Check(file->LoadFromStream(*input), "a small stream was refused");
  ReadEverything(*file);

  const std::string first = Write(*file);
  auto reread = MakeRef<TIniFile>();
  auto written = MakeRef<TMemoryStream>(first);
  Check(reread->LoadFromStream(*written), "the writing was refused");
  Check(Write(*reread) == first, "writing, parsing and writing again changed the text");

  auto unescaped = MakeRef<TIniFile>();
  unescaped->LoadFromEscaped(file->SaveToEscaped());
  Check(Write(*unescaped) == first, "the escaped form did not parse back");

  TRef<TIniItem> copy = file->Copy();
  Check(Write(*static_cast<TIniFile*>(copy.Get())) == first, "a copy writes differently");
  return 0;
}
