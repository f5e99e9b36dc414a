// Temporary folders and the helper libraries extracted into them.
//
// The temporary root is fixed at its first use in a process, so every test
// runs its body in a child process of its own, after pointing TMPDIR at a
// fresh folder; the child's failures come back through its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
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

#include "base/log.h"
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

// Sets or removes an environment variable and puts it back at the end.
class TEnvironmentVariable {
 public:
  TEnvironmentVariable(const char* name, std::optional<std::string> value) : fName(name) {
    if (const char* saved = std::getenv(name)) fSaved = saved;
    Set(value);
  }
  ~TEnvironmentVariable() { Set(fSaved); }
  TEnvironmentVariable(const TEnvironmentVariable&) = delete;
  TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value)
      ::setenv(fName, value->c_str(), 1);
    else
      ::unsetenv(fName);
  }

  const char* fName;
  std::optional<std::string> fSaved;
};

// Keeps the lines written to the log.
class TLogLines : public TLog {
 public:
  void WriteLine(std::string_view line) override { Lines += std::string(line) + "\n"; }
  std::string Lines;
};

std::string UserRootName() { return "QUORVANE_TEMP_ROOT-" + std::to_string(::geteuid()); }

class TempFolders : public ::testing::Test {
 protected:
  void TearDown() override { RemoveTempFolders(); }

  // Without a runtime folder the root is in TMPDIR, named for the user.
  std::string ExpectedRoot() const { return fTmp / UserRootName() + "/"; }
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
  TEnvironmentVariable fTmpVariable{"TMPDIR", fTmp.Path()};
  TEnvironmentVariable fRuntimeVariable{"XDG_RUNTIME_DIR", std::nullopt};
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
    fTmp.Write(UserRootName() + "/[ALIVE]/busy.txt", "in use");
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

TEST_F(TempFolders, RootIsTheUsersOwn) {
  TScratchFolder runtime;
  const std::string inTmp = ExpectedRoot();
  struct TCase {
    const char* Label;
    std::optional<std::string> Runtime;  // XDG_RUNTIME_DIR
    std::string Root;
  } cases[] = {
      {"no runtime folder: TMPDIR, with the user id", std::nullopt, inTmp},
      {"the runtime folder", runtime.Path(), runtime.Path() + "/QUORVANE_TEMP_ROOT/"},
      {"an empty variable", "", inTmp},
      {"a relative runtime folder", "relative", inTmp},
      {"a runtime folder that does not exist", runtime / "missing", inTmp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    InChildProcess([&] {
      TEnvironmentVariable variable("XDG_RUNTIME_DIR", c.Runtime);
      ASSERT_EQ(TempFolderRoot(), c.Root);
      struct stat st;
      ASSERT_EQ(::lstat(c.Root.c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_mode & 07777, 0700u);
      EXPECT_EQ(st.st_uid, ::geteuid());
      EXPECT_TRUE(NewTempFolder().starts_with(c.Root));
    });
  }
}

TEST_F(TempFolders, RootsThatOthersCouldReachAreNotUsed) {
  // Each case makes the runtime folder's root in its own way; the player must
  // fall back to TMPDIR and leave what it found alone. "[OLD]" looks like the
  // folder of an ended run, which the sweep would remove from a usable root.
  struct TCase {
    const char* Label;
    std::string Make;  // "link", "file" or the mode of a folder
    std::string Problem;
  } cases[] = {
      {"a link to a folder", "link", "it is a link"},
      {"a folder anyone may write to", "0777", "others may enter it"},
      {"a folder the group may read", "0750", "others may enter it"},
      {"a folder others may pass through", "0701", "others may enter it"},
      {"a file", "file", "it is no folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TScratchFolder runtime, elsewhere;
    std::string root = runtime / "QUORVANE_TEMP_ROOT";
    std::string old = c.Make == "link" ? elsewhere.Path() : root;
    if (c.Make == "link") {
      fs::create_directory_symlink(elsewhere.Path(), root);
    } else if (c.Make == "file") {
      runtime.Write("QUORVANE_TEMP_ROOT", "a file");
    } else {
      fs::create_directory(root);
      ASSERT_EQ(::chmod(root.c_str(), static_cast<mode_t>(std::stoi(c.Make, nullptr, 8))), 0);
    }
    if (c.Make != "file") {
      WriteFileBytes(old + "/[OLD].lock", "");
      fs::create_directory(old + "/[OLD]");
      WriteFileBytes(old + "/[OLD]/keep.txt", "not ours to delete");
    }
    InChildProcess([&] {
      TEnvironmentVariable variable("XDG_RUNTIME_DIR", runtime.Path());
      auto log = MakeRef<TLogLines>();
      SetLog(log);
      EXPECT_EQ(TempFolderRoot(), ExpectedRoot());
      EXPECT_TRUE(NewTempFolder().starts_with(ExpectedRoot()));
      EXPECT_EQ(log->Lines, "Temporary root " + root + " not used: " + c.Problem + "\n");
      SetLog(nullptr);
    });
    if (c.Make != "file") {
      EXPECT_EQ(ReadFileBytes(old + "/[OLD]/keep.txt"), "not ours to delete");
      EXPECT_TRUE(fs::exists(old + "/[OLD].lock"));
      EXPECT_EQ(std::distance(fs::directory_iterator(old), fs::directory_iterator()), 2);
    }
  }
}

TEST(PrivateFolderProblem, OnlyARealFolderOfTheUserAloneServes) {
  const uid_t user = 1000;
  struct TCase {
    mode_t Mode;
    uid_t Owner;
    const char* Problem;
  } cases[] = {
      {S_IFDIR | 0700, user, ""},
      {S_IFDIR | 0700, 0, "it belongs to user 0"},
      {S_IFDIR | 0700, 1001, "it belongs to user 1001"},
      {S_IFDIR | 0777, user, "others may enter it"},
      {S_IFDIR | 0770, user, "others may enter it"},
      {S_IFDIR | 0710, user, "others may enter it"},
      {S_IFDIR | 0704, user, "others may enter it"},
      {S_IFDIR | 0500, user, "its owner may not use it fully"},
      {S_IFLNK | 0777, user, "it is a link"},
      {S_IFREG | 0600, user, "it is no folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.Mode << std::dec << " owner " << c.Owner);
    struct stat st = {};
    st.st_mode = c.Mode;
    st.st_uid = c.Owner;
    EXPECT_EQ(PrivateFolderProblem(st, user), c.Problem);
  }
}

TEST_F(TempFolders, FilesGoIntoTheFolderThatWasMadeEvenWhenItsNameIsSwapped) {
  InChildProcess([&] {
    TScratchFolder elsewhere;
    elsewhere.Write("keep.txt", "not ours");
    std::string folder = NewTempFolder();
    std::string name = folder.substr(0, folder.size() - 1);
    // Someone renames the new folder and puts a link to another place there.
    fs::rename(name, name + "-moved");
    fs::create_directory_symlink(elsewhere.Path(), name);

    auto file = CreateTempFile(folder, "ffmpeg.dll");
    file->WriteText("MZ media");
    file.Reset();
    EXPECT_EQ(ReadFileBytes(name + "-moved/ffmpeg.dll"), "MZ media");
    EXPECT_FALSE(fs::exists(elsewhere / "ffmpeg.dll"));

    // Removing the run's folders removes the link, not what it leads to.
    RemoveTempFolders();
    EXPECT_FALSE(fs::exists(fs::symlink_status(name)));
    EXPECT_EQ(ReadFileBytes(elsewhere / "keep.txt"), "not ours");
  });
}

TEST_F(TempFolders, CreateTempFileMakesOnlyNewPlainFiles) {
  InChildProcess([&] {
    TScratchFolder elsewhere;
    std::string target = elsewhere.Write("target.txt", "untouched");
    std::string folder = NewTempFolder();
    WriteFileBytes(folder + "present.dll", "present");
    fs::create_symlink(target, folder + "link.dll");
    struct TCase {
      std::string Folder;
      std::string Name;
    } refused[] = {
        {folder, "present.dll"},      // never replaced
        {folder, "link.dll"},         // never followed
        {folder, "../outside.dll"},   // a plain name only
        {folder, ".."},               //
        {folder, ""},                 //
        {elsewhere.Path(), "x.dll"},  // not a folder of this run
        {ExpectedRoot(), "x.dll"},    // nor the root itself
    };
    for (const auto& c : refused) {
      SCOPED_TRACE(c.Folder + " " + c.Name);
      EXPECT_THROW(CreateTempFile(c.Folder, c.Name), EStreamError);
    }
    EXPECT_EQ(ReadFileBytes(folder + "present.dll"), "present");
    EXPECT_EQ(ReadFileBytes(target), "untouched");
    EXPECT_FALSE(fs::exists(ExpectedRoot() + "outside.dll"));
    EXPECT_FALSE(fs::exists(elsewhere / "x.dll"));

    // The folder is known with or without its trailing separator.
    auto file = CreateTempFile(folder.substr(0, folder.size() - 1), "new.dll");
    EXPECT_EQ(file->FileName(), folder + "new.dll");
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
