// Path modifiers: "%token%" parts of show names that stand for folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace viv {

struct TPathModifierItem {
  std::string Token;   // "%styles%"
  std::string Folder;  // replacement, absolute
  bool Default = false;
};

// The start-up list: "%styles%" and "%effects%", each first beside the player
// ("All\Themes", "All\Effects"), then in the per-user data folder (default).
std::vector<TPathModifierItem> StandardPathModifiers();
// Replaces the process-wide list. Folders get their first environment
// reference expanded and are made absolute against the player's folder.
void SetPathModifiers(std::vector<TPathModifierItem> items);
std::vector<TPathModifierItem> PathModifiers();

// Expands the first of "%APPDATA%", "%LOCALAPPDATA%", "%PROGRAMDATA%",
// "%SYSTEMROOT%", "%TEMP%" (the desktop's folders) in folder.
std::string ExpandEnvironmentReference(std::string_view folder);

// For every "%"-delimited token in the name, the modifiers with that token are
// tried in list order: the first candidate whose file exists wins; a default
// modifier's candidate stands until then.
std::string ApplyPathModifiers(std::string_view name);

}  // namespace viv
