// ini dump, ini get, action
#include <iostream>

#include "base/stream.h"
#include "project/ini_tree.h"
#include "project/value_syntax.h"
#include "show/action_info.h"
#include "tool.h"

namespace viv::tool {
namespace {

struct TIniGetArgs {
  std::string File;
  std::string Path;
  std::string As = "text";
  std::optional<std::string> Default;
};

// Standard output as a stream, for the writer.
class TStdoutStream : public TStream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* buffer, size_t count) override { return WriteOutput(buffer, count); }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

bool LoadDocument(const std::string& file, TIniFile& document) {
  if (document.LoadFromFile(file)) return true;
  Fail(file + ": cannot be read");
  return false;
}

uint32_t DefaultColour(const std::optional<std::string>& text) {
  if (!text) return 0;
  if (text->starts_with("0x") || text->starts_with("0X")) {
    try {
      return static_cast<uint32_t>(std::stoul(text->substr(2), nullptr, 16));
    } catch (const std::exception&) {
      return 0;
    }
  }
  return ParseColour(*text, 0);
}

TJson ReadValue(const TIniItem* item, const TIniGetArgs& args) {
  const std::string& type = args.As;
  const std::string def = args.Default.value_or("");
  if (type == "int") {
    int32_t d = ParseInt32(def).value_or(0);
    return item ? item->ReadInteger(d) : d;
  }
  if (type == "int64") {
    int64_t d = ParseInt64(def).value_or(0);
    return item ? item->ReadInt64(d) : d;
  }
  if (type == "real") {
    double d = ParseReal(def).value_or(0);
    return item ? item->ReadReal(d) : d;
  }
  if (type == "bool") {
    bool d = ParseBool(def).value_or(false);
    return item ? item->ReadBool(d) : d;
  }
  if (type == "colour") {
    uint32_t d = DefaultColour(args.Default);
    return ColourText(item ? item->ReadColour(d) : d);
  }
  if (type == "escaped") return item ? DecodeEscaped(item->ReadText()) : def;
  return item ? item->ReadText() : def;
}

int RunIniGet(const TIniGetArgs& args) {
  TIniFile document;
  if (!LoadDocument(args.File, document)) return kExitFailure;
  TIniItem* item = document.PathLookup(args.Path, false);
  TJson out;
  out["found"] = item != nullptr;
  out["value"] = ReadValue(item, args);
  PrintJson(out);
  return item ? kExitOk : kExitNotFound;
}

int RunIniDump(const std::string& file) {
  TIniFile document;
  if (!LoadDocument(file, document)) return kExitFailure;
  TStdoutStream out;
  document.SaveToStream(out, true);
  FlushOutput();
  return kExitOk;
}

int RunAction(const std::string& text) {
  TVivActionInfo info = ParseActionText(text);
  TJson out;
  out["kind"] = static_cast<int>(info.ActionKind);
  out["number"] = info.Number;
  out["text"] = info.Text;
  PrintJson(out);
  return kExitOk;
}

}  // namespace

void AddProjectCommands(CLI::App& app, TToolState& state) {
  CLI::App* ini = app.add_subcommand("ini", "the project text format");
  ini->require_subcommand(1);

  auto file = std::make_shared<std::string>();
  CLI::App* dump = ini->add_subcommand("dump", "the document as the writer writes it");
  dump->add_option("FILE", *file)->required();
  dump->callback([file, &state] { state.ExitCode = RunIniDump(*file); });

  auto args = std::make_shared<TIniGetArgs>();
  CLI::App* get = ini->add_subcommand("get", "one value by path (Section:Object:Key)");
  get->add_option("FILE", args->File)->required();
  get->add_option("PATH", args->Path)->required();
  get->add_option("--as", args->As, "reader to use")
      ->check(CLI::IsMember({"text", "escaped", "int", "int64", "real", "bool", "colour"}));
  get->add_option("--default", args->Default, "the reader's default");
  get->callback([args, &state] { state.ExitCode = RunIniGet(*args); });

  auto text = std::make_shared<std::string>();
  CLI::App* action = app.add_subcommand("action", "an action text as an action record");
  action->add_option("TEXT", *text)->required();
  action->callback([text, &state] { state.ExitCode = RunAction(*text); });
}

}  // namespace viv::tool
