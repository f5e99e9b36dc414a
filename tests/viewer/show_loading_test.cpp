#include "viewer/show_loading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "base/log.h"
#include "base/player_path.h"
#include "base/stream.h"
#include "container/package_writer.h"
#include "support/scratch_folder.h"
#include "viewer/startup.h"

namespace viv {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, std::string_view bytes) {
  fs::create_directories(fs::path(path).parent_path());
  WriteFileBytes(path, bytes);
}

const char* kProject =
    "\xEF\xBB\xBF[Main]\r\nVivVersion=5.7\r\nopt_scr_noexclusive=1\r\n"
    "[Times]\r\nopt_slidescount=1\r\nopt_synchpos1=3000\r\n";

class ShowLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VIV_MESSAGE_BOX", "stderr", 1);
    setenv("TMPDIR", fFolder.Path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", fFolder.Path().c_str(), 1);
  }

  std::string Path(const std::string& name) const { return fFolder.Path() + "/" + name; }

  std::string WriteShow(const std::string& name, const char* project = kProject) {
    std::string path = Path(name);
    fs::create_directories(fs::path(path).parent_path());
    WritePackage(path, {{"Project.viv", "", std::string(project), TPackMethod::Deflated}},
                 {false, 0, "5.7", std::nullopt});
    return path;
  }

  test::TScratchFolder fFolder;
};

TEST_F(ShowLoadingTest, ResolveShowFileKeepsExecutablesAndOpensBundles) {
  EXPECT_EQ(ResolveShowFile("/x/Show.EXE"), "/x/Show.EXE");
  EXPECT_EQ(ResolveShowFile("/x/show.vxshow"), "/x/show.vxshow");
  // Without the resources file a bundle name is tried as a show file.
  EXPECT_EQ(ResolveShowFile(Path("Trip.app")), Path("Trip.vxshow"));
  std::string data = WriteShow("Trip.app/Contents/Resources/slideshow.dat");
  EXPECT_EQ(ResolveShowFile(Path("Trip.app")), data);
  // Only the exact extension ".app" names a bundle.
  EXPECT_EQ(ResolveShowFile(Path("Trip.APP")), Path("Trip.APP"));
}

TEST_F(ShowLoadingTest, ReplacePairKeepsTheName) {
  SetReplacePair({Path("Other.exe"), Path("Other.viv")});
  EXPECT_EQ(ResolveShowFile(Path("other.EXE")), Path("other.EXE"));
  SetReplacePair({});
}

TEST_F(ShowLoadingTest, LoadsPackagesDirectlyOrWithTheShowExtension) {
  WriteShow("Holiday.vxshow");
  for (const char* name : {"Holiday.vxshow", "Holiday", "Holiday.exe"}) {
    SCOPED_TRACE(name);
    auto loaded = LoadShowFile(Path(name), true);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Show->ProjectName(), "Project.viv");
    EXPECT_EQ(loaded->Show->Version(), "5.7");
    EXPECT_FALSE(loaded->ExclusiveModeAllowed);
  }
}

TEST_F(ShowLoadingTest, FailedOpenShowsTheErrorAndBothNames) {
  struct TCase {
    std::string Name;
    std::string Message;
  };
  WriteBytes(Path("plain.bin"), "no package here");
  const TCase cases[] = {
      {Path("missing"), "Slideshow Error: Slideshow File not Found\n\"" + Path("missing") +
                            "\" or \"" + Path("missing.vxshow") + "\"\n"},
      // A file without a trailer says nothing itself; the second try reports.
      {Path("plain.bin"), "Slideshow Error: Slideshow File not Found\n\"" + Path("plain.bin") +
                              "\" or \"" + Path("plain.vxshow") + "\"\n"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadShowFile(c.Name, true));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.Message);
  }
}

TEST_F(ShowLoadingTest, EmptyErrorBecomesCantLoadShow) {
  WriteBytes(Path("a.bin"), "no package");
  WriteBytes(Path("a.vxshow"), "no package either");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadShowFile(Path("a.bin"), true));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Slideshow Error: Can`t Load Show\n\"" +
                                                        Path("a.bin") + "\" or \"" +
                                                        Path("a.vxshow") + "\"\n");
}

TEST_F(ShowLoadingTest, PackageWithoutProject) {
  std::string path = Path("empty.vxshow");
  WritePackage(path, {{"readme.txt", "", std::string("hello"), TPackMethod::Stored}}, {});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadShowFile(path, true));
  EXPECT_EQ(
      testing::internal::GetCapturedStderr(),
      "Slideshow Error: Executable SlideShow Open Error\n\"" + path + "\" or \"" + path + "\"\n");
}

TEST_F(ShowLoadingTest, PreviewOpensAProjectFromDisk) {
  WriteBytes(Path("p/Project.viv"),
             "[Main]\r\nVivVersion=5.8\r\n[Times]\r\nopt_slidescount=1\r\nopt_synchpos1=10\r\n");
  auto loaded = LoadShowFile(Path("p/Project.viv"), false);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Show->Version(), "5.8");
  EXPECT_FALSE(loaded->Show->FromPackage());
  EXPECT_TRUE(loaded->ExclusiveModeAllowed);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(LoadShowFile(Path("p/Missing.viv"), false));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Slideshow Error: Can`t Load .viv File\n\"" + Path("p/Missing.viv") + "\"\n");
}

TEST_F(ShowLoadingTest, ShowsThatCannotPlayAreRefused) {
  struct TCase {
    const char* Project;
    const char* Message;
  };
  const TCase cases[] = {
      {"[Main]\r\nVivVersion=5.7\r\n", "Slideshow Error: No Slides in Presentation\n"},
      {"[Times]\r\nopt_slidescount=2\r\nopt_synchpos1=5000\r\nopt_synchpos2=4000\r\n",
       "Slideshow Error: Asseertion with message: 'Incorrect time' (slide_timeline.cpp, line: "},
  };
  for (const auto& c : cases) {
    std::string show = WriteShow("bad.vxshow", c.Project);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadShowFile(show, true));
    EXPECT_TRUE(testing::internal::GetCapturedStderr().starts_with(c.Message)) << c.Project;
  }
}

TEST(LogFilePath, ReplacesOrAddsTheExtension) {
  EXPECT_EQ(LogFilePath("/usr/bin/vivviewer"), "/usr/bin/vivviewer.log");
  EXPECT_EQ(LogFilePath("/shows/Trip.exe"), "/shows/Trip.log");
  EXPECT_EQ(LogFilePath("/a.b/player"), "/a.b/player.log");
  EXPECT_EQ(LogFilePath("/a/.hidden"), "/a/.hidden.log");
}

TEST_F(ShowLoadingTest, RunPlayerReportsTheShowAndWritesTheLog) {
  std::string show = WriteShow("Trip.vxshow");
  SetPlayerFilePath(Path("player"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunPlayer({Path("player"), show, "-filelog"}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "loaded: Project.viv version 5.7\n");

  std::string log = ReadFileBytes(Path("player.log"));
  ASSERT_TRUE(log.starts_with("\xEF\xBB\xBF\r\n" + std::string(64, '=') +
                              "\r\nProgram : " + Path("player") + "\r\nstarted : "));
  EXPECT_NE(log.find("\r\nProgram stoped : "), std::string::npos);
  EXPECT_TRUE(log.ends_with(" ms)\r\n" + std::string(64, '-') + "\r\n"));
  SetLog(nullptr);
}

TEST_F(ShowLoadingTest, RunPlayerFailsWithStatus2) {
  SetPlayerFilePath(Path("player"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunPlayer({Path("player"), "-exename", "nothing.vxshow"}), kExitFailure);
  std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(message, "Slideshow Error: Slideshow File not Found\n\"" + Path("nothing.vxshow") +
                         "\" or \"" + Path("nothing.vxshow") + "\"\n");
}

}  // namespace
}  // namespace viv
