// Show names are Windows-style paths ("images\a.jpg", "C:\Photos\x.jpg"); only
// here do they become disk paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace viv {

// "\" becomes "/" and a drive prefix "X:" is dropped (its path starts at "/").
std::string DiskPathOf(std::string_view showName);

// The disk file a show name stands for: the exact path when it exists, else the
// same path with letter case ignored (component by component). None when there
// is no such file or folder.
std::optional<std::string> FindDiskPath(std::string_view showName);
bool DiskFileExists(std::string_view showName);

}  // namespace viv
