// File sources and the accessor: file maps, orientations, disk names, path
// modifiers, the disk prefix and the accessor's hooks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/player_path.h"
#include "container/disk_path.h"
#include "container/file_accessor.h"
#include "container/file_source.h"
#include "container/load_callback.h"
#include "container/package_writer.h"
#include "container/path_modifiers.h"
#include "container_test_support.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

using test::ReadAll;
using test::TScratchFolder;

constexpr const char* kNone = "(none)";

std::string Opened(TFileAccessor& accessor, std::string_view name) {
  auto stream = accessor.OpenStream(name);
  return stream ? ReadAll(*stream) : kNone;
}

// A disk path as a show writes it: drive letter and backslashes.
std::string WindowsName(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

TRef<TIniFile> Project(std::string_view text) {
  auto project = MakeRef<TIniFile>();
  project->LoadFromText(text);
  return project;
}

// Path modifiers, the player's path and XDG_DATA_HOME are process-wide; tests
// that change them put them back.
class ProcessStateGuard {
 public:
  ProcessStateGuard() {
    if (const char* data = std::getenv("XDG_DATA_HOME")) fDataHome = data;
  }
  ~ProcessStateGuard() {
    if (fDataHome)
      ::setenv("XDG_DATA_HOME", fDataHome->c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
    SetPlayerFilePath({});
    SetPathModifiers(StandardPathModifiers());
    SetLoadCallbackMode(TLoadCallbackMode::Idle);
  }

 private:
  std::optional<std::string> fDataHome;
};

// --- file map

TEST(FileMapLine, SplitsAtTheFirstEqualsOutsideQuotes) {
  struct TCase {
    std::string Line;
    bool Ok;
    std::string From, To;
  } cases[] = {
      {R"("C:\A\x.jpg"="D:\B\y.jpg")", true, R"(C:\A\x.jpg)", R"(D:\B\y.jpg)"},
      {"a = b", true, "a", "b"},
      {R"(  "a"  =  "b c"  )", true, "a", "b c"},
      {R"("a=b"=c)", true, "a=b", "c"},
      {"a=b=c", true, "a", "b=c"},
      {R"(""=x)", false, "", "x"},
      {"a=", false, "a", ""},
      {"=b", false, "", "b"},
      {"no equals sign", false, "", ""},
      {R"("a=b")", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    std::string from, to;
    EXPECT_EQ(SplitFileMapLine(c.Line, from, to), c.Ok);
    if (c.Ok) {
      EXPECT_EQ(from, c.From);
      EXPECT_EQ(to, c.To);
    }
  }
}

TEST(FileMap, MapsEveryLetterCaseOfANameToItsFirstTarget) {
  TScratchFolder folder;
  std::string y = folder.Write("B/y.jpg", "mapped bytes");
  std::string k = folder.Write("k.txt", "key line target");
  std::string other = folder.Write("other.jpg", "second target");
  auto project = Project(
      "[FileMap]\r\n"
      ";\"C:\\A\\x.jpg\"=\"" +
      WindowsName(y) +
      "\"\r\n"
      ";\"C:\\A\\x.jpg\"=\"" +
      other +
      "\"\r\n"
      "\"k.txt\"=\"" +
      k +
      "\"\r\n"
      ";no equals sign here\r\n");
  auto source = MakeRef<TMappedFileSource>();
  source->LoadFileMap(*project->FindSection("FileMap"));
  auto accessor = MakeRef<TFileAccessor>(source, folder.Path());
  struct TCase {
    const char* Name;
    const char* Bytes;
  } cases[] = {
      {"C:\\A\\x.jpg", "mapped bytes"},
      {"c:\\a\\X.JPG", "mapped bytes"},
      {"K.TXT", "key line target"},
      {"C:\\A\\z.jpg", kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(Opened(*accessor, c.Name), c.Bytes) << c.Name;
}

// --- disk names

TEST(DiskNames, PipeSuffixOpensTheFileBeforeIt) {
  TScratchFolder folder;
  std::string path = folder.Write("movie.avi", "movie bytes");
  TRef<TFileSource> sources[] = {MakeRef<TRealFileSource>(), MakeRef<TMappedFileSource>()};
  struct TCase {
    std::string Name;
    const char* Bytes;
  } cases[] = {
      {path + "|3", "movie bytes"},
      {path + "|", "movie bytes"},
      {path + "|1|2", "movie bytes"},
      {folder / "absent.avi|3", kNone},
      {"|3", kNone},
  };
  for (auto& source : sources) {
    auto accessor = MakeRef<TFileAccessor>(source, "");
    for (const auto& c : cases) EXPECT_EQ(Opened(*accessor, c.Name), c.Bytes) << c.Name;
  }
}

TEST(DiskNames, LetterCaseIsIgnoredWhenTheExactNameIsMissing) {
  TScratchFolder folder;
  folder.Write("Dir/Sub/File.TXT", "upper");
  folder.Write("Dir/Sub/file.txt", "lower");
  folder.Write("Dir/Sub/Only.txt", "only");
  auto accessor = NewDiskAccessor("");
  struct TCase {
    std::string Name;
    const char* Bytes;
  } cases[] = {
      {folder / "Dir/Sub/File.TXT", "upper"},
      {folder / "Dir/Sub/file.txt", "lower"},
      {folder / "dir/SUB/only.TXT", "only"},
      {WindowsName(folder.Path()) + "\\DIR\\sub\\ONLY.txt", "only"},
      {folder / "Dir/Sub/Other.txt", kNone},
      {folder / "Dir/Nope/Only.txt", kNone},
      // A folder is no file.
      {folder / "dir/sub", kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(Opened(*accessor, c.Name), c.Bytes) << c.Name;
}

TEST(DiskNames, FindDiskFileTriesNameModifiersThenBaseFolder) {
  ProcessStateGuard guard;
  TScratchFolder folder;
  std::string here = folder.Write("here.txt", "");
  std::string modified = folder.Write("mods/m.txt", "");
  folder.Write("base/here.txt", "");
  std::string inBase = folder.Write("base/b.txt", "");
  SetPathModifiers({{"%tok%", folder / "mods", false}});
  auto accessor = NewDiskAccessor(folder / "base");
  struct TCase {
    std::string Name;
    std::optional<std::string> Found;
  } cases[] = {
      {here, here},  // the name itself wins over the base folder's file
      {"%tok%\\m.txt", modified},
      {"%TOK%\\m.txt", modified},
      {"C:\\Elsewhere\\b.txt", inBase},
      {"%tok%\\b.txt", inBase},  // not in the modifier's folder
      {"C:\\Elsewhere\\none.txt", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(accessor->FindDiskFile(c.Name), c.Found) << c.Name;
}

TEST(PathModifiers, StylesPreferThePlayersThemesFolder) {
  ProcessStateGuard guard;
  TScratchFolder folder;
  SetPlayerFilePath(folder / "player/vivviewer");
  ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
  SetPathModifiers(StandardPathModifiers());
  std::string themesOne = folder.Write("player/All/Themes/one.ini", "themes one");
  folder.Write("data/Quorvane/Styles/one.ini", "user one");
  std::string userTwo = folder.Write("data/Quorvane/Styles/two.ini", "user two");
  std::string effect = folder.Write("player/All/Effects/fx.ini", "effect");
  auto accessor = NewDiskAccessor("");
  struct TCase {
    const char* Name;
    std::optional<std::string> Found;
    const char* Bytes;
  } cases[] = {
      {"%styles%\\one.ini", themesOne, "themes one"},
      {"%STYLES%\\two.ini", userTwo, "user two"},
      {"%effects%\\fx.ini", effect, "effect"},
      {"%styles%\\three.ini", std::nullopt, kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(accessor->FindDiskFile(c.Name), c.Found);
    EXPECT_EQ(Opened(*accessor, c.Name), c.Bytes);
  }
  // Where no candidate exists the per-user folder stands.
  EXPECT_EQ(DiskPathOf(ApplyPathModifiers("%styles%\\three.ini")),
            folder / "data/Quorvane/Styles/three.ini");
}

// --- orientations

TEST(RotationState, AcceptsOnlyQuotedNamesWithExifCodes) {
  auto project = Project(
      "[RotationState]\r\n"
      ";\"a.jpg\"=1\r\n;\"b.jpg\"=3\r\n;\"C:\\Pics\\c.jpg\"=6\r\n;\"d.jpg\"=8\r\n"
      ";\"e.jpg\"=2\r\n;\"f.jpg\"=9\r\n;\"g.jpg\"=x\r\n"
      "\"h.jpg\"=6\r\n;h2.jpg=6\r\n;\"i=j.jpg\"=3\r\n");
  auto source = MakeRef<TMappedFileSource>();
  source->LoadOrientations(*project->FindSection("RotationState"));
  struct TCase {
    const char* Name;
    int Code;
  } cases[] = {
      {"a.jpg", 1}, {"B.JPG", 3}, {"c:\\pics\\C.jpg", 6}, {"d.jpg", 8},  {"e.jpg", 1},
      {"f.jpg", 1}, {"g.jpg", 1}, {"h.jpg", 1},           {"h2.jpg", 1}, {"i=j.jpg", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(source->Orientation(c.Name), c.Code) << c.Name;

  auto rejected = Project("[RotationState]\r\n;\"e.jpg\"=2\r\n\"h.jpg\"=6\r\n");
  auto plain = MakeRef<TMappedFileSource>();
  plain->LoadOrientations(*rejected->FindSection("RotationState"));
  EXPECT_FALSE(plain->OrientationHook());
}

// --- the accessor's stream path

TEST(AccessorStreams, DiskPrefixReadsFromDiskWhateverTheSource) {
  TScratchFolder folder;
  std::string disk = folder.Write("disk.txt", "from disk");
  std::string packagePath = folder / "show.vxshow";
  WritePackage(packagePath, {{"inside.txt", "", std::string("from package"), TPackMethod::Stored}},
               {});
  auto package = MakeRef<TVivUnpack>(packagePath);
  ASSERT_TRUE(package->IsOpen());
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(package), folder.Path());
  struct TCase {
    std::string Name;
    const char* Bytes;
  } cases[] = {
      {"inside.txt", "from package"},
      {"LoadFromDisk:" + disk, "from disk"},
      {disk, kNone},
      {"LoadFromDisk:inside.txt", kNone},
      // Not where it says, but in the base folder.
      {"LoadFromDisk:C:\\Nowhere\\disk.txt", "from disk"},
  };
  for (const auto& c : cases) EXPECT_EQ(Opened(*accessor, c.Name), c.Bytes) << c.Name;
}

TEST(AccessorStreams, FilterMayReplaceAndFallbackFillsIn) {
  TScratchFolder folder;
  for (const char* name : {"a.txt", "b.txt", "d.txt"})
    folder.Write(name, std::string("disk ") + name);
  auto accessor = NewDiskAccessor("");
  std::vector<std::string> filtered;
  accessor->SetStreamFilter([&](std::string_view name, TRef<TStream> stream) -> TRef<TStream> {
    std::string last = LastComponent(std::string(name));
    filtered.push_back(last);
    if (last == "a.txt") return MakeRef<TMemoryStream>(std::string("filtered"));
    if (last == "d.txt") return nullptr;
    return stream;
  });
  accessor->SetFallbackOpener([](std::string_view name) -> TRef<TStream> {
    return MakeRef<TMemoryStream>("fallback " + LastComponent(std::string(name)));
  });
  struct TCase {
    const char* Name;
    const char* Bytes;
  } cases[] = {
      {"a.txt", "filtered"},
      {"b.txt", "disk b.txt"},
      {"c.txt", "fallback c.txt"},  // never reaches the filter
      {"d.txt", "fallback d.txt"},  // the filter dropped it
  };
  for (const auto& c : cases) EXPECT_EQ(Opened(*accessor, folder / c.Name), c.Bytes) << c.Name;
  EXPECT_EQ(filtered, (std::vector<std::string>{"a.txt", "b.txt", "d.txt"}));
}

TEST(AccessorStreams, LoadCallbackStopEndsAReadAfterOnePiece) {
  ProcessStateGuard guard;
  TScratchFolder folder;
  std::string bytes(1000, 'b');
  std::string disk = folder.Write("disk.bin", bytes);
  std::string packagePath = folder / "show.vxshow";
  WritePackage(packagePath,
               {{"stored", "", bytes, TPackMethod::Stored},
                {"deflated", "", bytes, TPackMethod::Deflated},
                {"scrambled", "", bytes, TPackMethod::Scrambled}},
               {});
  auto package = MakeRef<TVivUnpack>(packagePath);
  ASSERT_TRUE(package->IsOpen());
  auto packed = MakeRef<TFileAccessor>(MakeRef<TPackedFileSource>(package), "");
  auto onDisk = NewDiskAccessor("");
  struct TCase {
    TFileAccessor* Accessor;
    std::string Name;
  } cases[] = {{packed.Get(), "stored"},
               {packed.Get(), "deflated"},
               {packed.Get(), "scrambled"},
               {onDisk.Get(), disk}};
  // With a callback, reads go in pieces of at most 256 bytes; "stop" ends the
  // read after the first.
  for (auto [mode, expected] : {std::pair{TLoadCallbackMode::Stop, size_t{256}},
                                std::pair{TLoadCallbackMode::Idle, size_t{1000}}}) {
    SetLoadCallbackMode(mode);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Name);
      auto stream = c.Accessor->OpenStream(c.Name);
      ASSERT_TRUE(stream);
      std::string buffer(1000, '\0');
      EXPECT_EQ(stream->Read(buffer.data(), buffer.size()), expected);
      EXPECT_EQ(buffer.substr(0, expected), bytes.substr(0, expected));
    }
  }
}

}  // namespace
}  // namespace viv
