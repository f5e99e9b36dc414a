#include "container/aux_libraries.h"

#include <mutex>

#include "base/log.h"
#include "base/player_path.h"
#include "container/disk_path.h"
#include "container/file_source.h"
#include "container/show_locator.h"
#include "container/temp_folders.h"

namespace viv {
namespace {

constexpr const char* kFfmpegEntry = "ffmpeg.dll";
constexpr const char* kColourEntry = "lcms2.dll";
constexpr const char* kDefaultFfmpegPath = "..\\Common\\FFmpeg.dll";

std::mutex gLock;
std::string gFfmpegPath;
std::string gColourPath;
TColourLibraryHook gColourHook = nullptr;

// Writes a package entry into a new temporary folder under its fixed file
// name; empty when the show has no such entry or it cannot be written.
std::string ExtractEntry(const TVivShowLocator* show, const char* entryName) {
  if (!show || !show->FromPackage()) return {};
  auto* packed = dynamic_cast<const TPackedFileSource*>(&show->Accessor().Source());
  if (!packed) return {};
  auto entry = packed->Package().FindEntry(entryName);
  if (!entry) return {};
  try {
    auto in = packed->Package().OpenEntryStream(*entry);
    auto out = CreateTempFile(NewTempFolder(), entryName);
    out->CopyFrom(*in);
    return out->FileName();
  } catch (const std::exception& e) {
    LogLine(std::string("Extract ") + entryName + " failed: " + e.what());
    return {};
  }
}

}  // namespace

std::string FfmpegLibraryPath() {
  std::lock_guard guard(gLock);
  return gFfmpegPath;
}

void SetFfmpegLibraryPath(std::string path) {
  std::lock_guard guard(gLock);
  gFfmpegPath = std::move(path);
}

std::string ColourLibraryPath() {
  std::lock_guard guard(gLock);
  return gColourPath;
}

void ExtractFfmpegLibrary(const TVivShowLocator* show) {
  if (!FfmpegLibraryPath().empty()) return;
  std::string path = ExtractEntry(show, kFfmpegEntry);
  if (path.empty()) {
    auto beside = FindDiskPath(JoinPath(PlayerFolder(), DiskPathOf(kDefaultFfmpegPath)));
    path = beside.value_or(std::string());
  }
  SetFfmpegLibraryPath(std::move(path));
}

bool ExtractColourLibrary(const TVivShowLocator* show) {
  {
    std::lock_guard guard(gLock);
    if (!gColourPath.empty()) return true;
  }
  std::string path = ExtractEntry(show, kColourEntry);
  std::lock_guard guard(gLock);
  if (gColourPath.empty()) gColourPath = std::move(path);
  return true;
}

void SetColourLibraryHook(TColourLibraryHook hook) {
  std::lock_guard guard(gLock);
  gColourHook = hook;
}

TColourLibraryHook ColourLibraryHook() {
  std::lock_guard guard(gLock);
  return gColourHook;
}

}  // namespace viv
