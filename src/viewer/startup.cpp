#include "viewer/startup.h"

#include <SDL.h>

#include <csignal>
#include <cstdio>

#include "base/log.h"
#include "base/player_path.h"
#include "container/aux_libraries.h"
#include "container/temp_folders.h"
#include "image/colour/colour_management.h"
#include "image/image_library.h"
#include "viewer/command_line.h"
#include "viewer/message_box.h"
#include "viewer/show_loading.h"

namespace viv {
namespace {

constexpr int kMinimumBitsPerPixel = 16;
constexpr const char* kLowColourText =
    "Currently you have 256 or 16 colors display mode.\rSet True color or High color display "
    "mode.";

bool DisplayHasTooFewColours() {
  if (!DisplayAvailable()) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  return SDL_BITSPERPIXEL(mode.format) < kMinimumBitsPerPixel;
}

void OpenLog(const TPlayerCommandLine& commandLine) {
  if (commandLine.Has("filelog")) {
    // A log file that cannot be created leaves the log discarding its lines.
    SetLog(TFileLog::Create(LogFilePath(PlayerFilePath())));
  } else if (commandLine.Has("log")) {
    SetLog(MakeRef<TStdLog>());
  }
}

SDL_Window* gProfileWindow = nullptr;

// The display's own profile is known only once a window shows on it.
std::string DisplayProfileQuery() { return WindowProfileFile(gProfileWindow); }

void Finish() {
  WriteLogFooter();
  RemoveTempFolders();
}

}  // namespace

std::string WindowProfileFile(SDL_Window* window) {
  if (!window) return {};
  size_t size = 0;
  void* icc = SDL_GetWindowICCProfile(window, &size);
  if (!icc) return {};
  std::string bytes(static_cast<const char*>(icc), size);
  SDL_free(icc);
  try {
    auto file = CreateTempFile(NewTempFolder(), "display.icc");
    file->WriteText(bytes);
    return file->FileName();
  } catch (const std::exception& e) {
    LogLine(std::string("Display profile not written: ") + e.what());
    return {};
  }
}

void UseWindowForDisplayProfile(SDL_Window* window) { gProfileWindow = window; }

std::string LogFilePath(const std::string& playerPath) {
  std::string name = LastComponent(playerPath);
  size_t dot = name.find_last_of('.');
  std::string stem = dot == std::string::npos || dot == 0
                         ? playerPath
                         : playerPath.substr(0, playerPath.size() - (name.size() - dot));
  return stem + ".log";
}

int RunPlayer(const std::vector<std::string>& tokens) {
  // Writes to a closed pipe report an error instead of ending the player.
  std::signal(SIGPIPE, SIG_IGN);

  if (DisplayHasTooFewColours()) {
    ShowMessageBox(kErrorTitle, kLowColourText);
    return kExitFailure;
  }

  TPlayerCommandLine commandLine(tokens);
  OpenLog(commandLine);
  WriteLogHeader(PlayerFilePath());

  InstallImageLibrary();
  SetSystemProfileQuery(&DisplayProfileQuery);
  ReadIccSwitches(commandLine.Switches());
  SetColourLibraryHook(&ExtractColourLibrary);
  ReadSystemProfilePath();

  TShowChoice choice = ChooseShowFile(commandLine);
  auto loaded = LoadShowFile(choice.FileName, choice.PackageMode);
  if (!loaded) {
    // Ending with 0 here would report a failure as success.
    Finish();
    return kExitFailure;
  }

  // The main window takes over from here once it exists; until then the
  // player reports what it loaded.
  std::printf("loaded: %s version %s\n", loaded->Show->ProjectName().c_str(),
              loaded->Show->Version().c_str());
  std::fflush(stdout);
  loaded.reset();
  Finish();
  return 0;
}

}  // namespace viv
