// The show tool end to end: packages in every form it writes, read back by its
// own inspection commands.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/crypt_stream.h"
#include "base/stream.h"
#include "container/package_format.h"
#include "tool_runner.h"

namespace viv {
namespace {

using test::TRun;

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

class VivtoolTest : public test::TToolTest {
 protected:
  void SetUp() override {
    TToolTest::SetUp();
    // A small project folder: the project, a picture, a nested text.
    Write("show/Project.viv", "\xEF\xBB\xBF[Main]\r\nVivVersion=5.6\r\nopt_scr_width=1280\r\n");
    std::string picture;
    for (int i = 0; i < 3000; ++i) picture += static_cast<char>((i * 7) & 0xFF);
    Write("show/Pictures/Beach [2019].jpg", picture);
    Write("show/Text/notes.txt", std::string(1400, 'n'));
    Write("player", std::string(777, 'P'));
  }
  json Json(std::vector<std::string> args, int status = 0) {
    TRun run = Run(std::move(args));
    EXPECT_EQ(run.Status, status) << run.Err;
    return json::parse(run.Out);
  }
};

struct TFormCase {
  const char* Label;
  std::vector<std::string> Options;
  int64_t Base;  // package base = entry delta (packages are written as produced at 0)
  bool LongTrailer;
  std::map<std::string, int> Methods;
};

TEST_F(VivtoolTest, PacksEveryFormAndReadsItBack) {
  const std::string jpg = "Pictures\\Beach [2019].jpg", txt = "Text\\notes.txt";
  const TFormCase cases[] = {
      {"defaults", {}, 0, false, {{"Project.viv", 1}, {jpg, 0}, {txt, 0}}},
      {"all stored", {"--method", "stored"}, 0, false, {{"Project.viv", 0}, {jpg, 0}, {txt, 0}}},
      {"globs, last match wins",
       {"--method", "scrambled", "--deflate", "*.txt", "--store", "*.jpg", "--deflate",
        "Pictures/*"},
       0,
       false,
       {{"Project.viv", 2}, {jpg, 1}, {txt, 1}}},
      {"long trailer", {"--trailer", "long"}, 0, true, {{"Project.viv", 1}, {jpg, 0}, {txt, 0}}},
      {"moved",
       {"--offset", "1000", "--allowmodify", "1"},
       1000,
       true,
       {{"Project.viv", 1}, {jpg, 0}, {txt, 0}}},
  };
  const std::map<std::string, std::string> bytes = {
      {"Project.viv", ReadFileBytes(P("show/Project.viv"))},
      {jpg, ReadFileBytes(P("show/Pictures/Beach [2019].jpg"))},
      {txt, ReadFileBytes(P("show/Text/notes.txt"))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    std::vector<std::string> pack = {"pack", P("show"), P("out.vxshow")};
    pack.insert(pack.end(), c.Options.begin(), c.Options.end());
    TRun packed = Run(pack);
    ASSERT_EQ(packed.Status, 0) << packed.Err;

    json info = Json({"info", P("out.vxshow")});
    EXPECT_EQ(info["open"], true);
    EXPECT_EQ(info["error"], "");
    EXPECT_EQ(info["version"], "5.6");
    EXPECT_EQ(info["base"], c.Base);
    EXPECT_EQ(info["entry_delta"], c.Base);
    EXPECT_EQ(info["end"],
              static_cast<int64_t>(fs::file_size(P("out.vxshow"))) - (c.LongTrailer ? 8 : 0));
    EXPECT_EQ(info["entry_count"], 3);

    json list = Json({"list", P("out.vxshow")});
    ASSERT_EQ(list.size(), 3u);
    // Sorted files, written one after another from the base.
    EXPECT_EQ(list[0]["section"], "Pictures\\Beach <2019>.jpg");
    EXPECT_EQ(list[0]["position"], c.Base);
    EXPECT_EQ(list[1]["section"], "Project.viv");
    EXPECT_EQ(list[2]["section"], txt);
    for (const auto& row : list) {
      std::string name =
          row["section"] == "Pictures\\Beach <2019>.jpg" ? jpg : std::string(row["section"]);
      EXPECT_EQ(row["method"], c.Methods.at(name)) << name;
      TRun cat = Run({"cat", P("out.vxshow"), name});
      EXPECT_EQ(cat.Status, 0) << cat.Err;
      EXPECT_EQ(cat.Out, bytes.at(name)) << name;
    }
  }
}

TEST_F(VivtoolTest, ScrambledEntriesAreStoredXoredWithTheKey) {
  ASSERT_EQ(Run({"pack", P("show"), P("s.vxshow"), "--scramble", "*.jpg"}).Status, 0);
  json list = Json({"list", P("s.vxshow")});
  std::string file = ReadFileBytes(P("s.vxshow"));
  std::string stored = file.substr(list[0]["position"], list[0]["size"]);
  TCryptStream::Apply(kScrambleKey, 0, stored.data(), stored.size());
  EXPECT_EQ(stored, ReadFileBytes(P("show/Pictures/Beach [2019].jpg")));
}

TEST_F(VivtoolTest, PlayerPrefixAndMovedPackages) {
  fs::permissions(P("player"),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  ASSERT_EQ(Run({"pack", P("show"), P("exe"), "--exe", P("player"), "--version", "6.0"}).Status, 0);
  // The player with its show runs like the player.
  EXPECT_EQ(fs::status(P("exe")).permissions(), fs::status(P("player")).permissions());
  json info = Json({"info", P("exe")});
  EXPECT_EQ(info["version"], "6.0");
  EXPECT_EQ(info["entry_count"], 4);
  json list = Json({"list", P("exe")});
  EXPECT_EQ(list[0]["section"], "player");
  EXPECT_EQ(list[0]["position"], 0);
  EXPECT_EQ(list[0]["size"], 777);
  EXPECT_EQ(Run({"cat", P("exe"), "player"}).Out, std::string(777, 'P'));

  // A package moved without permission is refused with its error text.
  ASSERT_EQ(
      Run({"pack", P("show"), P("m.vxshow"), "--offset", "1000", "--allowmodify", "0"}).Status, 0);
  TRun refused = Run({"info", P("m.vxshow")});
  EXPECT_EQ(refused.Status, 2);
  EXPECT_EQ(json::parse(refused.Out)["error"], "Slide-show File Modified");
  EXPECT_EQ(refused.Err, "Slide-show File Modified\n");
}

TEST_F(VivtoolTest, FailuresAndMissingEntries) {
  ASSERT_EQ(Run({"pack", P("show"), P("a.vxshow")}).Status, 0);
  TRun missing = Run({"cat", P("a.vxshow"), "nothing.jpg"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "");

  TRun noPackage = Run({"list", P("player")});
  EXPECT_EQ(noPackage.Status, 2);
  EXPECT_NE(noPackage.Err.find("not a show package"), std::string::npos);

  EXPECT_EQ(Run({"info", P("absent.vxshow")}).Err, "Slideshow File not Found\n");
  EXPECT_EQ(Run({"pack", P("show/Pictures"), P("b.vxshow")}).Status, 2);  // no Project.viv
  EXPECT_EQ(Run({"pack", P("show"), P("c.vxshow"), "--trailer", "short", "--offset", "5"}).Status,
            2);
}

// Lowers the largest file this process and the programs it starts may write,
// so that a package that grows without end is stopped.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &fSaved);
    rlimit lowered = fSaved;
    lowered.rlim_cur = std::min(bytes, fSaved.rlim_cur);
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~TFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &fSaved); }

 private:
  rlimit fSaved;
};

TEST_F(VivtoolTest, APackageInsideItsSourceFolderIsNotPackedIntoItself) {
  uintmax_t sizes[2] = {};
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    TRun packed;
    {
      TFileSizeLimit limit(16 << 20);
      packed = Run({"pack", P("show"), P("show/out.vxshow")});
    }
    ASSERT_EQ(packed.Status, 0) << packed.Err;
    sizes[run] = fs::file_size(P("show/out.vxshow"));
    json list = Json({"list", P("show/out.vxshow")});
    EXPECT_EQ(list.size(), 3u) << list.dump();
  }
  EXPECT_EQ(sizes[1], sizes[0]);
  // Only the package was added to the folder; no temporary file stayed.
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(P("show")))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"Pictures", "Project.viv", "Text", "out.vxshow"}));
}

TEST_F(VivtoolTest, EntriesAreNamedByTheirPathAndLinksMayNotLeadOut) {
  fs::create_directories(P("show/deep"));
  fs::create_symlink("../Text/notes.txt", P("show/deep/alias.txt"));
  // A trailing separator changes nothing.
  ASSERT_EQ(Run({"pack", P("show") + "/", P("in.vxshow")}).Status, 0);
  std::vector<std::string> sections;
  for (const auto& row : Json({"list", P("in.vxshow")})) sections.push_back(row["section"]);
  EXPECT_EQ(sections, (std::vector<std::string>{"Pictures\\Beach <2019>.jpg", "Project.viv",
                                                "Text\\notes.txt", "deep\\alias.txt"}));
  EXPECT_EQ(Run({"cat", P("in.vxshow"), "deep\\alias.txt"}).Out, std::string(1400, 'n'));

  const char* outside[] = {"../../../../../../etc/passwd", "/etc/passwd", "../..", "../../player",
                           "../../missing.txt"};
  for (const char* target : outside) {
    SCOPED_TRACE(target);
    fs::create_symlink(target, P("show/deep/rel"));
    TRun run = Run({"pack", P("show"), P("out.vxshow")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err,
              "pack: " + P("show/deep/rel") + " is a link that leads out of " + P("show") + "\n");
    EXPECT_FALSE(fs::exists(P("out.vxshow")));
    fs::remove(P("show/deep/rel"));
  }
}

TEST_F(VivtoolTest, TextsThatWouldBreakTheDirectoryAreRefused) {
  const std::string blank =
      "\" is empty or starts or ends with a blank, so it could not be found again\n";
  struct TCase {
    const char* Label;
    std::string File;  // added under the show folder
    std::vector<std::string> Options;
    std::string Err;
  } cases[] = {
      {"a version with a line break",
       "",
       {"--version", "6.0\r\n[Project.viv]\r\n_ps=0"},
       "pack: the version holds a control character\n"},
      {"a version with a tab",
       "",
       {"--version", "6\t0"},
       "pack: the version holds a control character\n"},
      {"a file name with a line break",
       "line\nbreak.txt",
       {},
       "pack: the entry name \"line\\x0Abreak.txt\" holds a control character\n"},
      {"a file name with an escape",
       "Text/a\x1B.txt",
       {},
       "pack: the entry name \"Text\\a\\x1B.txt\" holds a control character\n"},
      {"a leading blank", " lead.txt", {}, "pack: the entry name \" lead.txt" + blank},
      {"a trailing blank",
       "Text/trail.txt ",
       {},
       "pack: the entry name \"Text\\trail.txt " + blank},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    if (!c.File.empty()) Write("show/" + c.File, "x");
    std::vector<std::string> args = {"pack", P("show"), P("bad.vxshow")};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    TRun run = Run(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, c.Err);
    EXPECT_FALSE(fs::exists(P("bad.vxshow")));
    if (!c.File.empty()) fs::remove(P("show/" + c.File));
  }
}

TEST_F(VivtoolTest, OutputThatCannotBeWrittenIsAFailure) {
  Write("big/Project.viv", "[Main]\r\nVivVersion=5.6\r\n");
  Write("big/large.bin", std::string(200000, 'L'));  // more than any output buffer
  ASSERT_EQ(Run({"pack", P("big"), P("a.vxshow")}).Status, 0);
  const std::vector<std::string> commands[] = {
      {"cat", P("a.vxshow"), "Project.viv"},
      {"cat", P("a.vxshow"), "large.bin"},
      {"info", P("a.vxshow")},
      {"list", P("a.vxshow")},
      {"ini", "dump", P("big/Project.viv")},
      {"ini", "get", P("big/Project.viv"), "Main:VivVersion"},
      {"action", "exit"},
      {"--help"},
  };
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0] + " " + args.back());
    TRun run = Run(args, "/dev/full");
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, "cannot write the output: No space left on device\n");
  }
}

TEST_F(VivtoolTest, ProjectTextCommands) {
  Write("p.viv",
        "[Main]\r\nopt_scr_width=1280\r\nHider=#FF8000,128\r\nText=a\\nb\r\n[Slide3]\r\n"
        "object Container:Root\r\n  object P1:Image\r\n    ImageName=x.jpg\r\n  end\r\nend\r\n");
  struct TCase {
    std::vector<std::string> Args;
    int Status;
    json Expected;
  };
  const TCase cases[] = {
      {{"Main:opt_scr_width", "--as", "int"}, 0, {{"found", true}, {"value", 1280}}},
      {{"main:OPT_SCR_WIDTH"}, 0, {{"found", true}, {"value", "1280"}}},
      {{"Main:Hider", "--as", "colour"}, 0, {{"found", true}, {"value", "0x80FF8000"}}},
      {{"Main:Text", "--as", "escaped"}, 0, {{"found", true}, {"value", "a\r\nb"}}},
      {{"Slide3:Container:P1:ImageName"}, 0, {{"found", true}, {"value", "x.jpg"}}},
      {{"Main:missing", "--as", "int", "--default", "7"}, 1, {{"found", false}, {"value", 7}}},
      {{"Main:opt_scr_width", "--as", "bool", "--default", "1"},
       0,
       {{"found", true}, {"value", true}}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"ini", "get", P("p.viv")};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args[0]);
    EXPECT_EQ(Json(args, c.Status), c.Expected);
  }

  TRun dump = Run({"ini", "dump", P("p.viv")});
  EXPECT_EQ(dump.Status, 0);
  EXPECT_EQ(dump.Out,
            "\xEF\xBB\xBF[Main]\r\nopt_scr_width=1280\r\nHider=#FF8000,128\r\nText=a\\nb\r\n"
            "[Slide3]\r\nobject Container:Root\r\n  object P1:Image\r\n    ImageName=x.jpg\r\n"
            "  end\r\nend\r\n");

  EXPECT_EQ(Json({"action", "GOTOSLIDE(7)"}), json({{"kind", 7}, {"number", 7}, {"text", "7"}}));
  EXPECT_EQ(Json({"action", "openwebsite(\"MyPage\")"}),
            json({{"kind", 8}, {"number", 0}, {"text", "MyPage"}}));
}

TEST_F(VivtoolTest, ExpressionCommand) {
  struct TCase {
    std::vector<std::string> Args;
    double Value;
  };
  const TCase cases[] = {
      {{"value*2", "value=40"}, 80},
      {{"1-t", "t=0.25"}, 0.75},
      {{"1-t", "Opacity.t=0.25"}, 0.75},  // t is the Opacity group's fraction
      {{"Lerp(0, 100, Pos.t)", "Pos.t=0.5", "t=0.9"}, 50},
      {{"Opacity + Scale.X", "Opacity=20"}, 120},  // unbound parameters: their defaults
      {{"QSplineGraph(value, x1/100, y1/100, 1-x2/100, 1-y2/100)", "value=0.5", "x1=26", "y1=0",
        "x2=26", "y2=0"},
       0.5},
      {{"--", "-x", "x=3"}, -3},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"expr"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args[0]);
    EXPECT_NEAR(Json(args)["value"].get<double>(), c.Value, 1e-9);
  }
  // Constants fold: a key bound to 0 as a divisor does not compile.
  const std::vector<std::string> failures[] = {
      {"expr", "1/k", "k=0"}, {"expr", "zz"}, {"expr", "fn", "fn=1"}, {"expr", "t", "t=x"}};
  for (const auto& args : failures) {
    SCOPED_TRACE(args[1]);
    TRun run = Run(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(run.Err.empty());
  }
}

}  // namespace
}  // namespace viv
