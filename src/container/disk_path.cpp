#include "container/disk_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "base/text.h"

namespace viv {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> MatchInFolder(const std::string& folder, std::string_view component) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                          &::closedir);
  if (!dir) return std::nullopt;
  while (dirent* entry = ::readdir(dir.get())) {
    if (SameText(entry->d_name, component)) return std::string(entry->d_name);
  }
  return std::nullopt;
}

}  // namespace

std::string DiskPathOf(std::string_view showName) {
  std::string path(showName);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    path.erase(0, 2);
    if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  }
  return path;
}

std::optional<std::string> FindDiskPath(std::string_view showName) {
  std::string path = DiskPathOf(showName);
  if (path.empty()) return std::nullopt;
  if (Exists(path)) return path;

  // Walk the components, taking each as it is when it exists and otherwise the
  // entry of its folder that equals it with letter case ignored.
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = path[0] == '/' ? 1 : 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string_view component = std::string_view(path).substr(pos, slash - pos);
    pos = slash + 1;
    if (component.empty() || component == ".") continue;
    std::string candidate = resolved + std::string(component);
    if (component != ".." && !Exists(candidate)) {
      auto match = MatchInFolder(resolved, component);
      if (!match) return std::nullopt;
      candidate = resolved + *match;
    }
    resolved = candidate;
    if (slash < path.size()) resolved += '/';
  }
  if (resolved.empty() || !Exists(resolved)) return std::nullopt;
  return resolved;
}

bool DiskFileExists(std::string_view showName) { return FindDiskPath(showName).has_value(); }

}  // namespace viv
