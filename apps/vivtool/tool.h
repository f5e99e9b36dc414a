// Shared plumbing of the show tool's commands.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "base/ref_object.h"

namespace viv {
class TVivSource;
}

namespace viv::tool {

using TJson = nlohmann::ordered_json;

inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;
inline constexpr int kExitFailure = 2;

// Where a command leaves its exit status.
struct TToolState {
  int ExitCode = kExitOk;
};

void PrintJson(const TJson& json);
// Writes to standard output and returns the bytes written; a failure is
// remembered for FinishOutput.
size_t WriteOutput(const void* bytes, size_t count);
// Flushes standard output, remembering a failure like WriteOutput.
void FlushOutput();
// Flushes standard output. When anything written there was lost, reports the
// system's reason on standard error and returns kExitFailure, else exitCode.
int FinishOutput(int exitCode);
// The error text on standard error; returns kExitFailure.
int Fail(const std::string& text);
// "0xAARRGGBB"
std::string ColourText(uint32_t colour);
// A show opened as the player opens it (a ".viv" path for preview); none,
// after the player's message went to standard error, when it cannot be loaded.
TRef<TVivSource> OpenShowSource(const std::string& path);

void AddPackageCommands(CLI::App& app, TToolState& state);
void AddProjectCommands(CLI::App& app, TToolState& state);
void AddShowCommands(CLI::App& app, TToolState& state);
void AddExpressionCommands(CLI::App& app, TToolState& state);
void AddImageCommands(CLI::App& app, TToolState& state);
void AddModelCommands(CLI::App& app, TToolState& state);

}  // namespace viv::tool
