#include "viewer/show_loading.h"

#include <sys/stat.h>
#include <unistd.h>

#include "base/player_path.h"
#include "base/text.h"
#include "container/aux_libraries.h"
#include "container/disk_path.h"
#include "show/viv_source.h"
#include "viewer/command_line.h"
#include "viewer/message_box.h"

namespace viv {
namespace {

constexpr const char* kCantLoadShow = "Can`t Load Show";
constexpr const char* kCantLoadProject = "Can`t Load .viv File";
constexpr const char* kBundleData = "Contents/Resources/slideshow.dat";
constexpr const char* kNoSlides = "No Slides in Presentation";

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Extension(const std::string& name) {
  size_t slash = name.find_last_of("/\\");
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return name.substr(dot);
}

std::string ResolveAgainstWorkingFolder(const std::string& name) {
  if (name.empty() || name[0] == '/') return name;
  char buffer[4096];
  if (!::getcwd(buffer, sizeof buffer)) return name;
  return JoinPath(buffer, name);
}

// Builds the show source; a project it cannot play is refused with its message.
bool PrepareSource(TVivShowLocator& show) {
  try {
    if (ShowSource(show)->SlideCount() > 0) return true;
    ShowMessageBox(kErrorTitle, kNoSlides);
  } catch (const TCommonException& e) {
    ShowMessageBox(kErrorTitle, e.Message());
  }
  return false;
}

}  // namespace

std::string ChangeExtension(const std::string& name, const std::string& extension) {
  std::string current = Extension(name);
  return name.substr(0, name.size() - current.size()) + extension;
}

std::string ResolveAgainstPlayerFolder(const std::string& name) {
  // Switch values are written like the show's own names ("..\Shows\a.exe");
  // both switches turn them into disk paths the same way.
  std::string path = DiskPathOf(name);
  if (path.empty() || path[0] == '/') return path;
  std::string folder = PlayerFolder();
  std::string_view rest = path;
  while (rest.starts_with("../")) {
    rest.remove_prefix(3);
    folder = FolderOf(folder);
  }
  return JoinPath(folder, std::string(rest));
}

TShowChoice ChooseShowFile(const TPlayerCommandLine& commandLine) {
  if (auto file = commandLine.Value("filename"); file && !file->empty())
    return {ResolveAgainstPlayerFolder(*file), false};
  if (auto file = commandLine.Value("exename"); file && !file->empty())
    return {ResolveAgainstPlayerFolder(*file), true};
  if (auto file = commandLine.PositionalShow()) {
    // Like the show tool: a project description opens for preview.
    bool preview = EndsWithText(*file, ".viv");
    return {ResolveAgainstWorkingFolder(*file), !preview};
  }
  return {PlayerFilePath(), true};
}

std::string ResolveShowFile(const std::string& name) {
  if (!ReplacedProject(name).empty()) return name;
  std::string extension = Extension(name);
  if (LowerCase(extension) == ".exe") return name;
  if (extension == ".app") {
    std::string data = JoinPath(name, kBundleData);
    if (FileExists(data)) return data;
    return ChangeExtension(name, ".vxshow");
  }
  return name;
}

bool ExclusiveModeAllowed(const TVivShowLocator& show) {
  TIniFile* project = show.Project();
  return !(project && project->ReadBool("Main", "opt_scr_noexclusive", false));
}

std::optional<TLoadedShow> LoadShowFile(const std::string& name, bool packageMode) {
  if (packageMode) {
    std::string first = ResolveShowFile(name);
    TShowOpenResult opened = OpenPackageShow(first);
    std::string second;
    if (!opened.Show) {
      std::string firstError = opened.ErrorText;
      second = ResolveShowFile(ChangeExtension(name, ".vxshow"));
      opened = OpenPackageShow(second);
      if (!opened.Show) {
        std::string error = !opened.ErrorText.empty() ? opened.ErrorText
                            : !firstError.empty()     ? firstError
                                                      : std::string(kCantLoadShow);
        ShowMessageBox(kErrorTitle, error + "\r\"" + first + "\" or \"" + second + "\"");
        return std::nullopt;
      }
    }
    if (!PrepareSource(*opened.Show)) return std::nullopt;
    TLoadedShow loaded{opened.Show, ExclusiveModeAllowed(*opened.Show)};
    ExtractFfmpegLibrary(loaded.Show.Get());
    return loaded;
  }

  ExtractFfmpegLibrary(nullptr);
  std::string windowsName = name;
  for (char& c : windowsName)
    if (c == '/') c = '\\';
  auto show = OpenProjectShow(windowsName);
  if (!show) {
    ShowMessageBox(kErrorTitle, std::string(kCantLoadProject) + "\r\"" + name + "\"");
    return std::nullopt;
  }
  if (!PrepareSource(*show)) return std::nullopt;
  return TLoadedShow{show, ExclusiveModeAllowed(*show)};
}

}  // namespace viv
