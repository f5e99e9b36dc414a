#include "base/commands_storage.h"

namespace viv {

std::vector<std::string> TokenizeCommandLine(std::string_view commandLine) {
  std::vector<std::string> tokens;
  std::string current;
  bool inToken = false, quoted = false;
  for (char ch : commandLine) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"') {
      quoted = !quoted;
      inToken = true;
    } else if (c <= 32 && !quoted) {
      if (inToken) tokens.push_back(std::move(current));
      current.clear();
      inToken = false;
    } else {
      current += ch;
      inToken = true;
    }
  }
  if (inToken) tokens.push_back(std::move(current));
  return tokens;
}

size_t TCommandsStorage::Bucket(std::string_view name) {
  size_t hash = 0;
  for (unsigned char c : name) hash = hash * 31 + c;
  return hash % kBucketCount;
}

const TCommand* TCommandsStorage::Find(std::string_view name) const {
  for (const auto& command : fBuckets[Bucket(name)])
    if (command->Name == name) return command.get();
  return nullptr;
}

TCommand& TCommandsStorage::FindOrAdd(std::string_view name) {
  auto& bucket = fBuckets[Bucket(name)];
  for (auto& command : bucket)
    if (command->Name == name) return *command;
  bucket.push_back(std::make_unique<TCommand>(TCommand{std::string(name), {}}));
  return *bucket.back();
}

void TCommandsStorage::AddTokens(const std::vector<std::string>& tokens) {
  TCommand* current = &FindOrAdd("");
  for (const auto& token : tokens) {
    if (!token.empty() && token[0] == '-') {
      current = &FindOrAdd(std::string_view(token).substr(1));
    } else {
      current->Items.push_back(token);
    }
  }
}

const std::string* TCommandsStorage::Item(std::string_view name, size_t index) const {
  const TCommand* command = Find(name);
  if (!command || index >= command->Items.size()) return nullptr;
  return &command->Items[index];
}

}  // namespace viv
