#include "base/player_path.h"

#include <unistd.h>

#include <mutex>

namespace viv {
namespace {

std::mutex gLock;
std::string gPlayerPath;

std::string ReadOwnExecutable() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

std::string PlayerFilePath() {
  std::lock_guard guard(gLock);
  if (gPlayerPath.empty()) gPlayerPath = ReadOwnExecutable();
  return gPlayerPath;
}

void SetPlayerFilePath(std::string path) {
  std::lock_guard guard(gLock);
  gPlayerPath = std::move(path);
}

std::string PlayerFolder() { return FolderOf(PlayerFilePath()); }

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (name.empty()) return folder;
  bool folderSlash = folder.back() == '/';
  bool nameSlash = name.front() == '/';
  if (folderSlash && nameSlash) return folder + name.substr(1);
  if (folderSlash || nameSlash) return folder + name;
  return folder + "/" + name;
}

}  // namespace viv
