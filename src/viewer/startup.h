// The player's entry: display check, command line, log, choice and loading of
// the show.
#pragma once

#include <string>
#include <vector>

struct SDL_Window;

namespace viv {

// Exit status when the player cannot play (its message has been shown).
inline constexpr int kExitFailure = 2;

// Runs the start-up sequence with the process's tokens (tokens[0] is the
// player's path) and returns the exit status.
int RunPlayer(const std::vector<std::string>& tokens);

// The display's ICC profile for colour management: SDL_GetWindowICCProfile of
// the window, written into a temporary folder; empty without a window or a
// profile. Until a window is named, the display has no profile.
std::string WindowProfileFile(SDL_Window* window);
void UseWindowForDisplayProfile(SDL_Window* window);

// "filelog" writes beside the player: its path with the extension ".log".
std::string LogFilePath(const std::string& playerPath);

}  // namespace viv
