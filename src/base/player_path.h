// Where the player's own file lives.
#pragma once

#include <string>

namespace viv {

// The running program's file (/proc/self/exe), unless a caller set another one.
std::string PlayerFilePath();
// The folder of PlayerFilePath(), without trailing separator.
std::string PlayerFolder();
// Start-up uses the real path; tools and tests may stand in another one.
void SetPlayerFilePath(std::string path);

// Folder part of a path with "/" separators (empty for a bare name) and the last component.
std::string FolderOf(const std::string& path);
std::string LastComponent(const std::string& path);
// Joins with a single "/" between.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace viv
