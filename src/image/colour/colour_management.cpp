#include "image/colour/colour_management.h"

#include <lcms2.h>
#include <sys/stat.h>

#include <cmath>
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

int Clamp255(double v) {
  int n = static_cast<int>(v);  // truncates toward zero
  return n < 0 ? 0 : n > 255 ? 255 : n;
}

TRef<TBitmap> MakeYuvTable() {
  auto table = MakeRef<TBitmap>(kTableWidth, kTableHeight, TPixelFormat::Argb32);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      uint8_t* row = table->Row(i * kGridSize + j);
      for (int k = 0; k < kGridSize; ++k) {
        double y = GridLevel(i), u = GridLevel(j) - 128.0, v = GridLevel(k) - 128.0;
        double d = 1.1643835616438356 * (y - 16);
        uint8_t* p = row + k * 4;
        p[0] = static_cast<uint8_t>(Clamp255(d + 2.018 * u));
        p[1] = static_cast<uint8_t>(Clamp255(d - 0.813 * v - 0.391 * u));
        p[2] = static_cast<uint8_t>(Clamp255(d + 1.596 * v));
        p[3] = 0xFF;
      }
    }
  }
  return table;
}

// One axis of the interpolation: the mix of a (at the cell) and b (at cell + 1).
int Mix(int a, int b, uint32_t fraction) {
  if (fraction == 0) return a;
  if (fraction == 0xFFFF) return b;
  return a + (static_cast<int>(fraction) * (b - a) + 32767) / 65536;
}

struct TGridPosition {
  int Cell;
  uint32_t Fraction;
};

// v x 31 / 255 in 16.16 fixed point, to within 2 / 65536.
TGridPosition GridPosition(uint8_t v) {
  uint32_t q = v * 7967u;
  uint32_t cell = q >> 16;
  return {static_cast<int>(cell), (q & 0xFFFF) + cell};
}

}  // namespace

TRef<TBitmap> MakeIdentityTable(TPixelFormat format) {
  auto table = MakeRef<TBitmap>(kTableWidth, kTableHeight, format);
  int bpp = BytesPerPixel(format);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      uint8_t* row = table->Row(i * kGridSize + j);
      for (int k = 0; k < kGridSize; ++k) {
        uint8_t* p = row + k * bpp;
        p[0] = static_cast<uint8_t>(GridLevel(i));
        p[1] = static_cast<uint8_t>(GridLevel(j));
        p[2] = static_cast<uint8_t>(GridLevel(k));
        if (bpp == 4) p[3] = 0xFF;
      }
    }
  }
  return table;
}

// --- transforms

void TICCColorTransform::Apply(TBitmap& picture) {
  if (picture.Format() == TPixelFormat::Gray8) return;
  cmsUInt32Number format = picture.Format() == TPixelFormat::Rgb24 ? TYPE_BGR_8 : TYPE_BGRA_8;
  cmsSetAdaptationState(0);
  const std::string& sourceIcc = Source().Icc();
  const std::string& targetIcc = Target().Icc();
  cmsHPROFILE source = cmsOpenProfileFromMem(sourceIcc.data(), sourceIcc.size());
  cmsHPROFILE target = cmsOpenProfileFromMem(targetIcc.data(), targetIcc.size());
  if (source && target) {
    cmsHTRANSFORM transform =
        cmsCreateTransform(source, format, target, format, INTENT_PERCEPTUAL, 0);
    if (transform) {
      for (int32_t y = 0; y < picture.Height(); ++y)
        cmsDoTransform(transform, picture.Row(y), picture.Row(y), picture.Width());
      cmsDeleteTransform(transform);
    }
  }
  if (source) cmsCloseProfile(source);
  if (target) cmsCloseProfile(target);
}

void TVivViewerColorTransform::Apply(TBitmap& picture) {
  if (picture.Width() != fTable->Width() || picture.Height() != fTable->Height()) return;
  if (picture.Format() == TPixelFormat::Gray8) return;
  TRef<TBitmap> table = EnsureFormat(fTable, picture.Format());
  std::copy(table->Data(), table->Data() + table->ByteSize(), picture.Data());
}

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

uint32_t InterpolateTable(const TBitmap& table, uint32_t colour) {
  int bpp = BytesPerPixel(table.Format());
  TGridPosition pi = GridPosition(colour & 0xFF), pj = GridPosition((colour >> 8) & 0xFF),
                pk = GridPosition((colour >> 16) & 0xFF);
  auto node = [&](int i, int j, int k, int byte) {
    return int{table.Row(i * kGridSize + j)[k * bpp + byte]};
  };
  // The next node along an axis is only read when its fraction needs it, so
  // the last cell never reads past the grid.
  auto along = [](TGridPosition p, auto value) {
    int a = value(p.Cell);
    return p.Fraction == 0 ? a : Mix(a, value(p.Cell + 1), p.Fraction);
  };
  uint32_t result = colour & 0xFF000000u;
  for (int byte = 0; byte < 3; ++byte) {
    int v = along(pi, [&](int i) {
      return along(pj,
                   [&](int j) { return along(pk, [&](int k) { return node(i, j, k, byte); }); });
    });
    result |= static_cast<uint32_t>(v) << (8 * byte);
  }
  return result;
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
