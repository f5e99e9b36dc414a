// Command-line tokens and the switch storage.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace viv {

// Splits a command line: characters up to 32 separate tokens except inside
// double quotes; a double quote toggles quoting and is dropped.
std::vector<std::string> TokenizeCommandLine(std::string_view commandLine);

struct TCommand {
  std::string Name;                // as written, compared exactly
  std::vector<std::string> Items;  // the value items
};

// A token beginning with "-" opens (or reopens) the switch of that name; every
// other token is a value item of the current switch, which before the first
// switch is the one with the empty name.
class TCommandsStorage {
 public:
  static constexpr size_t kBucketCount = 251;

  void AddTokens(const std::vector<std::string>& tokens);

  const TCommand* Find(std::string_view name) const;
  bool Has(std::string_view name) const { return Find(name) != nullptr; }
  // Value item index of the switch, or none.
  const std::string* Item(std::string_view name, size_t index) const;

 private:
  TCommand& FindOrAdd(std::string_view name);
  static size_t Bucket(std::string_view name);

  std::array<std::vector<std::unique_ptr<TCommand>>, kBucketCount> fBuckets;
};

}  // namespace viv
