// Temporary folders and the helper libraries extracted into them.
//
// The temporary root is fixed at its first use in a process, so every test
// runs its body in a child process of its own, after pointing TMPDIR at a
// fresh folder; the child's failures come back through its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "base/player_path.h"
#include "container/aux_libraries.h"
#include "container/package_writer.h"
#include "container/show_locator.h"
#include "container/temp_folders.h"
#include "container_test_support.h"

namespace viv {
namespace {

using test::TScratchFolder;
namespace fs = std::filesystem;

// Runs body in a child process and returns its exit status; the child never
// returns into the test program.
int InChild(auto&& body) {
  pid_t child = ::fork();
  if (child == 0) {
    int code = 1;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

struct TChildRun {
  int Status = -1;
  std::string Output;  // what the child printed, its test failures included
};

// Runs a test body in a child process: 0 when it passed, 1 when one of its
// expectations failed, 2 when it raised.
TChildRun RunTestBodyInChild(const std::function<void()>& body) {
  TChildRun run;
  int output[2];
  if (::pipe(output) != 0) return run;
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(output[0]);
    ::dup2(output[1], STDOUT_FILENO);
    ::dup2(output[1], STDERR_FILENO);
    int code = 0;
    try {
      body();
      code = ::testing::Test::HasFailure() ? 1 : 0;
    } catch (const std::exception& e) {
      std::printf("raised: %s\n", e.what());
      code = 2;
    } catch (...) {
      code = 2;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
  }
  ::close(output[1]);
  char buffer[4096];
  for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      run.Output.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  ::close(output[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    run.Status = WEXITSTATUS(status);
  return run;
}

class TempFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tmp = std::getenv("TMPDIR")) fSavedTmp = tmp;
    ::setenv("TMPDIR", fTmp.Path().c_str(), 1);
  }
  void TearDown() override {
    RemoveTempFolders();
    if (fSavedTmp)
      ::setenv("TMPDIR", fSavedTmp->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

  std::string ExpectedRoot() const { return fTmp.Path() + "/QUORVANE_TEMP_ROOT/"; }
  // Every file and folder under the temporary folder, relative to it.
  std::set<std::string> TreeOfTmp() const {
    std::set<std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(fTmp.Path()))
      tree.insert(fs::relative(entry.path(), fTmp.Path()).string());
    return tree;
  }

  void InChildProcess(const std::function<void()>& body) {
    TChildRun run = RunTestBodyInChild(body);
    EXPECT_EQ(run.Status, 0) << run.Output;
  }

  TScratchFolder fTmp;
  std::optional<std::string> fSavedTmp;
};

bool LockIsHeld(const std::string& lockPath) {
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

TEST_F(TempFolders, NewFolderIsAGuidWithAHeldLockBesideIt) {
  InChildProcess([&] {
    ASSERT_EQ(TempFolderRoot(), ExpectedRoot());
    std::string first = NewTempFolder();
    std::string second = NewTempFolder();
    EXPECT_NE(first, second);
    const std::regex guidFolder(
        R"(\[[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\]/)");
    for (const auto& folder : {first, second}) {
      SCOPED_TRACE(folder);
      ASSERT_TRUE(folder.starts_with(ExpectedRoot()));
      EXPECT_TRUE(std::regex_match(folder.substr(ExpectedRoot().size()), guidFolder));
      EXPECT_TRUE(fs::is_directory(folder));
      EXPECT_TRUE(fs::is_empty(folder));
      std::string lock = folder.substr(0, folder.size() - 1) + ".lock";
      EXPECT_TRUE(fs::is_regular_file(lock));
      EXPECT_TRUE(LockIsHeld(lock));
    }
  });
}

TEST_F(TempFolders, FirstUseSweepsFoldersOfRunsThatEnded) {
  InChildProcess([&] {
    std::string root = ExpectedRoot();
    std::string outside = fTmp.Write("outside/keep.txt", "not ours to delete");

    // A run that made a folder and died without cleaning up: its lock file
    // stays behind, held by nobody.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int status = InChild([&] {
      std::string folder = NewTempFolder();
      WriteFileBytes(folder + "left.txt", "left behind");
      fs::create_symlink(outside, folder + "link");
      ssize_t written = ::write(pipeFds[1], folder.data(), folder.size());
      return written == static_cast<ssize_t>(folder.size()) ? 0 : 1;
    });
    ::close(pipeFds[1]);
    char buffer[512];
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    ::close(pipeFds[0]);
    ASSERT_EQ(status, 0);
    ASSERT_GT(n, 0);
    std::string crashed(buffer, static_cast<size_t>(n));
    ASSERT_TRUE(crashed.starts_with(root)) << crashed;
    ASSERT_TRUE(fs::exists(crashed + "left.txt"));

    // A run that is still alive: its lock is held through another open file.
    std::string alive = root + "[ALIVE]";
    fs::create_directories(alive);
    fTmp.Write("QUORVANE_TEMP_ROOT/[ALIVE]/busy.txt", "in use");
    int held = ::open((alive + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    // A folder without a lock file is not the player's to remove.
    fs::create_directories(root + "[NOLOCK]");

    EXPECT_EQ(TempFolderRoot(), root);
    EXPECT_FALSE(fs::exists(crashed));
    EXPECT_FALSE(fs::exists(crashed.substr(0, crashed.size() - 1) + ".lock"));
    EXPECT_TRUE(fs::exists(alive + "/busy.txt"));
    EXPECT_TRUE(fs::exists(alive + ".lock"));
    EXPECT_TRUE(fs::exists(root + "[NOLOCK]"));
    EXPECT_EQ(ReadFileBytes(outside), "not ours to delete");
    ::close(held);
  });
}

TEST_F(TempFolders, RemoveTempFoldersRemovesThisRunsFoldersOnly) {
  InChildProcess([&] {
    ASSERT_EQ(TempFolderRoot(), ExpectedRoot());
    std::string other = ExpectedRoot() + "[OTHER]";
    fs::create_directories(other);
    std::string mine[] = {NewTempFolder(), NewTempFolder()};
    for (const auto& folder : mine) WriteFileBytes(folder + "data.bin", "data");
    RemoveTempFolders();
    for (const auto& folder : mine) {
      EXPECT_FALSE(fs::exists(folder));
      EXPECT_FALSE(fs::exists(folder.substr(0, folder.size() - 1) + ".lock"));
    }
    EXPECT_TRUE(fs::is_directory(other));
    EXPECT_TRUE(fs::is_directory(ExpectedRoot()));
  });
}

// --- helper libraries

TRef<TVivShowLocator> PackageShow(const TScratchFolder& folder, std::vector<TPackSource> extra) {
  std::vector<TPackSource> sources = {
      {"Project.viv", "", std::string("[Main]\r\n"), TPackMethod::Deflated}};
  for (auto& source : extra) sources.push_back(std::move(source));
  std::string path = folder / "show.vxshow";
  WritePackage(path, sources, {});
  return OpenPackageShow(path).Show;
}

TEST_F(TempFolders, FfmpegEntryIsExtractedIntoANewTempFolder) {
  InChildProcess([&] {
    ASSERT_EQ(TempFolderRoot(), ExpectedRoot());
    TScratchFolder shows;
    auto show =
        PackageShow(shows, {{"ffmpeg.dll", "", std::string("MZ media"), TPackMethod::Scrambled}});
    ASSERT_TRUE(show);
    SetFfmpegLibraryPath("");
    auto before = TreeOfTmp();
    ExtractFfmpegLibrary(show.Get());
    std::string path = FfmpegLibraryPath();
    ASSERT_TRUE(path.starts_with(ExpectedRoot())) << path;
    EXPECT_EQ(ReadFileBytes(path), "MZ media");

    // Exactly the new folder, its lock file and the library appeared.
    std::string folder = fs::path(path).parent_path().string();
    std::string relative = fs::relative(folder, fTmp.Path()).string();
    auto after = TreeOfTmp();
    for (const auto& name : before) after.erase(name);
    EXPECT_EQ(after,
              (std::set<std::string>{relative, relative + ".lock", relative + "/ffmpeg.dll"}));

    // Once set, the path stays.
    ExtractFfmpegLibrary(show.Get());
    EXPECT_EQ(FfmpegLibraryPath(), path);
    SetFfmpegLibraryPath("");
  });
}

TEST_F(TempFolders, WithoutAnEntryTheLibraryBesideThePlayerIsTaken) {
  InChildProcess([&] {
    ASSERT_EQ(TempFolderRoot(), ExpectedRoot());
    TScratchFolder player;
    SetPlayerFilePath(player.Write("bin/vivviewer", "player"));
    TScratchFolder shows;
    auto show = PackageShow(shows, {});
    ASSERT_TRUE(show);
    struct TCase {
      const TVivShowLocator* Show;
      bool Beside;
    } cases[] = {{show.Get(), false}, {nullptr, false}, {show.Get(), true}};
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "show " << (c.Show != nullptr) << " beside " << c.Beside);
      std::string beside = player / "Common/ffmpeg.dll";
      if (c.Beside) player.Write("Common/ffmpeg.dll", "beside");
      SetFfmpegLibraryPath("");
      ExtractFfmpegLibrary(c.Show);
      if (c.Beside) {
        ASSERT_FALSE(FfmpegLibraryPath().empty());
        EXPECT_TRUE(fs::equivalent(FfmpegLibraryPath(), beside));
      } else {
        EXPECT_EQ(FfmpegLibraryPath(), "");
      }
    }
    // Nothing was extracted.
    EXPECT_TRUE(fs::is_empty(ExpectedRoot()));
    SetFfmpegLibraryPath("");
    SetPlayerFilePath({});
  });
}

TEST_F(TempFolders, ColourLibraryEntryIsExtractedOnce) {
  InChildProcess([&] {
    ASSERT_EQ(TempFolderRoot(), ExpectedRoot());
    TScratchFolder shows;
    auto show =
        PackageShow(shows, {{"lcms2.dll", "", std::string("MZ colour"), TPackMethod::Deflated}});
    ASSERT_TRUE(show);
    auto before = TreeOfTmp();
    EXPECT_TRUE(ExtractColourLibrary(show.Get()));
    std::string path = ColourLibraryPath();
    ASSERT_TRUE(path.starts_with(ExpectedRoot())) << path;
    EXPECT_EQ(fs::path(path).filename(), "lcms2.dll");
    EXPECT_EQ(ReadFileBytes(path), "MZ colour");
    auto after = TreeOfTmp();
    EXPECT_EQ(after.size(), before.size() + 3);

    EXPECT_TRUE(ExtractColourLibrary(show.Get()));
    EXPECT_EQ(ColourLibraryPath(), path);
    EXPECT_EQ(TreeOfTmp(), after);
  });
}

}  // namespace
}  // namespace viv
