// The player's temporary folders: "[GUID]" folders under one root, each with a
// lock file held for as long as the run that made it lives.
//
// The root belongs to one user: it lives in $XDG_RUNTIME_DIR, or else in the
// system temporary folder under a name that carries the user id; it is a real
// folder (no link) that the user owns and nobody else may enter. Everything
// below it is made relative to the opened root without following links, so a
// name swapped for a link cannot send the player's files elsewhere.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

#include "base/ref_object.h"
#include "base/stream.h"

namespace viv {

// $TMPDIR, else /tmp, else the player's folder + "TEMP" (created), else the
// player's folder.
std::string SystemTempFolder();

// The root: "$XDG_RUNTIME_DIR/QUORVANE_TEMP_ROOT/" when that variable names a
// folder, else "<temp>/QUORVANE_TEMP_ROOT-<uid>/" in the first usable of
// $TMPDIR, /tmp, the player's folder + "TEMP" and the player's folder. A
// candidate that exists but is not private to this user is logged and passed
// over. The first call creates the root (mode 0700) and removes the folders of
// earlier runs whose lock files nobody holds any more. Failures are assertion
// failures ("VendorTemp Create Error: ", "Temp Path not Found").
std::string TempFolderRoot();

// Why a folder with these attributes (as lstat gives them) must not be the
// root of a user: not a real folder, another owner, group or other access, no
// full access for the owner. Empty when it may.
std::string PrivateFolderProblem(const struct stat& attributes, uid_t user);

// A new, empty folder under the root, with trailing separator; it and its lock
// file are removed by RemoveTempFolders (registered to run at exit).
std::string NewTempFolder();

// Creates the new file fileName (a plain name) inside folder, a folder that
// NewTempFolder made in this run, through the folder's descriptor: it never
// follows a link and never replaces an existing file. Raises EStreamError.
TRef<TFileStream> CreateTempFile(const std::string& folder, std::string_view fileName);

// Removes this run's folders; a folder that cannot be removed keeps a lock
// file, free for the next run's sweep.
void RemoveTempFolders();

}  // namespace viv
