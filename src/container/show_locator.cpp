#include "container/show_locator.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/text.h"
#include "container/disk_path.h"
#include "container/package_format.h"
#include "container/path_modifiers.h"

namespace viv {
namespace {

constexpr std::string_view kOpenError = "Executable SlideShow Open Error";

std::mutex gReplaceLock;
TReplacePair gReplacePair;
std::atomic<TShowOpenedHook> gShowOpenedHook{nullptr};

void ShowOpened(TVivShowLocator& show) {
  if (TShowOpenedHook hook = gShowOpenedHook) hook(show);
}

// The folder part of a show name ("C:\Shows\a.exe" -> "C:\Shows\"), as a disk path.
std::string NameFolder(std::string_view name) {
  size_t cut = name.find_last_of("\\/");
  if (cut == std::string_view::npos) return {};
  return DiskPathOf(name.substr(0, cut + 1));
}

}  // namespace

TVivShowLocator::TVivShowLocator(TRef<TFileAccessor> accessor, std::string projectName)
    : fAccessor(std::move(accessor)), fProjectName(std::move(projectName)) {
  VIV_ASSERT(fAccessor, "TVivShowLocator needs an accessor");
  if (auto stream = fAccessor->OpenStream(fProjectName)) {
    auto project = MakeRef<TIniFile>();
    if (project->LoadFromStream(*stream)) fProject = project;
  }
  if (!fProject) return;
  fVersion = fProject->ReadText("Main", "VivVersion");
  if (auto* mapped = dynamic_cast<TMappedFileSource*>(&fAccessor->Source())) {
    if (TIniSection* map = fProject->FindSection("FileMap")) mapped->LoadFileMap(*map);
    if (TIniSection* rotation = fProject->FindSection("RotationState"))
      mapped->LoadOrientations(*rotation);
  }
}

TRef<TRefObject> TVivShowLocator::SourceOrMake(const std::function<TRef<TRefObject>()>& make) {
  std::lock_guard guard(fSourceLock);
  if (!fSource) fSource = make();
  return fSource;
}

TShowOpenResult OpenPackageShow(const std::string& fileName) {
  std::string replacement = ReplacedProject(fileName);
  if (!replacement.empty()) {
    auto show = OpenProjectShow(replacement);
    return {show, show ? std::string() : std::string(kOpenError)};
  }
  auto package = MakeRef<TVivUnpack>(fileName);
  if (!package->IsOpen()) return {nullptr, package->ErrorText()};
  auto source = MakeRef<TPackedFileSource>(package);
  auto accessor = MakeRef<TFileAccessor>(source, NameFolder(fileName));
  auto show = MakeRef<TVivShowLocator>(accessor, std::string(kProjectEntryName));
  if (!show->Project()) return {nullptr, std::string(kOpenError)};
  show->SetFromPackage(true);
  ShowOpened(*show);
  return {show, {}};
}

TRef<TVivShowLocator> OpenProjectShow(const std::string& projectPath) {
  auto source = MakeRef<TMappedFileSource>();
  auto accessor = MakeRef<TFileAccessor>(source, NameFolder(projectPath));
  auto show = MakeRef<TVivShowLocator>(accessor, projectPath);
  TIniFile* project = show->Project();
  if (!project) return nullptr;
  // Files the project names without a usable path are looked for beside the
  // player it is built into; without one, beside the project itself.
  std::string exe = project->ReadText("Main", "opt_exefn");
  if (!exe.empty()) accessor->SetBaseFolder(NameFolder(exe));
  if (TIniSection* modifiers = project->FindSection("PathModifiers")) {
    std::vector<TPathModifierItem> items;
    // Every item takes lines of the section, so a count beyond its line count
    // is not backed by the file.
    int64_t count = std::min<int64_t>(modifiers->ReadInteger("Count", 0),
                                      static_cast<int64_t>(modifiers->Count()));
    for (int64_t i = 0; i < count; ++i) {
      std::string n = std::to_string(i);
      items.push_back({modifiers->ReadText("Env" + n), modifiers->ReadText("Path" + n),
                       modifiers->ReadBool("Def" + n, false)});
    }
    SetPathModifiers(std::move(items));
  }
  ShowOpened(*show);
  return show;
}

void SetShowOpenedHook(TShowOpenedHook hook) { gShowOpenedHook = hook; }

void SetReplacePair(TReplacePair pair) {
  std::lock_guard guard(gReplaceLock);
  gReplacePair = std::move(pair);
}

TReplacePair ReplacePair() {
  std::lock_guard guard(gReplaceLock);
  return gReplacePair;
}

std::string ReplacedProject(const std::string& fileName) {
  TReplacePair pair = ReplacePair();
  if (pair.ProjectFile.empty() || !SameText(fileName, pair.ExecutableName)) return {};
  return pair.ProjectFile;
}

}  // namespace viv
