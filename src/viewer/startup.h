// The player's entry: display check, command line, log, choice and loading of
// the show.
#pragma once

#include <string>
#include <vector>

namespace viv {

// Exit status when the player cannot play (its message has been shown).
inline constexpr int kExitFailure = 2;

// Runs the start-up sequence with the process's tokens (tokens[0] is the
// player's path) and returns the exit status.
int RunPlayer(const std::vector<std::string>& tokens);

// "filelog" writes beside the player: its path with the extension ".log".
std::string LogFilePath(const std::string& playerPath);

}  // namespace viv
