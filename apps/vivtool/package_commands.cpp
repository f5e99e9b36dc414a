// pack, info, list, cat
#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#include "base/stream.h"
#include "container/package_writer.h"
#include "container/viv_unpack.h"
#include "project/ini_tree.h"
#include "tool.h"

namespace viv::tool {
namespace {

namespace fs = std::filesystem;

struct TMethodRule {
  std::string Glob;
  TPackMethod Method;
};

struct TPackArgs {
  std::string Source;
  std::string Out;
  std::string Method;
  std::vector<std::string> Deflate, Scramble, Store;
  std::string Exe;
  std::string Trailer;
  int64_t Offset = 0;
  std::optional<std::string> Version;
  std::optional<int> AllowModify;
};

TPackMethod MethodByName(const std::string& name) {
  if (name == "deflated") return TPackMethod::Deflated;
  if (name == "scrambled") return TPackMethod::Scrambled;
  return TPackMethod::Stored;
}

// The method options in command-line order: the last matching rule wins.
std::vector<TMethodRule> OrderedRules(const CLI::App& command, const TPackArgs& args) {
  std::map<const CLI::Option*, std::pair<const std::vector<std::string>*, TPackMethod>> lists{
      {command.get_option("--deflate"), {&args.Deflate, TPackMethod::Deflated}},
      {command.get_option("--scramble"), {&args.Scramble, TPackMethod::Scrambled}},
      {command.get_option("--store"), {&args.Store, TPackMethod::Stored}},
  };
  std::map<const CLI::Option*, size_t> used;
  std::vector<TMethodRule> rules;
  for (const CLI::Option* option : command.parse_order()) {
    auto it = lists.find(option);
    if (it == lists.end()) continue;
    size_t& index = used[option];
    const auto& values = *it->second.first;
    if (index < values.size()) rules.push_back({values[index++], it->second.second});
  }
  return rules;
}

bool IsControl(char c) {
  auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

// A name for a message, its control characters written as "\xNN".
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!IsControl(c)) {
      out += c;
      continue;
    }
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(c));
    out += code;
  }
  return out;
}

// Where a link leads, also when its target does not exist (yet).
fs::path LinkTarget(const fs::path& link) {
  fs::path target = fs::read_symlink(link);
  if (target.is_relative()) target = link.parent_path() / target;
  return fs::weakly_canonical(target);
}

bool IsInside(const fs::path& path, const fs::path& folder) {
  auto [inFolder, inPath] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return inFolder == folder.end();
}

// The files under root, by their path under it ("/"-separated, sorted). Links
// are named by where they stand, not by their target, and a link that leads
// out of root is refused: its target is not the show's to pack. The package
// being written is left out when it lies inside root.
std::optional<std::vector<std::string>> SourceFiles(const fs::path& root, const fs::path& out) {
  const fs::path realRoot = fs::canonical(root);
  std::error_code ec;
  const bool outExists = fs::exists(out, ec);
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_symlink() && !IsInside(LinkTarget(entry.path()), realRoot)) {
      Fail("pack: " + Printable(entry.path().string()) + " is a link that leads out of " +
           Printable(root.string()));
      return std::nullopt;
    }
    if (!entry.is_regular_file()) continue;
    if (outExists && fs::equivalent(entry.path(), out, ec)) continue;
    files.push_back(entry.path().lexically_relative(root).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Texts go into the directory as they are, so none may hold a control
// character: a line break would start lines (and sections) of its own.
bool RefuseControlCharacters(const std::vector<TPackSource>& sources) {
  for (const auto& source : sources) {
    if (std::none_of(source.EntryName.begin(), source.EntryName.end(), IsControl)) continue;
    Fail("pack: the entry name \"" + Printable(source.EntryName) + "\" holds a control character");
    return false;
  }
  return true;
}

int RunPack(const CLI::App& command, const TPackArgs& args) {
  // Trailing separators dropped, so that paths under it compare by their parts.
  fs::path root = fs::path(args.Source).lexically_normal();
  if (!root.has_filename() && root.has_parent_path() && root != root.root_path())
    root = root.parent_path();
  if (!fs::is_regular_file(root / "Project.viv"))
    return Fail("pack: " + args.Source + " has no Project.viv at its top");

  auto listed = SourceFiles(root, args.Out);
  if (!listed) return kExitFailure;
  const std::vector<std::string>& files = *listed;

  std::vector<TMethodRule> rules = OrderedRules(command, args);
  TPackMethod defaultMethod = MethodByName(args.Method);
  std::vector<TPackSource> sources;
  if (!args.Exe.empty()) {
    // The player comes first, stored, at position 0.
    sources.push_back(
        {fs::path(args.Exe).filename().string(), args.Exe, std::nullopt, TPackMethod::Stored});
  }
  for (const auto& relative : files) {
    TPackMethod method =
        relative == "Project.viv" && args.Method.empty() ? TPackMethod::Deflated : defaultMethod;
    for (const auto& rule : rules)
      if (fnmatch(rule.Glob.c_str(), relative.c_str(), 0) == 0) method = rule.Method;
    std::string name = relative;
    std::replace(name.begin(), name.end(), '/', '\\');
    sources.push_back({name, (root / relative).string(), std::nullopt, method});
  }
  if (!RefuseControlCharacters(sources)) return kExitFailure;

  TPackOptions options;
  bool exe = !args.Exe.empty();
  options.LongTrailer = args.Trailer.empty() ? (exe || args.Offset > 0) : args.Trailer == "long";
  options.Offset = args.Offset;
  if (args.AllowModify)
    options.AllowModify = *args.AllowModify == 1;
  else if (exe)
    options.AllowModify = true;
  if (args.Version) {
    options.Version = *args.Version;
  } else {
    TIniFile project;
    project.LoadFromFile((root / "Project.viv").string());
    options.Version = project.ReadText("Main", "VivVersion");
  }
  WritePackage(args.Out, sources, options);
  if (exe) {
    // A player with its show appended runs like the player itself.
    std::error_code ec;
    fs::permissions(args.Out, fs::status(args.Exe, ec).permissions(), ec);
  }
  return kExitOk;
}

TJson OptionalNumber(bool known, int64_t value) { return known ? TJson(value) : TJson(nullptr); }

int RunInfo(const std::string& path) {
  auto package = MakeRef<TVivUnpack>(path);
  bool located = package->PackageEnd() > 0;
  TJson out;
  out["open"] = package->IsOpen();
  out["error"] = package->ErrorText();
  out["version"] = package->IsOpen() ? TJson(package->Version()) : TJson(nullptr);
  out["base"] = OptionalNumber(located, package->Base());
  out["end"] = OptionalNumber(located, package->PackageEnd());
  out["directory_position"] = OptionalNumber(package->IsOpen(), package->DirectoryPosition());
  out["entry_delta"] = OptionalNumber(package->IsOpen(), package->EntryDelta());
  TJson count = nullptr;
  if (const TUnpackStruc* structure = package->Structure()) {
    int64_t entries = 0;
    const TIniFile& directory = structure->Directory();
    for (size_t i = 0; i < directory.SectionCount(); ++i)
      if (package->EntryOfSection(directory.Section(i))) ++entries;
    count = entries;
  }
  out["entry_count"] = count;
  PrintJson(out);
  if (package->IsOpen()) return kExitOk;
  return Fail(package->ErrorText().empty() ? path + ": not a show package" : package->ErrorText());
}

int RunList(const std::string& path) {
  auto package = MakeRef<TVivUnpack>(path);
  if (!package->IsOpen())
    return Fail(package->ErrorText().empty() ? path + ": not a show package"
                                             : package->ErrorText());
  TJson out = TJson::array();
  const TIniFile& directory = package->Structure()->Directory();
  for (size_t i = 0; i < directory.SectionCount(); ++i) {
    const TIniSection& section = directory.Section(i);
    auto entry = package->EntryOfSection(section);
    if (!entry) continue;
    TJson row;
    row["section"] = section.Name();
    row["position"] = entry->Position;
    row["size"] = entry->Size;
    row["method"] = static_cast<int>(entry->Method);
    out.push_back(row);
  }
  PrintJson(out);
  return kExitOk;
}

int RunCat(const std::string& path, const std::string& name) {
  auto package = MakeRef<TVivUnpack>(path);
  if (!package->IsOpen())
    return Fail(package->ErrorText().empty() ? path + ": not a show package"
                                             : package->ErrorText());
  auto entry = package->FindEntry(name);
  if (!entry) {
    std::cerr << name << ": not found" << std::endl;
    return kExitNotFound;
  }
  try {
    auto stream = package->OpenEntryStream(*entry);
    char buffer[1 << 16];
    while (size_t n = stream->Read(buffer, sizeof buffer))
      if (WriteOutput(buffer, n) != n) return kExitFailure;  // FinishOutput says why
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return kExitOk;
}

}  // namespace

void AddPackageCommands(CLI::App& app, TToolState& state) {
  auto args = std::make_shared<TPackArgs>();
  CLI::App* pack = app.add_subcommand("pack", "write a show package from a project folder");
  pack->add_option("SRC_DIR", args->Source, "folder with Project.viv at its top")->required();
  pack->add_option("OUT", args->Out, "package file to write")->required();
  pack->add_option("--method", args->Method,
                   "method of every entry (default: deflated for Project.viv, stored otherwise)")
      ->check(CLI::IsMember({"stored", "deflated", "scrambled"}));
  pack->add_option("--deflate", args->Deflate, "deflate entries matching GLOB")->take_all();
  pack->add_option("--scramble", args->Scramble, "scramble entries matching GLOB")->take_all();
  pack->add_option("--store", args->Store, "store entries matching GLOB")->take_all();
  pack->add_option("--exe", args->Exe, "player file written first, as the entry at position 0");
  pack->add_option("--trailer", args->Trailer, "trailer form (default short; long with --exe)")
      ->check(CLI::IsMember({"short", "long"}));
  pack->add_option("--offset", args->Offset, "zero bytes before the package base (long trailer)")
      ->check(CLI::NonNegativeNumber);
  pack->add_option("--version", args->Version, "vivversion (default: [Main] VivVersion)");
  pack->add_option("--allowmodify", args->AllowModify, "whether the package may be moved")
      ->check(CLI::IsMember({0, 1}));
  pack->callback([pack, args, &state] {
    try {
      if (args->Trailer == "short" && args->Offset > 0)
        state.ExitCode = Fail("pack: --offset needs the long trailer");
      else
        state.ExitCode = RunPack(*pack, *args);
    } catch (const std::exception& e) {
      state.ExitCode = Fail(std::string("pack: ") + e.what());
    }
  });

  auto path = std::make_shared<std::string>();
  CLI::App* info = app.add_subcommand("info", "package trailer, directory and version");
  info->add_option("PACKAGE", *path)->required();
  info->callback([path, &state] { state.ExitCode = RunInfo(*path); });

  CLI::App* list = app.add_subcommand("list", "the entries of a package in directory order");
  list->add_option("PACKAGE", *path)->required();
  list->callback([path, &state] { state.ExitCode = RunList(*path); });

  auto name = std::make_shared<std::string>();
  CLI::App* cat = app.add_subcommand("cat", "the unpacked bytes of one entry");
  cat->add_option("PACKAGE", *path)->required();
  cat->add_option("NAME", *name, "entry name as the project uses it")->required();
  cat->callback([path, name, &state] { state.ExitCode = RunCat(*path, *name); });
}

}  // namespace viv::tool
