#include "image/colour/colour_management.h"

#include <sys/stat.h>

#include <mutex>
#include <vector>

#include "base/commands_storage.h"
#include "base/log.h"
#include "base/text.h"
#include "container/aux_libraries.h"
#include "container/show_locator.h"
#include "image/picture_registry.h"

namespace viv {
namespace {

constexpr std::string_view kAuto = "auto";
constexpr std::string_view kFunkyMode = "*";
constexpr std::string_view kSystemMode = "?";
constexpr std::string_view kStoredTablePrefix = "ColorSpaceExe_";
constexpr std::string_view kStoredTableSuffix = "].QVGFX";

// Written at start-up and while a show opens, before its slides are built.
struct TColourState {
  TRef<TColorProfile> Display;
  TRef<TColorProfile> CommandLine;
  TRef<TVivShowLocator> Show;  // the show whose stored tables apply
  bool Off = false;
  bool FromShow = false;
  bool NoIcc = false;
  std::string SystemPath;
  TSystemProfileQuery Query = nullptr;
  std::vector<TColorTransformFactory> Factories;
};

std::mutex gStateLock;
TColourState gState;
// Serialises making a profile's table.
std::mutex gTableLock;

struct TVideoTable {
  TRef<TBitmap> Table;
  std::string ProfileName;
};
std::mutex gVideoLock;
TVideoTable gVideoTables[2];  // [0] YUV frames, [1] RGB frames

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A built-in profile by name, else a profile file that exists, else none.
TRef<TColorProfile> ProfileByText(const std::string& text) {
  if (auto builtIn = BuiltInProfileByText(text)) return builtIn;
  if (FileExists(text)) return ProfileFromFile(text);
  return nullptr;
}

TColourState StateCopy() {
  std::lock_guard guard(gStateLock);
  return gState;
}

void ApplyTransform(TRef<TColorTransform> transform, TBitmap& table) {
  if (!transform) return;
  try {
    transform->Apply(table);
  } catch (const std::exception& e) {
    LogLine(std::string("Colour conversion failed: ") + e.what());
  }
}

}  // namespace

std::optional<TRef<TColorTransform>> StoredTableFactory(const TRef<TColorProfile>& source,
                                                        const TRef<TColorProfile>& target) {
  TColourState state = StateCopy();
  if (state.FromShow || !state.Show || !state.Show->FromPackage()) return std::nullopt;
  std::string entry =
      std::string(kStoredTablePrefix) + source->Name() + std::string(kStoredTableSuffix);
  TRef<TColorTransform> result;
  try {
    if (auto stream = state.Show->Accessor().OpenStream(entry)) {
      TImage image = OpenImage(*stream, entry);
      // A table of another size is treated as missing.
      if (image && image.Width() == kTableWidth && image.Height() == kTableHeight) {
        TRef<TBitmap> stored = ConvertBitmap(*image.Source()->GetMipLevel(0), TPixelFormat::Rgb24);
        // Stored tables hold the conversion minus the identity.
        TRef<TBitmap> identity = MakeIdentityTable(TPixelFormat::Rgb24);
        for (size_t n = 0; n < stored->ByteSize(); ++n)
          stored->Data()[n] = static_cast<uint8_t>(stored->Data()[n] + identity->Data()[n]);
        result = MakeRef<TVivViewerColorTransform>(source, target, stored);
      }
    }
  } catch (const std::exception& e) {
    LogLine("Stored colour table \"" + entry + "\" not read: " + e.what());
    result.Reset();
  }
  return result;
}

std::optional<TRef<TColorTransform>> EngineFactory(const TRef<TColorProfile>& source,
                                                   const TRef<TColorProfile>& target) {
  return TRef<TColorTransform>(MakeRef<TICCColorTransform>(source, target));
}

void InstallColourManagement() {
  MakeBuiltInProfiles();
  std::lock_guard guard(gStateLock);
  gState.Factories = {&StoredTableFactory, &EngineFactory};
}

// --- state

TRef<TColorProfile> DisplayProfileRef() { return StateCopy().Display; }

TRef<TColorProfile> GetDisplayProfile() {
  TRef<TColorProfile> display = DisplayProfileRef();
  return display ? display : BuiltInProfile(kSrgbName);
}

void SetDisplayProfile(TRef<TColorProfile> profile) {
  std::lock_guard guard(gStateLock);
  gState.Display = std::move(profile);
}

bool ColorManagementOff() { return StateCopy().Off; }
bool DisplayProfileFromShow() { return StateCopy().FromShow; }
TRef<TColorProfile> CommandLineProfile() { return StateCopy().CommandLine; }
bool NoIccSwitch() { return StateCopy().NoIcc; }

void SetSystemProfileQuery(TSystemProfileQuery query) {
  std::lock_guard guard(gStateLock);
  gState.Query = query;
}

std::string GetSystemProfilePath() {
  TSystemProfileQuery query = StateCopy().Query;
  std::string path = query ? query() : std::string();
  return FileExists(path) ? path : std::string();
}

std::string SystemProfilePath() { return StateCopy().SystemPath; }

void ReadSystemProfilePath() {
  std::string path = GetSystemProfilePath();
  std::lock_guard guard(gStateLock);
  gState.SystemPath = std::move(path);
}

void ResetColourState() {
  {
    std::lock_guard guard(gStateLock);
    auto factories = std::move(gState.Factories);
    gState = TColourState();
    gState.Factories = std::move(factories);
  }
  std::lock_guard guard(gVideoLock);
  for (TVideoTable& table : gVideoTables) table = TVideoTable();
}

void ReadIccSwitches(const TCommandsStorage& switches) {
  if (switches.Has("noicc")) {
    std::lock_guard guard(gStateLock);
    gState.NoIcc = true;
    return;
  }
  if (!switches.Has("icc")) return;
  const std::string* item = switches.Item("icc", 0);
  std::string value = item ? *item : std::string();
  if (value.empty() || SameText(value, kAuto)) value = GetSystemProfilePath();
  TRef<TColorProfile> profile = ProfileByText(value);
  std::lock_guard guard(gStateLock);
  gState.CommandLine = std::move(profile);
}

void ReadColorManagement(TVivShowLocator& show) {
  TIniFile* project = show.Project();
  std::string value = project ? project->ReadText("Main", "ColorManagement") : std::string();
  TColourState state;
  {
    std::lock_guard guard(gStateLock);
    gState.FromShow = false;
    gState.Show = TRef<TVivShowLocator>(&show);
    if (gState.NoIcc || value.empty()) {
      gState.Off = true;
      return;
    }
    if (value == kFunkyMode && !gState.CommandLine) {
      gState.Display = BuiltInProfile(kFunkyRgbName);
      return;
    }
    state = gState;
  }
  TColourLibraryHook hook = ColourLibraryHook();
  if (!hook || !hook(&show)) return;
  TRef<TColorProfile> display = state.CommandLine;
  if (!display) {
    if (value == kSystemMode) value = state.SystemPath;
    display = ProfileByText(value);
  }
  std::lock_guard guard(gStateLock);
  gState.Display = std::move(display);
  gState.FromShow = true;
}

// --- services

TRef<TColorTransform> MakeColorTransform(TRef<TColorProfile> source, TRef<TColorProfile> target) {
  if (!source) source = BuiltInProfile(kSrgbName);
  if (!source) return nullptr;
  if (!target) target = GetDisplayProfile();
  if (!target || source == target) return nullptr;
  for (TColorTransformFactory factory : StateCopy().Factories)
    if (auto result = factory(source, target)) return *result;
  return nullptr;
}

uint32_t ConvertColor(TColorProfile* profile, uint32_t colour) {
  TRef<TColorProfile> held;
  if (!profile) {
    held = DisplayProfileRef();
    if (!held) return colour;
    profile = held.Get();
  }
  if (!profile->TableTried()) {
    std::lock_guard guard(gTableLock);
    if (!profile->TableTried()) {
      TRef<TBitmap> table;
      if (auto transform =
              MakeColorTransform(BuiltInProfile(kSrgbName), TRef<TColorProfile>(profile))) {
        table = MakeIdentityTable(TPixelFormat::Rgb24);
        ApplyTransform(transform, *table);
      }
      profile->SetTable(std::move(table));
    }
  }
  TBitmap* table = profile->Table();
  return table ? InterpolateTable(*table, colour) : colour;
}

TRef<TBitmap> MakePictureLut(TRef<TColorProfile> pictureProfile, TRef<TColorProfile> target) {
  if (ColorManagementOff()) return nullptr;
  TRef<TColorTransform> transform =
      MakeColorTransform(std::move(pictureProfile), std::move(target));
  if (!transform) return nullptr;
  TRef<TBitmap> table = MakeIdentityTable(TPixelFormat::Rgb24);
  ApplyTransform(transform, *table);
  return table;
}

TRef<TBitmap> GetVideoColorLut(bool rgbFrames, TRef<TColorProfile> profile) {
  bool off = ColorManagementOff();
  if (off)
    profile.Reset();
  else if (!profile)
    profile = GetDisplayProfile();
  std::string name = profile ? profile->Name() : std::string();

  std::lock_guard guard(gVideoLock);
  TVideoTable& cached = gVideoTables[rgbFrames ? 1 : 0];
  if (cached.Table && cached.ProfileName == name) return cached.Table;

  TRef<TBitmap> table = rgbFrames ? MakeIdentityTable(TPixelFormat::Argb32) : MakeYuvTable();
  if (profile) {
    TRef<TColorProfile> source = BuiltInProfile(rgbFrames ? kSrgbName : kYuvSrgbName);
    ApplyTransform(MakeColorTransform(source, profile), *table);
  }
  cached = {table, name};
  return table;
}

}  // namespace viv
