// Choosing the show file and loading it.
#pragma once

#include <optional>
#include <string>

#include "container/show_locator.h"

namespace viv {

class TPlayerCommandLine;

struct TShowChoice {
  std::string FileName;
  bool PackageMode = true;  // false: a project description on disk (preview)
};

// "-filename" (preview), else "-exename", else a show named without a switch,
// else the player's own file. Names given by switch are show names ("\" or "/"
// between folders, a drive letter dropped) relative to the player's folder,
// each leading "..\" going one folder up; a name given without a switch is a
// disk path relative to the working folder.
TShowChoice ChooseShowFile(const TPlayerCommandLine& commandLine);
std::string ResolveAgainstPlayerFolder(const std::string& name);

// Replaces the extension of the last component (or appends one).
std::string ChangeExtension(const std::string& name, const std::string& extension);

// The file to open for a package show name (".app" bundles, the replace pair).
std::string ResolveShowFile(const std::string& name);

struct TLoadedShow {
  TRef<TVivShowLocator> Show;
  bool ExclusiveModeAllowed = false;
};

// Opens the show; on failure the message has been shown and the result is none.
std::optional<TLoadedShow> LoadShowFile(const std::string& name, bool packageMode);

// Whether exclusive full-screen mode may be used for the show: not when the
// project's [Main] "opt_scr_noexclusive" reads true.
bool ExclusiveModeAllowed(const TVivShowLocator& show);

}  // namespace viv
