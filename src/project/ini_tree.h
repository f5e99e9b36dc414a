// The document tree of the project text: items, lists, object blocks,
// sections and the document, with case-insensitive lookups.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/ref_object.h"
#include "base/stream.h"
#include "project/value_syntax.h"

namespace viv {

class TIniList;
class TIniObject;
class TIniSection;
class TIniFile;
class TIniWriter;

// A line of the document: a named item (key and value), or an unnamed one
// (blank line, comment, stray line; its text is held as the value). Name and
// value may each be absent, which differs from empty only for the writer.
class TIniItem : public TRefObject {
 public:
  TIniItem(std::optional<std::string> name, std::optional<std::string> value)
      : fName(std::move(name)), fValue(std::move(value)) {}

  bool HasName() const { return fName.has_value(); }
  const std::string& Name() const { return fName ? *fName : Empty(); }
  bool HasValue() const { return fValue.has_value(); }
  const std::string& Value() const { return fValue ? *fValue : Empty(); }
  void SetValue(std::string value) { fValue = std::move(value); }
  void ClearValue() { fValue.reset(); }

  // The lines this item stands for in the text: a run of blank lines is held
  // as one item, so that documents of empty lines stay small.
  size_t LineCount() const { return fLineCount; }

  TIniList* Parent() const { return fParent; }
  size_t Index() const { return fIndex; }
  bool IsNamed(std::string_view name) const;
  bool IsAncestor(const TIniList& list) const;

  virtual TIniList* AsList() { return nullptr; }
  virtual TIniObject* AsObject() { return nullptr; }
  virtual TIniSection* AsSection() { return nullptr; }
  // A deep copy, detached from any parent.
  virtual TRef<TIniItem> Copy() const;

  // Readers of the value; an absent value reads as empty text.
  std::string ReadText() const { return Value(); }
  int32_t ReadInteger(int32_t defaultValue) const;
  int64_t ReadInt64(int64_t defaultValue) const;
  double ReadReal(double defaultValue) const;
  bool ReadBool(bool defaultValue) const;
  uint32_t ReadColour(uint32_t defaultColour) const;
  TCommaList ReadList(char separator = ',') const { return TCommaList(Value(), separator); }

 protected:
  static const std::string& Empty();

 private:
  friend class TIniList;
  friend class TIniFile;
  friend bool AppendParsedLines(TIniList& top, std::string_view text);
  std::optional<std::string> fName;
  std::optional<std::string> fValue;
  TIniList* fParent = nullptr;
  size_t fIndex = 0;
  size_t fLineCount = 1;
};

enum class TIniClass { Any, Section, Object, Plain };

// A list of children in file order, with a hash index of the named ones that
// is built on the first lookup. When a name occurs twice the later child wins.
class TIniList : public TIniItem {
 public:
  using TIniItem::TIniItem;

  TIniList* AsList() override { return this; }
  // A deep copy, made without recursion.
  TRef<TIniItem> Copy() const override;
  // The same kind of list with the same name and value, without children.
  virtual TRef<TIniList> EmptyCopy() const;

  size_t Count() const { return fChildren.size(); }
  TIniItem& Child(size_t index) const { return *fChildren[index]; }
  const std::vector<TRef<TIniItem>>& Children() const { return fChildren; }

  // The index just after the last named child; created items go there.
  size_t InsertPoint() const;

  void Append(TRef<TIniItem> item);
  void Insert(size_t index, TRef<TIniItem> item);
  void Remove(TIniItem& item);
  virtual void Clear();
  // Replaces the children by copies of other's.
  void Assign(const TIniList& other);
  // Replaces the children by the lines of text, parsed as a block. False (and
  // no children) when the tree would pass the document memory bound.
  bool AssignText(std::string_view utf8Text);

  // The named child with that name (later one wins); an empty name finds nothing.
  TIniItem* FindItem(std::string_view name, TIniClass kind = TIniClass::Any) const;
  TIniItem& FindOrCreateItem(std::string_view name);
  TIniObject* FindObject(std::string_view name) const;
  TIniObject* FindObject(std::string_view name, std::string_view className) const;
  TIniObject& FindOrCreateObject(std::string_view name, std::string_view className = {});
  TIniObject* FirstObject() const;
  TIniObject* NextObject(const TIniObject& object) const;
  const std::vector<TIniObject*>& Objects() const { return fObjects; }

  // Walks a ":"-separated path, creating what is missing (unless create is
  // false, when a missing node gives none). See the document's override for
  // the first component.
  virtual TIniItem* PathLookup(std::string_view path, bool create = true);

  // Readers by key; a missing key gives the default.
  std::string ReadText(std::string_view key, std::string_view defaultValue = {}) const;
  int32_t ReadInteger(std::string_view key, int32_t defaultValue) const;
  int64_t ReadInt64(std::string_view key, int64_t defaultValue) const;
  double ReadReal(std::string_view key, double defaultValue) const;
  bool ReadBool(std::string_view key, bool defaultValue) const;
  uint32_t ReadColour(std::string_view key, uint32_t defaultColour) const;
  TCommaList ReadList(std::string_view key, char separator = ',') const;
  // The index of the first candidate the value equals case-insensitively.
  int ReadIndex(std::string_view key, const std::vector<std::string_view>& candidates,
                int defaultValue) const;

  void WriteText(std::string_view key, std::string value);
  void WriteInteger(std::string_view key, int64_t value);
  void WriteBool(std::string_view key, bool value);

 protected:
  void Cleanup() override;
  TIniItem* WalkPath(TIniList* list, std::string_view path, bool create);

 private:
  friend class TIniFile;
  friend bool AppendParsedLines(TIniList& top, std::string_view text);

  struct TFoldHash {
    size_t operator()(std::string_view s) const;
  };
  struct TFoldEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };

  void Attach(size_t index, TIniItem& item);
  void Renumber(size_t from);
  void IndexChild(TIniItem& item) const;
  void RebuildObjects();

  std::vector<TRef<TIniItem>> fChildren;
  std::vector<TIniObject*> fObjects;  // object blocks in file order
  // Named children by folded name, holding the one with the highest index.
  mutable std::unordered_map<std::string_view, TIniItem*, TFoldHash, TFoldEqual> fNameIndex;
  mutable bool fNameIndexValid = false;
};

// An object block: name = object name, value = class name.
class TIniObject : public TIniList {
 public:
  TIniObject(std::string name, std::string className)
      : TIniList(std::move(name), std::move(className)) {}
  TIniObject* AsObject() override { return this; }
  TRef<TIniList> EmptyCopy() const override;
  const std::string& ClassName() const { return Value(); }
  // Position in the parent's object index.
  size_t ObjectIndex() const { return fObjectIndex; }

 private:
  friend class TIniList;
  size_t fObjectIndex = 0;
};

class TIniSection : public TIniList {
 public:
  explicit TIniSection(std::string name) : TIniList(std::move(name), std::nullopt) {}
  TIniSection* AsSection() override { return this; }
  TRef<TIniList> EmptyCopy() const override;
};

// The document: its own children are the lines before the first section
// header; its sections follow in file order.
class TIniFile : public TIniSection {
 public:
  static constexpr int64_t kMaxTextSize = 134217728;  // 128 MiB and more are refused
  // A parsed tree may take this many bytes per byte of text, plus a small
  // allowance; a text whose tree would take more is refused like an
  // unreadable one (a few KB of packed blank lines must not become gigabytes).
  static constexpr size_t kTreeBytesPerTextByte = 32;
  static constexpr size_t kTreeAllowance = 64 * 1024;
  static size_t MaxTreeBytes(size_t textSize) {
    return kTreeBytesPerTextByte * textSize + kTreeAllowance;
  }

  TIniFile() : TIniSection(std::string()) {}
  TRef<TIniItem> Copy() const override;

  // Reads the whole stream (byte-order mark rules) and parses it. False when
  // the stream cannot be read or the text or its tree is too large; the
  // document is then empty.
  bool LoadFromStream(TStream& stream);
  bool LoadFromFile(const std::string& path);
  // Parses text that is already UTF-8; false (and empty) past the tree bound.
  bool LoadFromText(std::string_view utf8Text);
  bool LoadFromEscaped(std::string_view escaped);
  void SaveToStream(TStream& stream, bool byteOrderMark = true) const;
  std::string SaveToText() const;
  std::string SaveToEscaped() const;

  void Clear() override;
  size_t SectionCount() const { return fSections.size(); }
  TIniSection& Section(size_t index) const { return *fSections[index]; }
  // An empty name yields the document itself.
  TIniSection* FindSection(std::string_view name) const;
  TIniSection& FindOrCreateSection(std::string_view name);

  TIniItem* PathLookup(std::string_view path, bool create = true) override;

  // Readers of the document's own keys stay available beside the section readers.
  // Not ReadText: ReadText(key, default) and ReadText(section, key) take the
  // same arguments; the document's own keys are ReadText("", key).
  using TIniList::ReadBool;
  using TIniList::ReadInteger;
  using TIniList::ReadReal;
  using TIniList::WriteText;
  std::string ReadText(std::string_view section, std::string_view key,
                       std::string_view defaultValue = {}) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  double ReadReal(std::string_view section, std::string_view key, double defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  void WriteText(std::string_view section, std::string_view key, std::string value);

  void Write(TIniWriter& writer) const;

 protected:
  void Cleanup() override;

 private:
  friend bool AppendParsedLines(TIniList& top, std::string_view text);
  // Section headers continue an earlier section of the same name.
  TIniSection& SectionForHeader(std::string_view name);

  std::vector<TRef<TIniSection>> fSections;
  std::unordered_map<std::string_view, TIniSection*, TFoldHash, TFoldEqual> fSectionIndex;
};

// Decodes the bytes of a project text into UTF-8: a UTF-8 byte-order mark is
// dropped, UTF-16 LE (FF FE) converted, anything else read as the ANSI code page.
std::string DecodeProjectBytes(std::string_view bytes);

}  // namespace viv
