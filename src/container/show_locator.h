// Opening a show as a whole: the located show with its file accessor and
// project description.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "base/ref_object.h"
#include "container/file_accessor.h"
#include "project/ini_tree.h"

namespace viv {

class TVivShowLocator : public TRefObject {
 public:
  // Opens the project through the accessor and parses it; a project that
  // cannot be opened leaves the locator without one. Mapped sources get their
  // file map and orientations from the project.
  TVivShowLocator(TRef<TFileAccessor> accessor, std::string projectName);

  TFileAccessor& Accessor() const { return *fAccessor; }
  TRef<TFileAccessor> AccessorRef() const { return fAccessor; }
  // None when the project could not be read.
  TIniFile* Project() const { return fProject.Get(); }
  TRef<TIniFile> ProjectRef() const { return fProject; }
  const std::string& ProjectName() const { return fProjectName; }
  // [Main] "VivVersion" of the project.
  const std::string& Version() const { return fVersion; }
  bool FromPackage() const { return fFromPackage; }
  void SetFromPackage(bool fromPackage) { fFromPackage = fromPackage; }

  // The show source belongs to the show library, which makes it on the first
  // request; the locator keeps it for as long as the show is current.
  TRef<TRefObject> SourceOrMake(const std::function<TRef<TRefObject>()>& make);

 private:
  std::mutex fSourceLock;
  TRef<TRefObject> fSource;
  TRef<TFileAccessor> fAccessor;
  TRef<TIniFile> fProject;
  std::string fProjectName;
  std::string fVersion;
  bool fFromPackage = false;
};

struct TShowOpenResult {
  TRef<TVivShowLocator> Show;  // none on failure
  std::string ErrorText;       // may be empty on failure (no package trailer)
};

// Called with every show OpenPackageShow and OpenProjectShow opened, to apply
// its colour management setting (installed by the image library).
using TShowOpenedHook = void (*)(TVivShowLocator& show);
void SetShowOpenedHook(TShowOpenedHook hook);

// A show package (or, through the replace pair, the project it stands for).
TShowOpenResult OpenPackageShow(const std::string& fileName);
// A project description on disk (preview). Its "PathModifiers" section
// replaces the process-wide path modifiers.
TRef<TVivShowLocator> OpenProjectShow(const std::string& projectPath);

// While a show opened another one and returns to it, the first show's player
// file stands for its project (set by the viewer).
struct TReplacePair {
  std::string ExecutableName;
  std::string ProjectFile;
};
void SetReplacePair(TReplacePair pair);
TReplacePair ReplacePair();
// The project file to open instead of fileName, or empty.
std::string ReplacedProject(const std::string& fileName);

}  // namespace viv
