#include "container/temp_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "base/exceptions.h"
#include "base/guid.h"
#include "base/log.h"
#include "base/player_path.h"
#include "base/text.h"

namespace viv {
namespace {

constexpr const char* kRootName = "QUORVANE_TEMP_ROOT";
constexpr const char* kRuntimeFolderVariable = "XDG_RUNTIME_DIR";
constexpr std::string_view kLockSuffix = ".lock";
constexpr int kMaxFolderAttempts = 100;
constexpr mode_t kPrivateMode = 0700;
// Our folders hold single files; a deeper tree is not the player's and stays.
constexpr int kMaxRemovalDepth = 32;
constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct TOpenRoot {
  std::string Path;  // with trailing separator
  int Fd = -1;
};

struct TFolder {
  std::string Path;  // without trailing separator
  std::string Name;  // "[GUID]"
  int Lock = -1;     // held lock file
  int Fd = -1;       // the folder itself
};

std::mutex gLock;
std::optional<TOpenRoot> gRoot;
// Folders of this run by case-folded path.
std::map<std::string, TFolder> gFolders;
bool gExitHookInstalled = false;

std::string ErrorText(int error) { return std::strerror(error); }

bool IsUsableFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

// The places the system temporary folder may be, in order of preference. The
// player's own "TEMP" is made when it is reached.
constexpr int kTempFolderCandidates = 4;
std::string TempFolderCandidate(int index) {
  switch (index) {
    case 0: {
      const char* tmpdir = std::getenv("TMPDIR");
      return tmpdir ? tmpdir : "";
    }
    case 1: return "/tmp";
    case 2: {
      if (PlayerFolder().empty()) return {};
      std::string own = JoinPath(PlayerFolder(), "TEMP");
      ::mkdir(own.c_str(), kPrivateMode);
      return own;
    }
    case 3: return PlayerFolder();
    default: return {};
  }
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a root candidate, creating it when missing; -1, with the reason in
// the log, when it must not be used.
int OpenPrivateFolder(const std::string& path) {
  ::mkdir(path.c_str(), kPrivateMode);
  int fd = ::open(path.c_str(), kDirectoryFlags);
  int openError = errno;
  std::string problem;
  struct stat named, opened;
  if (::lstat(path.c_str(), &named) != 0)
    problem = ErrorText(errno);
  else
    problem = PrivateFolderProblem(named, ::geteuid());
  if (problem.empty() && fd < 0) problem = ErrorText(openError);
  if (problem.empty() && (::fstat(fd, &opened) != 0 || !SameFile(opened, named)))
    problem = "it was replaced while it was opened";
  if (problem.empty()) return fd;
  LogLine("Temporary root " + path + " not used: " + problem);
  if (fd >= 0) ::close(fd);
  return -1;
}

// Creates the lock file exclusively and holds it; -1 when that fails.
int CreateHeldLock(int rootFd, const std::string& lockName) {
  int fd =
      ::openat(rootFd, lockName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Another run's sweep took it in the moment between; it removes the pair.
    ::close(fd);
    return -1;
  }
  return fd;
}

void RecreateLockFile(int rootFd, const std::string& lockName) {
  int fd =
      ::openat(rootFd, lockName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

std::vector<std::string> FolderEntries(int folderFd) {
  std::vector<std::string> names;
  int fd = ::openat(folderFd, ".", kDirectoryFlags);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return names;
  }
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

// Removes name below parentFd with everything in it; links are removed, never
// followed. True when nothing of that name is left.
bool RemoveTreeAt(int parentFd, const std::string& name, int depth = 0) {
  struct stat st;
  if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(parentFd, name.c_str(), 0) == 0 || errno == ENOENT;
  if (depth >= kMaxRemovalDepth) return false;
  int fd = ::openat(parentFd, name.c_str(), kDirectoryFlags);
  if (fd < 0) return false;
  bool removed = true;
  for (const auto& entry : FolderEntries(fd))
    removed = RemoveTreeAt(fd, entry, depth + 1) && removed;
  ::close(fd);
  return removed && (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT);
}

// Removes the folders of earlier runs whose lock files are free.
void Sweep(int rootFd) {
  for (const auto& lockName : FolderEntries(rootFd)) {
    if (!lockName.ends_with(kLockSuffix) || lockName.size() == kLockSuffix.size()) continue;
    int fd = ::openat(rootFd, lockName.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, now;
    bool free =
        ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(rootFd, lockName.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(held, now);
    if (free) {
      std::string folder = lockName.substr(0, lockName.size() - kLockSuffix.size());
      ::unlinkat(rootFd, lockName.c_str(), 0);
      if (!RemoveTreeAt(rootFd, folder)) RecreateLockFile(rootFd, lockName);
    }
    ::close(fd);
  }
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

const TOpenRoot& OpenRootLocked() {
  if (gRoot) return *gRoot;
  TOpenRoot root;
  std::string tried = std::string(kRootName) + "/";
  auto take = [&](const std::string& path) {
    tried = path + "/";
    root.Fd = OpenPrivateFolder(path);
    if (root.Fd >= 0) root.Path = tried;
    return root.Fd >= 0;
  };
  // The runtime folder is the user's own already; elsewhere the name says whose.
  const char* runtime = std::getenv(kRuntimeFolderVariable);
  bool found = runtime && runtime[0] == '/' && take(JoinPath(runtime, kRootName));
  const std::string userRoot = std::string(kRootName) + "-" + std::to_string(::geteuid());
  for (int i = 0; !found && i < kTempFolderCandidates; ++i) {
    std::string folder = TempFolderCandidate(i);
    found = IsUsableFolder(folder) && take(JoinPath(folder, userRoot));
  }
  if (!found) VIV_FAIL("VendorTemp Create Error: " + tried);
  Sweep(root.Fd);
  // The root must still be the folder that was opened.
  struct stat named, opened;
  if (::lstat(WithoutTrailingSeparator(root.Path).c_str(), &named) != 0 ||
      ::fstat(root.Fd, &opened) != 0 || !SameFile(named, opened)) {
    ::close(root.Fd);
    VIV_FAIL("Temp Path not Found");
  }
  gRoot = root;
  return *gRoot;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

std::string PrivateFolderProblem(const struct stat& attributes, uid_t user) {
  if (S_ISLNK(attributes.st_mode)) return "it is a link";
  if (!S_ISDIR(attributes.st_mode)) return "it is no folder";
  if (attributes.st_uid != user) return "it belongs to user " + std::to_string(attributes.st_uid);
  if ((attributes.st_mode & (S_IRWXG | S_IRWXO)) != 0) return "others may enter it";
  if ((attributes.st_mode & S_IRWXU) != S_IRWXU) return "its owner may not use it fully";
  return {};
}

std::string SystemTempFolder() {
  for (int i = 0; i < kTempFolderCandidates; ++i) {
    std::string folder = TempFolderCandidate(i);
    if (IsUsableFolder(folder)) return folder;
  }
  return PlayerFolder();
}

std::string TempFolderRoot() {
  std::lock_guard guard(gLock);
  return OpenRootLocked().Path;
}

std::string NewTempFolder() {
  std::lock_guard guard(gLock);
  const TOpenRoot& root = OpenRootLocked();
  for (int attempt = 0; attempt < kMaxFolderAttempts; ++attempt) {
    std::string name = "[" + NewGuidText() + "]";
    if (::mkdirat(root.Fd, name.c_str(), kPrivateMode) != 0) continue;
    int folderFd = ::openat(root.Fd, name.c_str(), kDirectoryFlags);
    int lockFd = folderFd < 0 ? -1 : CreateHeldLock(root.Fd, name + std::string(kLockSuffix));
    if (lockFd < 0) {
      if (folderFd >= 0) ::close(folderFd);
      ::unlinkat(root.Fd, name.c_str(), AT_REMOVEDIR);
      continue;
    }
    std::string path = root.Path + name;
    gFolders[FoldCase(path)] = {path, name, lockFd, folderFd};
    if (!gExitHookInstalled) {
      std::atexit(RemoveTempFolders);
      gExitHookInstalled = true;
    }
    return path + "/";
  }
  VIV_FAIL("VendorTemp Create Error: " + root.Path);
}

TRef<TFileStream> CreateTempFile(const std::string& folder, std::string_view fileName) {
  std::string path = WithoutTrailingSeparator(folder);
  std::string target = path + "/" + std::string(fileName);
  if (!IsPlainName(fileName)) throw EStreamError("Cannot create file \"" + target + "\"");
  std::lock_guard guard(gLock);
  auto it = gFolders.find(FoldCase(path));
  if (it == gFolders.end())
    throw EStreamError("Cannot create file \"" + target + "\": not a temporary folder");
  std::string name(fileName);
  int fd = ::openat(it->second.Fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600);
  if (fd < 0) throw EStreamError("Cannot create file \"" + target + "\": " + ErrorText(errno));
  return MakeRef<TFileStream>(fd, it->second.Path + "/" + name, false);
}

void RemoveTempFolders() {
  std::lock_guard guard(gLock);
  if (!gRoot) return;
  const int rootFd = gRoot->Fd;
  for (auto& [key, folder] : gFolders) {
    std::string lockName = folder.Name + std::string(kLockSuffix);
    ::close(folder.Fd);
    ::close(folder.Lock);
    struct stat st;
    if (::unlinkat(rootFd, lockName.c_str(), 0) != 0 &&
        ::fstatat(rootFd, lockName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
      continue;
    if (!RemoveTreeAt(rootFd, folder.Name)) RecreateLockFile(rootFd, lockName);
  }
  gFolders.clear();
}

}  // namespace viv
