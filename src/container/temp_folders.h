// The player's temporary folders: "[GUID]" folders under one root, each with a
// lock file held for as long as the run that made it lives.
#pragma once

#include <string>

namespace viv {

// $TMPDIR, else /tmp, else the player's folder + "TEMP" (created), else the
// player's folder.
std::string SystemTempFolder();

// The root "<temp>/QUORVANE_TEMP_ROOT/". The first call creates it and removes
// the folders of earlier runs whose lock files nobody holds any more. Failures
// are assertion failures ("VendorTemp Create Error: ", "Temp Path not Found").
std::string TempFolderRoot();

// A new, empty folder under the root, with trailing separator; it and its lock
// file are removed by RemoveTempFolders (registered to run at exit).
std::string NewTempFolder();

// Removes this run's folders; a folder that cannot be removed keeps a lock
// file, free for the next run's sweep.
void RemoveTempFolders();

}  // namespace viv
