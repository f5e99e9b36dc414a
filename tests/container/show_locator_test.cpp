// Opening shows: packages, projects on disk, the replace pair, and what the
// locator takes from the project.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/player_path.h"
#include "container/package_writer.h"
#include "container/path_modifiers.h"
#include "container/show_locator.h"
#include "container_test_support.h"

namespace viv {
namespace {

using test::ReadAll;
using test::TScratchFolder;

constexpr const char* kOpenError = "Executable SlideShow Open Error";

std::string Opened(TFileAccessor& accessor, std::string_view name) {
  auto stream = accessor.OpenStream(name);
  return stream ? ReadAll(*stream) : "(none)";
}

TEST(OpenPackageShow, OpensTheProjectOrPassesTheErrorOn) {
  const std::string project = "[Main]\r\nVivVersion=5.6\r\n";
  struct TCase {
    const char* Name;
    std::vector<TPackSource> Sources;
    int64_t Offset;
    const char* Error;  // empty: opens
  } cases[] = {
      {"deflated project", {{"Project.viv", "", project, TPackMethod::Deflated}}, 0, ""},
      {"project in other letter case", {{"PROJECT.VIV", "", project, TPackMethod::Stored}}, 0, ""},
      {"no project", {{"other.viv", "", project, TPackMethod::Stored}}, 0, kOpenError},
      {"moved without permission",
       {{"Project.viv", "", project, TPackMethod::Stored}},
       64,
       "Slide-show File Modified"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratchFolder folder;
    std::string path = folder / "show.vxshow";
    TPackOptions options;
    options.LongTrailer = c.Offset > 0;
    options.Offset = c.Offset;
    WritePackage(path, c.Sources, options);
    TShowOpenResult result = OpenPackageShow(path);
    EXPECT_EQ(result.ErrorText, c.Error);
    ASSERT_EQ(result.Show != nullptr, std::string(c.Error).empty());
    if (!result.Show) continue;
    EXPECT_TRUE(result.Show->FromPackage());
    EXPECT_EQ(result.Show->ProjectName(), "Project.viv");
    EXPECT_EQ(result.Show->Version(), "5.6");
    EXPECT_EQ(result.Show->Accessor().BaseFolder(), folder.Path() + "/");
  }
}

TEST(OpenPackageShow, UnreadableProjectIsAnOpenError) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Entry;
  } cases[] = {
      {"does not inflate", {"_ps=0", "_sz=4", "_pm=1"}},
      {"lies beyond the file", {"_ps=0", "_sz=999"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratchFolder folder;
    test::TRawPackage raw;
    raw.Data = "\xFF\xFF\xFF\xFF";
    raw.Directory = test::DirectoryText({"[Project.viv]"});
    for (const auto& line : c.Entry) raw.Directory += line + "\r\n";
    TShowOpenResult result = OpenPackageShow(folder.Write("show.vxshow", raw.Bytes()));
    EXPECT_FALSE(result.Show);
    EXPECT_EQ(result.ErrorText, kOpenError);
  }
}

TEST(OpenPackageShow, FilesThatAreNoPackages) {
  TScratchFolder folder;
  TShowOpenResult absent = OpenPackageShow(folder / "absent.vxshow");
  EXPECT_FALSE(absent.Show);
  EXPECT_EQ(absent.ErrorText, "Slideshow File not Found");
  // No trailer: the caller words the message.
  TShowOpenResult plain = OpenPackageShow(folder.Write("plain.txt", "just text"));
  EXPECT_FALSE(plain.Show);
  EXPECT_EQ(plain.ErrorText, "");
}

TEST(OpenPackageShow, PackageFileMapRedirectsToOtherEntries) {
  TScratchFolder folder;
  std::string path = folder / "show.vxshow";
  WritePackage(path,
               {{"Project.viv", "",
                 std::string("[FileMap]\r\n;\"C:\\Old\\alias.jpg\"=\"real.jpg\"\r\n"
                             "[RotationState]\r\n;\"real.jpg\"=8\r\n"),
                 TPackMethod::Deflated},
                {"real.jpg", "", std::string("real bytes"), TPackMethod::Stored}},
               {});
  TShowOpenResult result = OpenPackageShow(path);
  ASSERT_TRUE(result.Show) << result.ErrorText;
  TFileAccessor& accessor = result.Show->Accessor();
  EXPECT_EQ(Opened(accessor, "c:\\old\\ALIAS.JPG"), "real bytes");
  EXPECT_EQ(Opened(accessor, "real.jpg"), "real bytes");
  EXPECT_EQ(Opened(accessor, "C:\\Old\\other.jpg"), "(none)");
  EXPECT_EQ(accessor.Source().Orientation("REAL.JPG"), 8);
}

TEST(OpenPackageShow, ReplacePairOpensTheProjectInstead) {
  TScratchFolder folder;
  std::string project = folder.Write("edit/Project.viv", "[Main]\r\nVivVersion=7.0\r\n");
  std::string exe = folder / "Show.exe";
  SetReplacePair({exe, project});
  TShowOpenResult replaced = OpenPackageShow(folder / "SHOW.EXE");
  SetReplacePair({exe, ""});
  TShowOpenResult notReplaced = OpenPackageShow(exe);
  SetReplacePair({});

  ASSERT_TRUE(replaced.Show) << replaced.ErrorText;
  EXPECT_FALSE(replaced.Show->FromPackage());
  EXPECT_EQ(replaced.Show->Version(), "7.0");
  EXPECT_EQ(replaced.Show->ProjectName(), project);
  // Without a project file the pair stands for nothing: the executable is opened.
  EXPECT_FALSE(notReplaced.Show);
  EXPECT_EQ(notReplaced.ErrorText, "Slideshow File not Found");
}

TEST(OpenProjectShow, BaseFolderComesFromTheExecutableName) {
  struct TCase {
    const char* Main;
    const char* Base;  // relative to the scratch folder unless absolute
  } cases[] = {
      {"opt_exefn=C:\\Shows\\Player\\show.exe", "/Shows/Player/"},
      {"", "proj/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Main);
    TScratchFolder folder;
    std::string path =
        folder.Write("proj/Project.viv", std::string("[Main]\r\n") + c.Main + "\r\n");
    auto show = OpenProjectShow(path);
    ASSERT_TRUE(show);
    EXPECT_FALSE(show->FromPackage());
    std::string base = c.Base[0] == '/' ? c.Base : folder / c.Base;
    EXPECT_EQ(show->Accessor().BaseFolder(), base);
  }
  TScratchFolder folder;
  EXPECT_FALSE(OpenProjectShow(folder / "absent.viv"));
}

TEST(OpenProjectShow, PathModifiersSectionReplacesTheModifiers) {
  struct TRestoreModifiers {
    ~TRestoreModifiers() { SetPathModifiers(StandardPathModifiers()); }
  } restore;
  TScratchFolder folder;
  std::string path = folder.Write("Project.viv",
                                  "[PathModifiers]\r\nCount=2\r\n"
                                  "Env0=%themes%\r\nPath0=" +
                                      folder.Path() +
                                      "/t1\r\nDef0=1\r\n"
                                      "Env1=%themes%\r\nPath1=" +
                                      folder.Path() + "/t2\r\n");
  std::string second = folder.Write("t2/look.ini", "second folder");
  auto show = OpenProjectShow(path);
  ASSERT_TRUE(show);
  auto items = PathModifiers();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Token, "%themes%");
  EXPECT_EQ(items[0].Folder, folder / "t1");
  EXPECT_TRUE(items[0].Default);
  EXPECT_EQ(items[1].Folder, folder / "t2");
  EXPECT_FALSE(items[1].Default);
  // The default candidate stands until a later one names an existing file.
  EXPECT_EQ(Opened(show->Accessor(), "%themes%\\look.ini"), "second folder");
  EXPECT_EQ(ApplyPathModifiers("%themes%\\none.ini"), folder / "t1\\none.ini");
}

TEST(OpenProjectShow, FileMapOfTheProjectPointsAtDiskFiles) {
  TScratchFolder folder;
  std::string target = folder.Write("moved/y.jpg", "moved picture");
  std::string path =
      folder.Write("Project.viv", "[FileMap]\r\n;\"C:\\A\\x.jpg\"=\"" + target + "\"\r\n");
  auto show = OpenProjectShow(path);
  ASSERT_TRUE(show);
  EXPECT_EQ(Opened(show->Accessor(), "c:\\a\\X.JPG"), "moved picture");
}

}  // namespace
}  // namespace viv
