// The player's command line: switches and the raw tokens it tests whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/commands_storage.h"

namespace viv {

class TPlayerCommandLine {
 public:
  // tokens[0] is the player's path.
  explicit TPlayerCommandLine(std::vector<std::string> tokens);

  const TCommandsStorage& Switches() const { return fSwitches; }
  const std::vector<std::string>& RawTokens() const { return fRaw; }
  bool Has(const char* name) const { return fSwitches.Has(name); }
  // Value item 0 of a switch, or none.
  std::optional<std::string> Value(const char* name) const;

  const std::string& PlayerPath() const { return fRaw.front(); }
  // "-slide n": n > 0, else none.
  std::optional<int32_t> StartSlide() const;
  // "-time t" is read only without "-slide": t - 1 ms for t > 0, else 0.
  bool TimeGiven() const;
  int64_t StartTime() const;
  bool StartupMode() const;          // raw token "-startup"
  bool ScreenSaverRunToken() const;  // raw token "/s" or "/S"
  // In start-up mode: the last token as a window handle, when there are at
  // least two parameters after the player's path and it is a 64-bit integer.
  std::optional<int64_t> StartupWindowHandle() const;
  // A show named without a switch (item 1 before the first switch), as file
  // managers start programs with a file.
  std::optional<std::string> PositionalShow() const;

 private:
  std::vector<std::string> fRaw;
  TCommandsStorage fSwitches;
};

}  // namespace viv
