#include "container/path_modifiers.h"

#include <cstdlib>
#include <mutex>
#include <optional>

#include "base/player_path.h"
#include "base/text.h"
#include "container/disk_path.h"
#include "container/temp_folders.h"

namespace viv {
namespace {

constexpr size_t kMaxReferenceLength = 14;

std::mutex gLock;
std::optional<std::vector<TPathModifierItem>> gItems;

std::string EnvOr(const char* variable, std::string fallback) {
  const char* value = std::getenv(variable);
  return value && *value ? std::string(value) : std::move(fallback);
}

std::string HomeFolder() { return EnvOr("HOME", "/"); }

std::optional<std::string> ReferenceFolder(std::string_view reference) {
  if (SameText(reference, "%APPDATA%"))
    return EnvOr("XDG_CONFIG_HOME", JoinPath(HomeFolder(), ".config"));
  if (SameText(reference, "%LOCALAPPDATA%"))
    return EnvOr("XDG_DATA_HOME", JoinPath(HomeFolder(), ".local/share"));
  if (SameText(reference, "%PROGRAMDATA%")) return std::string("/usr/share");
  if (SameText(reference, "%SYSTEMROOT%")) return std::string("/");
  if (SameText(reference, "%TEMP%")) return SystemTempFolder();
  return std::nullopt;
}

bool IsAbsolute(std::string_view folder) {
  std::string disk = DiskPathOf(folder);
  return !disk.empty() && disk[0] == '/';
}

TPathModifierItem Prepared(TPathModifierItem item) {
  item.Folder = ExpandEnvironmentReference(item.Folder);
  if (!IsAbsolute(item.Folder)) item.Folder = JoinPath(PlayerFolder(), item.Folder);
  return item;
}

std::string FilePart(const std::string& name) { return name.substr(0, name.find('|')); }

}  // namespace

std::vector<TPathModifierItem> StandardPathModifiers() {
  return {
      {"%styles%", "All\\Themes", false},
      {"%styles%", "%LOCALAPPDATA%\\Quorvane\\Styles", true},
      {"%effects%", "All\\Effects", false},
      {"%effects%", "%LOCALAPPDATA%\\Quorvane\\Effects", true},
  };
}

std::string ExpandEnvironmentReference(std::string_view folder) {
  size_t start = folder.find('%');
  while (start != std::string_view::npos) {
    size_t end = folder.find('%', start + 1);
    if (end == std::string_view::npos) break;
    std::string_view reference = folder.substr(start, end - start + 1);
    if (reference.size() <= kMaxReferenceLength) {
      if (auto replacement = ReferenceFolder(reference)) {
        return std::string(folder.substr(0, start)) + *replacement +
               std::string(folder.substr(end + 1));
      }
    }
    start = folder.find('%', end + 1);
  }
  return std::string(folder);
}

void SetPathModifiers(std::vector<TPathModifierItem> items) {
  for (auto& item : items) item = Prepared(std::move(item));
  std::lock_guard guard(gLock);
  gItems = std::move(items);
}

std::vector<TPathModifierItem> PathModifiers() {
  {
    std::lock_guard guard(gLock);
    if (gItems) return *gItems;
  }
  std::vector<TPathModifierItem> standard;
  for (auto& item : StandardPathModifiers()) standard.push_back(Prepared(std::move(item)));
  std::lock_guard guard(gLock);
  if (!gItems) gItems = std::move(standard);
  return *gItems;
}

std::string ApplyPathModifiers(std::string_view name) {
  std::string result(name);
  if (result.find('%') == std::string::npos) return result;
  auto items = PathModifiers();
  size_t searchFrom = 0;
  for (;;) {
    size_t start = result.find('%', searchFrom);
    if (start == std::string::npos) break;
    size_t end = result.find('%', start + 1);
    if (end == std::string::npos) break;
    std::string token = result.substr(start, end - start + 1);
    std::optional<std::string> chosen;
    for (const auto& item : items) {
      if (!SameText(item.Token, token)) continue;
      std::string candidate = result.substr(0, start) + item.Folder + result.substr(end + 1);
      if (DiskFileExists(FilePart(candidate))) {
        chosen = std::move(candidate);
        break;
      }
      if (item.Default && !chosen) chosen = std::move(candidate);
    }
    if (chosen) {
      size_t replacedLength = chosen->size() - (result.size() - (end + 1));
      result = std::move(*chosen);
      searchFrom = replacedLength;
    } else {
      searchFrom = end;  // not a token of ours; its closing "%" may open the next one
    }
  }
  return result;
}

}  // namespace viv
