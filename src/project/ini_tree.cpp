#include "project/ini_tree.h"

#include <algorithm>

#include "base/text.h"
#include "project/ini_parser.h"
#include "project/ini_writer.h"

namespace viv {

// --- TIniItem

const std::string& TIniItem::Empty() {
  static const std::string empty;
  return empty;
}

bool TIniItem::IsNamed(std::string_view name) const {
  return fName && !name.empty() && SameText(*fName, name);
}

bool TIniItem::IsAncestor(const TIniList& list) const {
  for (const TIniList* p = fParent; p; p = p->Parent())
    if (p == &list) return true;
  return false;
}

TRef<TIniItem> TIniItem::Copy() const {
  auto copy = MakeRef<TIniItem>(fName, fValue);
  copy->fLineCount = fLineCount;
  return copy;
}

int32_t TIniItem::ReadInteger(int32_t defaultValue) const {
  return ParseInt32(Value()).value_or(defaultValue);
}
int64_t TIniItem::ReadInt64(int64_t defaultValue) const {
  return ParseInt64(Value()).value_or(defaultValue);
}
double TIniItem::ReadReal(double defaultValue) const {
  return ParseReal(Value()).value_or(defaultValue);
}
bool TIniItem::ReadBool(bool defaultValue) const {
  return ParseBool(Value()).value_or(defaultValue);
}
uint32_t TIniItem::ReadColour(uint32_t defaultColour) const {
  return ParseColour(Value(), defaultColour);
}

// --- TIniList

size_t TIniList::TFoldHash::operator()(std::string_view s) const { return HashFolded(s); }
bool TIniList::TFoldEqual::operator()(std::string_view a, std::string_view b) const {
  return SameText(a, b);
}

void TIniList::Cleanup() {
  Clear();
  TIniItem::Cleanup();
}

void TIniList::Clear() {
  fNameIndex.clear();
  fNameIndexValid = false;
  fObjects.clear();
  // Deep trees are taken apart level by level: a list about to lose its last
  // reference hands its children to this loop instead of releasing them itself.
  std::vector<TRef<TIniItem>> pending = std::move(fChildren);
  fChildren.clear();
  while (!pending.empty()) {
    TRef<TIniItem> item = std::move(pending.back());
    pending.pop_back();
    item->fParent = nullptr;
    TIniList* list = item->AsList();
    if (list && item->RefCount() == 1) {
      list->fNameIndex.clear();
      list->fNameIndexValid = false;
      list->fObjects.clear();
      for (auto& child : list->fChildren) pending.push_back(std::move(child));
      list->fChildren.clear();
    }
  }
}

size_t TIniList::InsertPoint() const {
  for (size_t i = fChildren.size(); i > 0; --i)
    if (fChildren[i - 1]->HasName()) return i;
  return 0;
}

void TIniList::Renumber(size_t from) {
  for (size_t i = from; i < fChildren.size(); ++i) fChildren[i]->fIndex = i;
}

void TIniList::IndexChild(TIniItem& item) const {
  if (!item.HasName() || item.Name().empty()) return;
  auto [it, inserted] = fNameIndex.try_emplace(item.Name(), &item);
  if (!inserted && it->second->fIndex < item.fIndex) it->second = &item;
}

void TIniList::RebuildObjects() {
  fObjects.clear();
  for (auto& child : fChildren) {
    if (TIniObject* object = child->AsObject()) {
      object->fObjectIndex = fObjects.size();
      fObjects.push_back(object);
    }
  }
}

void TIniList::Attach(size_t index, TIniItem& item) {
  VIV_ASSERT(item.fParent == nullptr, "TIniItem is already attached");
  item.fParent = this;
  item.fIndex = index;
  if (fNameIndexValid) IndexChild(item);
  if (TIniObject* object = item.AsObject()) {
    if (fObjects.empty() || fObjects.back()->fIndex < index) {
      object->fObjectIndex = fObjects.size();
      fObjects.push_back(object);
    } else {
      RebuildObjects();
    }
  }
}

void TIniList::Append(TRef<TIniItem> item) {
  size_t index = fChildren.size();
  TIniItem& ref = *item;
  fChildren.push_back(std::move(item));
  Attach(index, ref);
}

void TIniList::Insert(size_t index, TRef<TIniItem> item) {
  index = std::min(index, fChildren.size());
  TIniItem& ref = *item;
  fChildren.insert(fChildren.begin() + static_cast<ptrdiff_t>(index), std::move(item));
  Renumber(index + 1);
  Attach(index, ref);
}

void TIniList::Remove(TIniItem& item) {
  if (item.fParent != this) return;
  TRef<TIniItem> keep(&item);
  size_t index = item.fIndex;
  fChildren.erase(fChildren.begin() + static_cast<ptrdiff_t>(index));
  item.fParent = nullptr;
  Renumber(index);
  fNameIndex.clear();
  fNameIndexValid = false;
  if (item.AsObject()) RebuildObjects();
}

void TIniList::Assign(const TIniList& other) {
  if (&other == this) return;
  // Copied level by level into a holder first: blocks nest to any depth, and
  // other may lie inside this list.
  auto holder = MakeRef<TIniList>(std::nullopt, std::nullopt);
  std::vector<std::pair<const TIniList*, TIniList*>> pending{{&other, holder.Get()}};
  while (!pending.empty()) {
    auto [source, target] = pending.back();
    pending.pop_back();
    for (auto& child : source->fChildren) {
      if (const TIniList* list = child->AsList()) {
        TRef<TIniList> empty = list->EmptyCopy();
        pending.emplace_back(list, empty.Get());
        target->Append(std::move(empty));
      } else {
        target->Append(child->Copy());
      }
    }
  }
  std::vector<TRef<TIniItem>> copies = std::move(holder->fChildren);
  holder->fChildren.clear();
  holder->fObjects.clear();
  holder->fNameIndex.clear();
  holder->fNameIndexValid = false;
  for (auto& copy : copies) copy->fParent = nullptr;
  Clear();
  for (auto& copy : copies) Append(std::move(copy));
}

bool TIniList::AssignText(std::string_view utf8Text) {
  Clear();
  if (AppendParsedLines(*this, utf8Text)) return true;
  Clear();
  return false;
}

TRef<TIniItem> TIniList::Copy() const {
  TRef<TIniList> copy = EmptyCopy();
  copy->Assign(*this);
  return copy;
}

TRef<TIniList> TIniList::EmptyCopy() const {
  return MakeRef<TIniList>(HasName() ? std::optional(Name()) : std::nullopt,
                           HasValue() ? std::optional(Value()) : std::nullopt);
}

TIniItem* TIniList::FindItem(std::string_view name, TIniClass kind) const {
  if (name.empty()) return nullptr;
  if (!fNameIndexValid) {
    fNameIndex.clear();
    fNameIndex.reserve(std::max<size_t>(16, fChildren.size()));
    for (auto& child : fChildren) IndexChild(*child);
    fNameIndexValid = true;
  }
  auto matches = [kind](TIniItem& item) {
    switch (kind) {
      case TIniClass::Any: return true;
      case TIniClass::Section: return item.AsSection() != nullptr;
      case TIniClass::Object: return item.AsObject() != nullptr;
      case TIniClass::Plain: return item.AsList() == nullptr;
    }
    return false;
  };
  auto it = fNameIndex.find(name);
  if (it == fNameIndex.end()) return nullptr;
  if (matches(*it->second)) return it->second;
  // The winner has another class: look for the latest child that has both.
  for (size_t i = it->second->fIndex; i > 0; --i) {
    TIniItem& child = *fChildren[i - 1];
    if (matches(child) && child.IsNamed(name)) return &child;
  }
  return nullptr;
}

TIniItem& TIniList::FindOrCreateItem(std::string_view name) {
  if (TIniItem* item = FindItem(name)) return *item;
  auto item = MakeRef<TIniItem>(std::string(name), std::nullopt);
  TIniItem& ref = *item;
  Insert(InsertPoint(), std::move(item));
  return ref;
}

TIniObject* TIniList::FindObject(std::string_view name) const {
  return static_cast<TIniObject*>(FindItem(name, TIniClass::Object));
}

TIniObject* TIniList::FindObject(std::string_view name, std::string_view className) const {
  for (auto it = fObjects.rbegin(); it != fObjects.rend(); ++it)
    if ((*it)->IsNamed(name) && SameText((*it)->ClassName(), className)) return *it;
  return nullptr;
}

TIniObject& TIniList::FindOrCreateObject(std::string_view name, std::string_view className) {
  TIniObject* found = className.empty() ? FindObject(name) : FindObject(name, className);
  if (found) return *found;
  auto object = MakeRef<TIniObject>(std::string(name), std::string(className));
  TIniObject& ref = *object;
  size_t at = fObjects.empty() ? InsertPoint() : fObjects.back()->fIndex + 1;
  Insert(at, std::move(object));
  return ref;
}

TIniObject* TIniList::FirstObject() const { return fObjects.empty() ? nullptr : fObjects.front(); }

TIniObject* TIniList::NextObject(const TIniObject& object) const {
  size_t next = object.fObjectIndex + 1;
  if (object.Parent() != this || next >= fObjects.size()) return nullptr;
  return fObjects[next];
}

TIniItem* TIniList::WalkPath(TIniList* list, std::string_view path, bool create) {
  for (;;) {
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) {
      if (path.empty()) return list;
      if (TIniItem* item = list->FindItem(path)) return item;
      return create ? &list->FindOrCreateItem(path) : nullptr;
    }
    std::string_view component = path.substr(0, colon);
    path.remove_prefix(colon + 1);
    TIniObject* object = component.empty() ? list->FirstObject() : list->FindObject(component);
    if (!object) {
      if (!create) return nullptr;
      object = &list->FindOrCreateObject(component);
    }
    list = object;
  }
}

TIniItem* TIniList::PathLookup(std::string_view path, bool create) {
  return WalkPath(this, path, create);
}

std::string TIniList::ReadText(std::string_view key, std::string_view defaultValue) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadText() : std::string(defaultValue);
}
int32_t TIniList::ReadInteger(std::string_view key, int32_t defaultValue) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadInteger(defaultValue) : defaultValue;
}
int64_t TIniList::ReadInt64(std::string_view key, int64_t defaultValue) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadInt64(defaultValue) : defaultValue;
}
double TIniList::ReadReal(std::string_view key, double defaultValue) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadReal(defaultValue) : defaultValue;
}
bool TIniList::ReadBool(std::string_view key, bool defaultValue) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadBool(defaultValue) : defaultValue;
}
uint32_t TIniList::ReadColour(std::string_view key, uint32_t defaultColour) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadColour(defaultColour) : defaultColour;
}
TCommaList TIniList::ReadList(std::string_view key, char separator) const {
  TIniItem* item = FindItem(key);
  return item ? item->ReadList(separator) : TCommaList();
}
int TIniList::ReadIndex(std::string_view key, const std::vector<std::string_view>& candidates,
                        int defaultValue) const {
  TIniItem* item = FindItem(key);
  if (!item) return defaultValue;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (SameText(item->Value(), candidates[i])) return static_cast<int>(i);
  return defaultValue;
}

void TIniList::WriteText(std::string_view key, std::string value) {
  FindOrCreateItem(key).SetValue(std::move(value));
}
void TIniList::WriteInteger(std::string_view key, int64_t value) {
  WriteText(key, std::to_string(value));
}
void TIniList::WriteBool(std::string_view key, bool value) { WriteText(key, value ? "1" : "0"); }

// --- TIniObject, TIniSection

TRef<TIniList> TIniObject::EmptyCopy() const { return MakeRef<TIniObject>(Name(), ClassName()); }

TRef<TIniList> TIniSection::EmptyCopy() const { return MakeRef<TIniSection>(Name()); }

// --- TIniFile

std::string DecodeProjectBytes(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return Utf16LEBytesToUtf8(bytes.substr(2));
  return AnsiToUtf8(bytes);
}

void TIniFile::Cleanup() {
  Clear();
  TIniSection::Cleanup();
}

void TIniFile::Clear() {
  TIniList::Clear();
  fSectionIndex.clear();
  auto sections = std::move(fSections);
  fSections.clear();
  for (auto& section : sections) {
    section->fParent = nullptr;
    section->Clear();
  }
}

TRef<TIniItem> TIniFile::Copy() const {
  auto copy = MakeRef<TIniFile>();
  copy->Assign(*this);
  // Not FindOrCreateSection: an empty section name would find the copy itself.
  for (auto& section : fSections) copy->SectionForHeader(section->Name()).Assign(*section);
  return copy;
}

bool TIniFile::LoadFromStream(TStream& stream) {
  Clear();
  std::string bytes;
  int64_t remaining = -1;
  try {
    remaining = stream.GetSize() - stream.GetPosition();
  } catch (const EStreamError&) {
    remaining = -1;  // a forward-only stream; ReadRest enforces the limit
  }
  if (remaining >= kMaxTextSize) return false;
  try {
    bytes = stream.ReadRest(kMaxTextSize - 1);
  } catch (const TCommonException&) {
    return false;
  }
  return LoadFromText(DecodeProjectBytes(bytes));
}

bool TIniFile::LoadFromFile(const std::string& path) {
  auto stream = TFileStream::Open(path, TFileMode::Read);
  if (!stream) return false;
  return LoadFromStream(*stream);
}

bool TIniFile::LoadFromText(std::string_view utf8Text) {
  Clear();
  if (AppendParsedLines(*this, utf8Text)) return true;
  Clear();
  return false;
}

bool TIniFile::LoadFromEscaped(std::string_view escaped) {
  return LoadFromText(DecodeEscaped(escaped));
}

void TIniFile::Write(TIniWriter& writer) const {
  writer.WriteChildren(*this, 0);
  for (auto& section : fSections) {
    writer.Line(0, "[" + section->Name() + "]");
    writer.WriteChildren(*section, 0);
  }
}

std::string TIniFile::SaveToText() const {
  TIniWriter writer(false);
  Write(writer);
  return writer.Take();
}

std::string TIniFile::SaveToEscaped() const {
  TIniWriter writer(true);
  Write(writer);
  return writer.Take();
}

void TIniFile::SaveToStream(TStream& stream, bool byteOrderMark) const {
  if (byteOrderMark) stream.WriteText("\xEF\xBB\xBF");
  TIniWriter writer(false, &stream);
  Write(writer);
  writer.Flush();
}

TIniSection* TIniFile::FindSection(std::string_view name) const {
  if (name.empty()) return const_cast<TIniFile*>(this);
  auto it = fSectionIndex.find(name);
  return it == fSectionIndex.end() ? nullptr : it->second;
}

TIniSection& TIniFile::SectionForHeader(std::string_view name) {
  if (!name.empty()) {
    if (auto it = fSectionIndex.find(name); it != fSectionIndex.end()) return *it->second;
  }
  auto section = MakeRef<TIniSection>(std::string(name));
  TIniSection& ref = *section;
  section->fParent = this;
  section->fIndex = fSections.size();
  fSections.push_back(std::move(section));
  if (!name.empty()) fSectionIndex.emplace(ref.Name(), &ref);
  return ref;
}

TIniSection& TIniFile::FindOrCreateSection(std::string_view name) {
  if (TIniSection* section = FindSection(name)) return *section;
  TIniSection& section = SectionForHeader(name);
  section.Append(MakeRef<TIniItem>(std::nullopt, std::nullopt));
  return section;
}

TIniItem* TIniFile::PathLookup(std::string_view path, bool create) {
  size_t colon = path.find(':');
  if (colon == std::string_view::npos) return WalkPath(this, path, create);
  std::string_view sectionName = path.substr(0, colon);
  TIniSection* section = FindSection(sectionName);
  if (!section) {
    if (!create) return nullptr;
    section = &FindOrCreateSection(sectionName);
  }
  return WalkPath(section, path.substr(colon + 1), create);
}

std::string TIniFile::ReadText(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  TIniSection* s = FindSection(section);
  return s ? s->TIniList::ReadText(key, defaultValue) : std::string(defaultValue);
}
int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
  TIniSection* s = FindSection(section);
  return s ? s->TIniList::ReadInteger(key, defaultValue) : defaultValue;
}
double TIniFile::ReadReal(std::string_view section, std::string_view key,
                          double defaultValue) const {
  TIniSection* s = FindSection(section);
  return s ? s->TIniList::ReadReal(key, defaultValue) : defaultValue;
}
bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  TIniSection* s = FindSection(section);
  return s ? s->TIniList::ReadBool(key, defaultValue) : defaultValue;
}
void TIniFile::WriteText(std::string_view section, std::string_view key, std::string value) {
  FindOrCreateSection(section).TIniList::WriteText(key, std::move(value));
}

}  // namespace viv
