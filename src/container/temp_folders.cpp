#include "container/temp_folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>

#include "base/exceptions.h"
#include "base/guid.h"
#include "base/player_path.h"
#include "base/text.h"

namespace viv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootName = "QUORVANE_TEMP_ROOT";
constexpr const char* kLockSuffix = ".lock";
constexpr int kMaxFolderAttempts = 100;

std::mutex gLock;
std::optional<std::string> gRoot;
// Folders of this run (case-folded path) with their held lock files.
std::map<std::string, std::pair<std::string, int>> gFolders;
bool gExitHookInstalled = false;

bool IsUsableFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Creates the lock file exclusively and holds it; -1 when that fails.
int CreateHeldLock(const std::string& lockPath) {
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Another run's sweep took it in the moment between; it removes the pair.
    ::close(fd);
    return -1;
  }
  return fd;
}

void RecreateLockFile(const std::string& lockPath) {
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

bool RemoveTree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);  // never follows symbolic links
  return !ec && !fs::exists(fs::symlink_status(path, ec));
}

// Removes the folders of earlier runs whose lock files are free.
void Sweep(const std::string& root) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root, ec)) {
    std::string lockPath = entry.path().string();
    if (!lockPath.ends_with(kLockSuffix) || !fs::is_regular_file(entry.symlink_status(ec)))
      continue;
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat held, now;
    bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
                ::stat(lockPath.c_str(), &now) == 0 && held.st_ino == now.st_ino;
    if (free) {
      std::string folder = lockPath.substr(0, lockPath.size() - std::string(kLockSuffix).size());
      ::unlink(lockPath.c_str());
      if (!RemoveTree(folder)) RecreateLockFile(lockPath);
    }
    ::close(fd);
  }
}

}  // namespace

std::string SystemTempFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir && IsUsableFolder(tmpdir)) return tmpdir;
  if (IsUsableFolder("/tmp")) return "/tmp";
  std::string own = JoinPath(PlayerFolder(), "TEMP");
  ::mkdir(own.c_str(), 0700);
  if (IsUsableFolder(own)) return own;
  return PlayerFolder();
}

std::string TempFolderRoot() {
  std::lock_guard guard(gLock);
  if (gRoot) return *gRoot;
  std::string root = JoinPath(SystemTempFolder(), kRootName) + "/";
  if (!IsUsableFolder(root) && ::mkdir(root.c_str(), 0700) != 0 && !IsUsableFolder(root))
    VIV_FAIL("VendorTemp Create Error: " + root);
  Sweep(root);
  if (!IsUsableFolder(root)) VIV_FAIL("Temp Path not Found");
  gRoot = root;
  return root;
}

std::string NewTempFolder() {
  std::string root = TempFolderRoot();
  std::lock_guard guard(gLock);
  for (int attempt = 0; attempt < kMaxFolderAttempts; ++attempt) {
    std::string folder = root + "[" + NewGuidText() + "]";
    if (::mkdir(folder.c_str(), 0700) != 0) continue;
    std::string lockPath = folder + kLockSuffix;
    int fd = CreateHeldLock(lockPath);
    if (fd < 0) {
      ::rmdir(folder.c_str());
      continue;
    }
    gFolders[FoldCase(folder)] = {folder, fd};
    if (!gExitHookInstalled) {
      std::atexit(RemoveTempFolders);
      gExitHookInstalled = true;
    }
    return folder + "/";
  }
  VIV_FAIL("VendorTemp Create Error: " + root);
}

void RemoveTempFolders() {
  std::lock_guard guard(gLock);
  for (auto& [key, folder] : gFolders) {
    const auto& [path, fd] = folder;
    std::string lockPath = path + kLockSuffix;
    ::close(fd);
    if (::unlink(lockPath.c_str()) != 0 && ::access(lockPath.c_str(), F_OK) == 0) continue;
    if (!RemoveTree(path)) RecreateLockFile(lockPath);
  }
  gFolders.clear();
}

}  // namespace viv
