#include "viewer/command_line.h"

#include "project/value_syntax.h"

namespace viv {

TPlayerCommandLine::TPlayerCommandLine(std::vector<std::string> tokens) : fRaw(std::move(tokens)) {
  if (fRaw.empty()) fRaw.emplace_back();
  fSwitches.AddTokens(fRaw);
}

std::optional<std::string> TPlayerCommandLine::Value(const char* name) const {
  const std::string* item = fSwitches.Item(name, 0);
  if (!item) return std::nullopt;
  return *item;
}

std::optional<int32_t> TPlayerCommandLine::StartSlide() const {
  auto value = Value("slide");
  if (!value) return std::nullopt;
  auto n = ParseInt32(*value);
  if (!n || *n <= 0) return std::nullopt;
  return n;
}

bool TPlayerCommandLine::TimeGiven() const { return !StartSlide() && Has("time"); }

int64_t TPlayerCommandLine::StartTime() const {
  if (!TimeGiven()) return 0;
  auto value = Value("time");
  auto t = value ? ParseInt32(*value) : std::nullopt;
  if (!t || *t <= 0) return 0;
  return int64_t{*t} - 1;
}

bool TPlayerCommandLine::StartupMode() const {
  for (size_t i = 1; i < fRaw.size(); ++i)
    if (fRaw[i] == "-startup") return true;
  return false;
}

bool TPlayerCommandLine::ScreenSaverRunToken() const {
  for (size_t i = 1; i < fRaw.size(); ++i)
    if (fRaw[i] == "/s" || fRaw[i] == "/S") return true;
  return false;
}

std::optional<int64_t> TPlayerCommandLine::StartupWindowHandle() const {
  if (!StartupMode() || fRaw.size() < 3) return std::nullopt;
  return ParseInt64(fRaw.back());
}

std::optional<std::string> TPlayerCommandLine::PositionalShow() const {
  const std::string* item = fSwitches.Item("", 1);
  if (!item || item->empty() || *item == "/s" || *item == "/S") return std::nullopt;
  return *item;
}

}  // namespace viv
