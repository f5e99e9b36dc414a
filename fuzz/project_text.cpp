// Any bytes as a project text: parsing keeps its tree within the bound it
// promises (or refuses the text), the writing parses back to the same writing,
// and every value reader copes with every value and every line.
#include <sanitizer/allocator_interface.h>

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

// Every value syntax on one text, as a whole and field by field.
void ReadAsEveryValue(std::string_view text) {
  (void)ParseInt32(text);
  (void)ParseInt64(text);
  (void)ParseReal(text);
  (void)ParseBool(text);
  (void)ParseColour(text, 0);
  (void)Utf8ToUtf16(text);
  (void)DecodeEscaped(text);
  (void)EncodeEscaped(text);
  for (char separator : {',', ';', ' '}) {
    TCommaList fields(text, separator);
    for (size_t i = 0; i < fields.Count() && i < 8; ++i) {
      (void)fields.ReadText(i);
      (void)fields.ReadInteger(i, 0);
      (void)fields.ReadReal(i, 0);
    }
  }
}

void ReadEveryValue(const TIniList& list) {
  for (const auto& child : list.Children()) {
    // Unnamed lines hold their text as the value: read that too.
    ReadAsEveryValue(child->Value());
    if (!child->HasName()) continue;
    const std::string& name = child->Name();
    ReadAsEveryValue(name);
    (void)child->ReadInteger(0);
    (void)child->ReadInt64(0);
    (void)child->ReadReal(0);
    (void)child->ReadBool(false);
    (void)child->ReadColour(0);
    (void)list.ReadIndex(name, {"repeat", "close", "stop"}, -1);

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
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  ReadAsEveryValue(bytes);
  auto input = MakeRef<TMemoryStream>(bytes);
  auto file = MakeRef<TIniFile>();
  // What the tree holds once the text is gone stays within its bound, however
  // the lines are made (blank runs, tiny keys, deep blocks, many sections).
  const size_t textSize = DecodeProjectBytes(bytes).size();
  const size_t before = __sanitizer_get_current_allocated_bytes();
  const bool loaded = file->LoadFromStream(*input);
  const size_t after = __sanitizer_get_current_allocated_bytes();
  Check(after < before || after - before <= TIniFile::MaxTreeBytes(textSize),
        "the tree passed its bound");
  if (!loaded) {
    Check(file->Count() == 0 && file->SectionCount() == 0, "a refused text left a tree");
    return 0;
  }
  ReadEverything(*file);

  const std::string first = Write(*file);
  auto reread = MakeRef<TIniFile>();
  auto written = MakeRef<TMemoryStream>(first);
  // The writing drops indentation, so it may be shorter than a text whose
  // tree was just inside the bound, and then be refused itself.
  if (!reread->LoadFromStream(*written)) return 0;
  Check(Write(*reread) == first, "writing, parsing and writing again changed the text");

  auto unescaped = MakeRef<TIniFile>();
  unescaped->LoadFromEscaped(file->SaveToEscaped());
  Check(Write(*unescaped) == first, "the escaped form did not parse back");

  TRef<TIniItem> copy = file->Copy();
  Check(Write(*static_cast<TIniFile*>(copy.Get())) == first, "a copy writes differently");
  return 0;
}
