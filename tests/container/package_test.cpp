// The package reader against packages built byte by byte and by the writer:
// trailers, integrity checks, section names, pack methods and hostile input.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/inflate_stream.h"
#include "base/stream.h"
#include "container/package_format.h"
#include "container/package_writer.h"
#include "container/viv_unpack.h"
#include "container_test_support.h"

namespace viv {
namespace {

using test::DirectoryText;
using test::Int64Bytes;
using test::ReadAll;
using test::TRawPackage;
using test::TScratchFolder;

constexpr const char* kModified = "Slide-show File Modified";
constexpr const char* kDamaged = "Slide-show File Damaged";
constexpr const char* kInsufficient = "Insufficient Source Size";

std::string Pattern(size_t size, unsigned seed) {
  std::string data(size, '\0');
  std::mt19937 random(seed);
  for (auto& c : data) c = static_cast<char>(random());
  return data;
}

TRef<TVivUnpack> OpenBytes(const TScratchFolder& folder, std::string_view bytes) {
  return MakeRef<TVivUnpack>(folder.Write("package.vxshow", bytes));
}

std::string EntryBytes(const TVivUnpack& package, std::string_view name) {
  auto entry = package.FindEntry(name);
  if (!entry) return "(not found)";
  return ReadAll(*package.OpenEntryStream(*entry));
}

template <class Exception>
std::string MessageOf(auto&& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

// --- trailer

TEST(PackageTrailer, LocatesBothForms) {
  const std::string zeros(8, '\0');
  struct TCase {
    const char* Name;
    std::string Bytes;
    bool Found;
    int64_t End, Base;
  } cases[] = {
      {"short form", zeros + ".dne", true, 12, 0},
      {"long form from the start", zeros + ".dne" + Int64Bytes(12), true, 12, 0},
      {"long form after 5 bytes", "12345" + zeros + ".dne" + Int64Bytes(12), true, 17, 5},
      {"short form is tested first", zeros + ".dne" + "abcd" + ".dne", true, 20, 0},
      {"no magic", "no trailer in this text at all", false, 0, 0},
      {"magic too far from the end", ".dne" + std::string(20, '\0'), false, 0, 0},
      {"shorter than a short trailer", std::string(7, '\0') + ".dne", false, 0, 0},
      {"empty", "", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStream stream(c.Bytes);
    auto trailer = TVivUnpack::LocateTrailer(stream);
    ASSERT_EQ(trailer.has_value(), c.Found);
    if (!trailer) continue;
    EXPECT_EQ(trailer->End, c.End);
    EXPECT_EQ(trailer->Base, c.Base);
  }
}

TEST(PackageTrailer, PositionsCountFromTheBase) {
  struct TCase {
    bool LongTrailer;
    size_t PrefixSize;
  } cases[] = {{false, 0}, {true, 0}, {true, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "long " << c.LongTrailer << " prefix " << c.PrefixSize);
    TScratchFolder folder;
    TRawPackage raw;
    raw.Prefix = std::string(c.PrefixSize, 'p');
    raw.Data = "0123456789";
    raw.LongTrailer = c.LongTrailer;
    // Written as produced at base 0 and allowed to move, as the packer does.
    raw.Directory =
        DirectoryText({"[a]", "_ps=2", "_sz=3", "[$protection$]", "strucpos=10", "allowmodify=1"});
    std::string bytes = raw.Bytes();
    auto package = OpenBytes(folder, bytes);
    ASSERT_TRUE(package->IsOpen()) << package->ErrorText();
    EXPECT_EQ(package->Base(), static_cast<int64_t>(c.PrefixSize));
    EXPECT_EQ(package->PackageEnd(), static_cast<int64_t>(bytes.size()) - (c.LongTrailer ? 8 : 0));
    EXPECT_EQ(package->DirectoryPosition(), static_cast<int64_t>(c.PrefixSize) + 10);
    EXPECT_EQ(package->EntryDelta(), static_cast<int64_t>(c.PrefixSize));
    EXPECT_EQ(package->FindEntry("a")->Position, static_cast<int64_t>(c.PrefixSize) + 2);
    EXPECT_EQ(EntryBytes(*package, "a"), "234");
  }
}

// --- "$protection$": strucpos, allowmodify and the entry delta

TEST(PackageProtection, MovedDirectoriesNeedPermission) {
  // Data is 10 bytes, so the directory sits at prefix + 10; the entry "a"
  // holds the bytes "234" at relative position 2.
  struct TCase {
    size_t Prefix;
    std::vector<std::string> Protection;
    const char* Error;  // empty: opens
    int64_t Delta;
  } cases[] = {
      {0, {"strucpos=10"}, "", 0},
      {0, {"strucpos=10", "allowmodify=0"}, "", 0},
      {0, {"strucpos=10", "allowmodify=1"}, "", 0},
      {0, {}, "", 0},
      // Compared as text first: "010" differs from "10".
      {0, {"strucpos=010"}, kModified, 0},
      {0, {"strucpos=010", "allowmodify=1"}, "", 0},
      {1000, {"strucpos=10"}, kModified, 0},
      {1000, {"strucpos=10", "allowmodify=0"}, kModified, 0},
      {1000, {"strucpos=10", "allowmodify=yes"}, kModified, 0},
      {1000, {"strucpos=10", "allowmodify=1"}, "", 1000},
      {1000, {"strucpos=abc", "allowmodify=1"}, kDamaged, 0},
      {0, {"strucpos=11", "allowmodify=1"}, kDamaged, 0},
      // 10 - (-2^63) and 10 - (-2^63 + 9) do not fit in 64 bits.
      {0, {"strucpos=-9223372036854775808", "allowmodify=1"}, kDamaged, 0},
      {0, {"strucpos=-9223372036854775799", "allowmodify=1"}, kDamaged, 0},
  };
  for (const auto& c : cases) {
    std::string lines;
    for (const auto& line : c.Protection) lines += line + " ";
    SCOPED_TRACE(testing::Message() << "prefix " << c.Prefix << ": " << lines);
    TScratchFolder folder;
    TRawPackage raw;
    raw.Prefix = std::string(c.Prefix, 'p');
    raw.Data = "0123456789";
    raw.LongTrailer = true;
    raw.Directory = DirectoryText({"[a]", "_ps=2", "_sz=3", "[$protection$]", "vivversion=5.7"});
    for (const auto& line : c.Protection) raw.Directory += line + "\r\n";
    auto package = OpenBytes(folder, raw.Bytes());
    EXPECT_EQ(package->ErrorText(), c.Error);
    ASSERT_EQ(package->IsOpen(), std::string(c.Error).empty());
    if (!package->IsOpen()) continue;
    EXPECT_EQ(package->Version(), "5.7");
    EXPECT_EQ(package->EntryDelta(), c.Delta);
    EXPECT_EQ(package->FindEntry("a")->Position, static_cast<int64_t>(c.Prefix) + 2);
    EXPECT_EQ(EntryBytes(*package, "a"), "234");
  }
}

TEST(PackageProtection, WithoutProtectionSectionOpensUnversioned) {
  TScratchFolder folder;
  TRawPackage raw;
  raw.Data = "xyz";
  raw.Directory = DirectoryText({"[a]", "_ps=0", "_sz=3"});
  auto package = OpenBytes(folder, raw.Bytes());
  ASSERT_TRUE(package->IsOpen());
  EXPECT_EQ(package->Version(), "");
  EXPECT_EQ(EntryBytes(*package, "a"), "xyz");
}

TEST(PackageProtection, AppendedAfter1000BytesOpensOnlyWhenAllowed) {
  TScratchFolder folder;
  std::vector<TPackSource> sources = {
      {"Project.viv", "", std::string("[Main]\r\nVivVersion=5.6\r\n"), TPackMethod::Deflated},
      {"a.bin", "", Pattern(3000, 1), TPackMethod::Stored},
      {"b.bin", "", Pattern(700, 2), TPackMethod::Scrambled},
  };
  struct TCase {
    std::optional<bool> AllowModify;
    bool Opens;
  } cases[] = {{std::nullopt, false}, {false, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.AllowModify ? (*c.AllowModify ? "allowmodify 1" : "allowmodify 0")
                               : "no allowmodify");
    TPackOptions options;
    options.LongTrailer = true;
    options.AllowModify = c.AllowModify;
    std::string original = folder / "original.vxshow";
    WritePackage(original, sources, options);
    auto unmoved = MakeRef<TVivUnpack>(original);
    ASSERT_TRUE(unmoved->IsOpen());

    std::string moved = folder.Write("moved.vxshow", Pattern(1000, 3) + ReadFileBytes(original));
    auto package = MakeRef<TVivUnpack>(moved);
    ASSERT_EQ(package->IsOpen(), c.Opens);
    if (!c.Opens) {
      EXPECT_EQ(package->ErrorText(), kModified);
      continue;
    }
    EXPECT_EQ(package->Base(), 1000);
    EXPECT_EQ(package->EntryDelta(), 1000);
    for (const auto& source : sources) {
      SCOPED_TRACE(source.EntryName);
      EXPECT_EQ(package->FindEntry(source.EntryName)->Position,
                unmoved->FindEntry(source.EntryName)->Position + 1000);
      EXPECT_EQ(EntryBytes(*package, source.EntryName), *source.Bytes);
    }
  }
}

// --- section names and lookup

TEST(EntryKey, MakesSectionNames) {
  struct TCase {
    std::string Name;
    std::string Key;
  } cases[] = {
      {"plain.txt", "plain.txt"},
      {"x[1]", "x<1>"},
      {"Pictures\\Beach [2019].jpg", "Pictures\\Beach <2019>.jpg"},
      {"a]b[", "a>b<"},
      // The characters before the first control character appear twice, as
      // many of them as there are control characters.
      {"ab\r\ncd", "abab#0D#0Acd"},
      {"abc\x01"
       "d\x02"
       "e",
       "abcbc#01d#02e"},
      {"xy\x1f[z]", "xyy#1F<z>"},
      // Positions count characters, not bytes.
      {"\xC3\xA9\xC3\xBC\tz", "\xC3\xA9\xC3\xBC\xC3\xBC#09z"},
      // Nothing stands before it to repeat.
      {"\x01"
       "abc",
       "#01abc"},
      // Fewer characters before it than control characters: those there are.
      {"a\r\n", "aa#0D#0A"},
      {"ab\x7f", "ab\x7f"},
  };
  for (const auto& c : cases) EXPECT_EQ(EntryKey(c.Name), c.Key) << testing::PrintToString(c.Name);
}

TEST(PackageLookup, FindsSectionsByEntryNameIgnoringCase) {
  TScratchFolder folder;
  TRawPackage raw;
  raw.Data = "0123456789";
  raw.Directory = DirectoryText({
      "[x<1>]",
      "_ps=0",
      "_sz=1",
      "[PICTURES\\BEACH.JPG]",
      "_ps=1",
      "_sz=1",
      "[\xC3\x84RGER.TXT]",
      "_ps=2",
      "_sz=1",  // "ÄRGER.TXT"
      "[abab#0D#0Acd]",
      "_ps=3",
      "_sz=1",
      "[no position]",
      "_sz=1",
      "[no size]",
      "_ps=4",
  });
  auto package = OpenBytes(folder, raw.Bytes());
  ASSERT_TRUE(package->IsOpen());
  struct TCase {
    std::string Name;
    std::string Bytes;
  } cases[] = {
      {"x[1]", "0"},
      {"X[1]", "0"},
      {"x<1>", "0"},
      {"pictures\\beach.jpg", "1"},
      {"Pictures\\Beach.JPG", "1"},
      {"\xC3\xA4rger.txt", "2"},  // "ärger.txt"
      {"ab\r\ncd", "3"},
      {"AB\r\nCD", "3"},
      {"no position", "(not found)"},
      {"no size", "(not found)"},
      {"pictures/beach.jpg", "(not found)"},
      {"", "(not found)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EntryBytes(*package, c.Name), c.Bytes) << testing::PrintToString(c.Name);
}

// --- pack methods

TEST(PackMethods, UnknownAndMissingMethodsReadAsStored) {
  TScratchFolder folder;
  struct TCase {
    const char* MethodLine;  // none: no "_pm"
    std::string Stored;
    std::string Read;
    TPackMethod Method;
  } cases[] = {
      {nullptr, "raw!", "raw!", TPackMethod::Stored},
      {"_pm=0", "raw!", "raw!", TPackMethod::Stored},
      {"_pm=1", DeflateRaw("hello, deflated"), "hello, deflated", TPackMethod::Deflated},
      // Zero bytes scrambled read as the key itself.
      {"_pm=2", std::string(6, '\0'), "6F3B0D", TPackMethod::Scrambled},
      {"_pm=5", "raw!", "raw!", TPackMethod::Stored},
      {"_pm=-1", "raw!", "raw!", TPackMethod::Stored},
      {"_pm=abc", "raw!", "raw!", TPackMethod::Stored},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.MethodLine ? c.MethodLine : "no _pm");
    TRawPackage raw;
    raw.Data = "lead" + c.Stored;
    raw.Directory = DirectoryText({"[e]", "_ps=4", "_sz=" + std::to_string(c.Stored.size())});
    if (c.MethodLine) raw.Directory += std::string(c.MethodLine) + "\r\n";
    auto package = OpenBytes(folder, raw.Bytes());
    ASSERT_TRUE(package->IsOpen());
    EXPECT_EQ(package->FindEntry("e")->Method, c.Method);
    EXPECT_EQ(EntryBytes(*package, "e"), c.Read);
  }
}

TEST(PackMethods, ScrambleKeyCountsFromTheEntryStart) {
  // 64 zero bytes scrambled after a 7-byte entry: what reads back is the key,
  // "6F3B0D92A4E1C8577B2E90D4C1A63F58" twice, wherever the entry starts.
  TScratchFolder folder;
  TRawPackage raw;
  raw.Data = "seven!!" + std::string(64, '\0');
  raw.Directory = DirectoryText({"[s]", "_ps=7", "_sz=64", "_pm=2"});
  auto package = OpenBytes(folder, raw.Bytes());
  ASSERT_TRUE(package->IsOpen());
  auto stream = package->OpenEntryStream(*package->FindEntry("s"));
  struct TCase {
    int64_t Offset;
    size_t Count;
    std::string Expected;
  } cases[] = {
      {40, 8, "A4E1C857"},  // key byte 40 mod 32 = 8 first
      {0, 4, "6F3B"},
      {30, 4, "586F"},  // wraps to key byte 0
      {60, 8, "3F58"},  // ends with the entry
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Offset);
    stream->SetPosition(c.Offset);
    std::string buffer(c.Count, '?');
    buffer.resize(stream->Read(buffer.data(), buffer.size()));
    EXPECT_EQ(buffer, c.Expected);
  }
}

// --- the writer and the reader agree on every form

TEST(PackageRoundTrip, EveryWriterFormReadsBack) {
  std::vector<TPackSource> sources = {
      {"Project.viv", "", std::string("[Main]\r\nVivVersion=5.6\r\n"), TPackMethod::Deflated},
      {"Pictures\\Beach [2019].jpg", "", Pattern(40000, 1), TPackMethod::Stored},
      {"Music\\song.mp3", "", Pattern(33000, 2), TPackMethod::Scrambled},
      {"Text\\repeated.txt", "", std::string(50000, 'r'), TPackMethod::Deflated},
      {"empty stored", "", std::string(), TPackMethod::Stored},
      {"empty deflated", "", std::string(), TPackMethod::Deflated},
      {"line\r\nbreak", "", std::string("control"), TPackMethod::Stored},
      {"..\\..\\outside.txt", "", std::string("just a name"), TPackMethod::Scrambled},
  };
  struct TCase {
    bool LongTrailer;
    int64_t Offset;
    std::optional<bool> AllowModify;
    const char* Version;
    const char* Error;  // empty: opens
  } cases[] = {
      {false, 0, std::nullopt, "5.6", ""},
      {false, 0, true, "", ""},
      {true, 0, std::nullopt, "5.7", ""},
      {true, 0, false, "5.7", ""},
      {true, 0, true, "5.7", ""},
      {true, 1000, true, "6.0", ""},
      {true, 1000, false, "6.0", kModified},
      {true, 1000, std::nullopt, "6.0", kModified},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "long " << c.LongTrailer << " offset " << c.Offset << " allowmodify "
                 << (c.AllowModify ? int(*c.AllowModify) : -1));
    TScratchFolder folder;
    TPackOptions options;
    options.LongTrailer = c.LongTrailer;
    options.Offset = c.Offset;
    options.AllowModify = c.AllowModify;
    options.Version = c.Version;
    std::string path = folder / "show.vxshow";
    TPackResult written = WritePackage(path, sources, options);

    auto package = MakeRef<TVivUnpack>(path);
    EXPECT_EQ(package->ErrorText(), c.Error);
    ASSERT_EQ(package->IsOpen(), std::string(c.Error).empty());
    if (!package->IsOpen()) continue;
    EXPECT_EQ(package->Version(), c.Version);
    EXPECT_EQ(package->Base(), c.Offset);
    EXPECT_EQ(package->EntryDelta(), c.Offset);
    EXPECT_EQ(package->DirectoryPosition(), written.DirectoryPosition);
    EXPECT_EQ(package->PackageEnd(), written.End);
    // Entries lie one after another from the base.
    int64_t next = c.Offset;
    for (const auto& source : sources) {
      SCOPED_TRACE(testing::PrintToString(source.EntryName));
      auto entry = package->FindEntry(source.EntryName);
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->Position, next);
      EXPECT_EQ(entry->Method, source.Method);
      if (source.Method != TPackMethod::Deflated) {
        EXPECT_EQ(entry->Size, ssize(*source.Bytes));
      }
      next = entry->Position + entry->Size;
      EXPECT_EQ(ReadAll(*package->OpenEntryStream(*entry)), *source.Bytes);
    }
    EXPECT_EQ(next, written.DirectoryPosition);
  }
}

TEST(PackageRoundTrip, WriterRefusesWhatTheReaderCouldNotTellApart) {
  TScratchFolder folder;
  std::string path = folder / "show.vxshow";
  // "x[1]" and "X<1>" share a section name ignoring case.
  std::vector<TPackSource> clash = {{"x[1]", "", std::string("a"), TPackMethod::Stored},
                                    {"X<1>", "", std::string("b"), TPackMethod::Stored}};
  EXPECT_THROW(WritePackage(path, clash, {}), TCommonException);
  std::vector<TPackSource> protection = {
      {"$PROTECTION$", "", std::string("a"), TPackMethod::Stored}};
  EXPECT_THROW(WritePackage(path, protection, {}), TCommonException);
  TPackOptions shortWithOffset;
  shortWithOffset.Offset = 10;
  EXPECT_THROW(WritePackage(path, {}, shortWithOffset), TCommonException);
  // The directory parser trims section names, so these could never be found.
  for (const char* name : {" a", "a ", "Text\\trail ", ""}) {
    SCOPED_TRACE(testing::PrintToString(name));
    std::vector<TPackSource> blank = {{name, "", std::string("a"), TPackMethod::Stored}};
    EXPECT_THROW(WritePackage(path, blank, {}), TCommonException);
  }
  // The version is written as it is; a line break would add lines of its own.
  for (const char* version : {"5.6\r\n[x]\r\n_ps=0", "5\t6", "5\x7F"}) {
    SCOPED_TRACE(testing::PrintToString(version));
    TPackOptions options;
    options.Version = version;
    EXPECT_THROW(WritePackage(path, {}, options), TCommonException);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PackageRoundTrip, AFailedWriteLeavesTheEarlierFileAlone) {
  TScratchFolder folder;
  std::string path = folder.Write("show.vxshow", "earlier package");
  std::vector<TPackSource> sources = {
      {"Project.viv", "", std::string("[Main]\r\n"), TPackMethod::Deflated},
      {"a.jpg", folder / "missing.jpg", std::nullopt, TPackMethod::Stored}};
  EXPECT_THROW(WritePackage(path, sources, {}), TCommonException);
  EXPECT_EQ(ReadFileBytes(path), "earlier package");

  // A complete package takes the name; no temporary file stays beside it.
  sources.pop_back();
  WritePackage(path, sources, {});
  EXPECT_TRUE(MakeRef<TVivUnpack>(path)->IsOpen());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"show.vxshow"});
}

// --- hostile packages

TEST(PackageBadInput, BrokenTrailersAndDirectoriesDoNotOpen) {
  const std::string zeros(8, '\0');
  std::string truncated = DeflateRaw(DirectoryText({"[a]", "_ps=0", "_sz=1"}));
  truncated.resize(truncated.size() / 2);
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* Error;
  } cases[] = {
      {"empty file", "", ""},
      {"three bytes", "abc", ""},
      {"only the magic", ".dne", ""},
      {"eleven bytes ending in the magic", std::string(7, '\0') + ".dne", ""},
      {"no trailer", std::string(100, 'x'), ""},
      // A trailer with nothing to inflate before it.
      {"twelve bytes", zeros + ".dne", "unexpected end of compressed data"},
      {"directory position beyond the file", "data" + Int64Bytes(int64_t{1} << 40) + ".dne",
       kDamaged},
      {"negative directory position", "data" + Int64Bytes(-1) + ".dne", kDamaged},
      {"package length beyond the file", "data" + Int64Bytes(0) + ".dne" + Int64Bytes(1 << 20),
       kDamaged},
      {"negative package length", "data" + Int64Bytes(0) + ".dne" + Int64Bytes(-20), kDamaged},
      // 0xFF: a final block of the reserved type 3.
      {"directory that does not inflate", "\xFF\xFF\xFF\xFF" + Int64Bytes(0) + ".dne",
       "invalid block type"},
      {"truncated directory", truncated + Int64Bytes(0) + ".dne",
       "unexpected end of compressed data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratchFolder folder;
    auto package = OpenBytes(folder, c.Bytes);
    EXPECT_FALSE(package->IsOpen());
    EXPECT_EQ(package->ErrorText(), c.Error);
    EXPECT_FALSE(package->FindEntry("a"));
    EXPECT_FALSE(ProbeShowFile(folder / "package.vxshow"));
  }
}

TEST(PackageBadInput, MissingFileIsNotFound) {
  TScratchFolder folder;
  auto package = MakeRef<TVivUnpack>(folder / "absent.vxshow");
  EXPECT_FALSE(package->IsOpen());
  EXPECT_EQ(package->ErrorText(), "Slideshow File not Found");
}

TEST(PackageBadInput, BadEntryFieldsAreAbsentOrFailWhenOpened) {
  // The package data is "0123456789" (10 bytes).
  struct TCase {
    std::vector<std::string> Lines;
    bool Found;
    const char* OpenError;  // empty: reads "234"
  } cases[] = {
      {{"_ps=2", "_sz=3"}, true, ""},
      {{"_ps=-1", "_sz=3"}, false, ""},
      {{"_ps=2", "_sz=-5"}, false, ""},
      {{"_ps=abc", "_sz=3"}, false, ""},
      {{"_ps=2", "_sz=3x"}, false, ""},
      {{"_ps=", "_sz=3"}, false, ""},
      {{"_ps=99999999999999999999", "_sz=3"}, false, ""},
      {{"_ps=2", "_sz=99999999999999999999"}, false, ""},
      {{"_ps=9223372036854775807", "_sz=1"}, true, kInsufficient},
      {{"_ps=5", "_sz=100"}, true, kInsufficient},
      // 8 GiB claimed by a 10-byte package: refused before anything is read.
      {{"_ps=0", "_sz=8589934592"}, true, kInsufficient},
      {{"_ps=0", "_sz=8589934592", "_pm=1"}, true, kInsufficient},
      {{"_ps=0", "_sz=8589934592", "_pm=2"}, true, kInsufficient},
  };
  for (const auto& c : cases) {
    std::string lines;
    for (const auto& line : c.Lines) lines += line + " ";
    SCOPED_TRACE(lines);
    TScratchFolder folder;
    TRawPackage raw;
    raw.Data = "0123456789";
    raw.Directory = DirectoryText({"[e]"});
    for (const auto& line : c.Lines) raw.Directory += line + "\r\n";
    auto package = OpenBytes(folder, raw.Bytes());
    ASSERT_TRUE(package->IsOpen());
    auto entry = package->FindEntry("e");
    ASSERT_EQ(entry.has_value(), c.Found);
    if (!entry) continue;
    if (std::string(c.OpenError).empty()) {
      EXPECT_EQ(ReadAll(*package->OpenEntryStream(*entry)), "234");
    } else {
      EXPECT_EQ(MessageOf<EStreamError>([&] { package->OpenEntryStream(*entry); }), c.OpenError);
    }
  }
}

TEST(PackageBadInput, CorruptDeflatedEntryRaisesTheInflaterMessage) {
  TScratchFolder folder;
  TRawPackage raw;
  raw.Data = "\xFF\xFF\xFF\xFF";
  raw.Directory = DirectoryText({"[e]", "_ps=0", "_sz=4", "_pm=1"});
  auto package = OpenBytes(folder, raw.Bytes());
  ASSERT_TRUE(package->IsOpen());
  auto entry = package->FindEntry("e");
  EXPECT_EQ(MessageOf<EZLibError>([&] { package->OpenEntryStream(*entry); }), "invalid block type");
}

TEST(PackageBadInput, DirectoryTextThatIsNotUtf8) {
  struct TCase {
    const char* Name;
    std::string Directory;
    std::string Lookup;
    bool Found;
  } cases[] = {
      // Without a byte-order mark the text is read in the ANSI code page.
      {"Windows-1252", "[caf\xE9.txt]\r\n_ps=0\r\n_sz=2\r\n", "caf\xC3\xA9.txt", true},
      // Stray bytes stay themselves: found by the same bytes only.
      {"stray bytes after the mark", DirectoryText({"[bad\xFF\xFE.txt]", "_ps=0", "_sz=2"}),
       "bad\xFF\xFE.txt", true},
      {"stray bytes are no letters", DirectoryText({"[bad\xFF\xFE.txt]", "_ps=0", "_sz=2"}),
       "bad\xFE\xFF.txt", false},
      {"UTF-16",
       std::string("\xFF\xFE[\0x\0]\0\r\0\n\0_\0p\0s\0=\0\x30\0\r\0\n\0_\0s\0z\0=\0\x32\0", 36),
       "x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratchFolder folder;
    TRawPackage raw;
    raw.Data = "ok";
    raw.Directory = c.Directory;
    auto package = OpenBytes(folder, raw.Bytes());
    ASSERT_TRUE(package->IsOpen());
    EXPECT_EQ(EntryBytes(*package, c.Lookup), c.Found ? "ok" : "(not found)");
  }
}

// --- concurrency

TEST(PackageThreads, EntriesReadConcurrently) {
  TScratchFolder folder;
  std::vector<TPackSource> sources;
  const TPackMethod methods[] = {TPackMethod::Stored, TPackMethod::Deflated,
                                 TPackMethod::Scrambled};
  for (unsigned i = 0; i < 9; ++i)
    sources.push_back(
        {"entry" + std::to_string(i), "", Pattern(100000 + 777 * i, i), methods[i % 3]});
  std::string path = folder / "show.vxshow";
  WritePackage(path, sources, {});
  auto package = MakeRef<TVivUnpack>(path);
  ASSERT_TRUE(package->IsOpen());

  constexpr int kThreads = 6;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(t);
      for (int round = 0; round < 4; ++round) {
        for (size_t k = 0; k < sources.size(); ++k) {
          const auto& source = sources[(k + t) % sources.size()];
          auto stream = package->OpenEntryStream(*package->FindEntry(source.EntryName));
          // Pieces of odd sizes from a random start, so that threads interleave.
          int64_t start = std::uniform_int_distribution<int64_t>(0, 50000)(random);
          stream->SetPosition(start);
          std::string got;
          char piece[3001];
          while (size_t n = stream->Read(piece, sizeof piece)) got.append(piece, n);
          if (got != source.Bytes->substr(static_cast<size_t>(start))) ++mismatches;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(ProbeShowFile, ReportsOpenPackagesAndTheirVersion) {
  TScratchFolder folder;
  TPackOptions options;
  options.Version = "5.8";
  std::string good = folder / "good.vxshow";
  WritePackage(good, {{"Project.viv", "", std::string("x"), TPackMethod::Stored}}, options);
  std::string version = "unchanged";
  EXPECT_TRUE(ProbeShowFile(good, &version));
  EXPECT_EQ(version, "5.8");

  options.LongTrailer = true;
  options.Offset = 16;
  std::string moved = folder / "moved.vxshow";
  WritePackage(moved, {{"Project.viv", "", std::string("x"), TPackMethod::Stored}}, options);
  EXPECT_FALSE(ProbeShowFile(moved));
  EXPECT_FALSE(ProbeShowFile(folder / "absent.vxshow"));
}

}  // namespace
}  // namespace viv
