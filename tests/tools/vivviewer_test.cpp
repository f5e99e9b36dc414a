// The player itself, run as a program: a player with its show appended, a show
// file beside it, and shows it must refuse with its message and status 2.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/inflate_stream.h"
#include "base/stream.h"
#include "container/package_writer.h"
#include "tool_runner.h"

namespace viv {
namespace {

using test::TRun;

namespace fs = std::filesystem;

// One slide of three seconds.
const char* kProject =
    "\xEF\xBB\xBF[Main]\r\nVivVersion=5.6\r\n[Times]\r\nopt_slidescount=1\r\n"
    "opt_synchpos1=3000\r\n";

std::string Int64Bytes(int64_t value) {
  std::string out;
  for (int i = 0; i < 8; ++i) out += static_cast<char>(static_cast<uint64_t>(value) >> (8 * i));
  return out;
}

class VivviewerTest : public test::TToolTest {
 protected:
  void SetUp() override {
    TToolTest::SetUp();
    Write("show/Project.viv", kProject);
    Write("other/Project.viv",
          "[Main]\r\nVivVersion=7.0\r\n[Times]\r\nopt_slidescount=1\r\n"
          "opt_synchpos1=1000\r\n");
    Write("empty/Project.viv", "[Main]\r\nVivVersion=5.6\r\n");
  }
  void Pack(std::vector<std::string> args) {
    args.insert(args.begin(), "pack");
    TRun run = Run(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
  }
  TRun Play(const std::string& player, std::vector<std::string> args) const {
    return test::RunProgram(player, std::move(args), fFolder.Path());
  }
};

TEST_F(VivviewerTest, APlayerWithItsShowAppendedPlaysIt) {
  fs::create_directories(P("bin"));
  Pack({P("show"), P("bin/Trip"), "--exe", VIV_VIEWER});
  TRun run = Play(P("bin/Trip"), {});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "loaded: Project.viv version 5.6\n");
  EXPECT_EQ(run.Err, "");

  // Another show named the Windows way, relative to the player's folder.
  fs::create_directories(P("shows"));
  Pack({P("other"), P("shows/Other.vxshow")});
  run = Play(P("bin/Trip"), {"-exename", "..\\shows\\Other.vxshow"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "loaded: Project.viv version 7.0\n");
}

TEST_F(VivviewerTest, PlaysAShowFile) {
  Pack({P("show"), P("Trip.vxshow")});
  const std::vector<std::string> ways[] = {
      {P("Trip.vxshow")},
      {"-exename", P("Trip.vxshow")},
      {"-exename", P("Trip")},  // tried again with ".vxshow"
  };
  for (const auto& args : ways) {
    SCOPED_TRACE(args.back());
    TRun run = Play(VIV_VIEWER, args);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "loaded: Project.viv version 5.6\n");
    EXPECT_EQ(run.Err, "");
  }
}

TEST_F(VivviewerTest, ShowsItCannotPlayAreRefusedWithTheirMessage) {
  Pack({P("show"), P("moved.vxshow"), "--offset", "1000", "--allowmodify", "0"});
  WritePackage(P("noproject.vxshow"),
               {{"readme.txt", "", std::string("no project here"), TPackMethod::Stored}}, {});
  Pack({P("empty"), P("empty.vxshow")});
  Write("plain.vxshow", "no package here");
  // A moved directory whose recorded position is so far below the real one
  // that the distance does not fit in 64 bits.
  std::string directory = DeflateRaw(
      "\xEF\xBB\xBF[a]\r\n_ps=0\r\n_sz=1\r\n[$protection$]\r\n"
      "strucpos=-9223372036854775808\r\nallowmodify=1\r\n");
  Write("damaged.vxshow", "0123456789" + directory + Int64Bytes(10) + ".dne");

  const std::string error = "Slideshow Error: ";
  struct TCase {
    std::string Show;
    std::string Err;
  } cases[] = {
      {"moved.vxshow", "Slide-show File Modified"},
      {"damaged.vxshow", "Slide-show File Damaged"},
      {"plain.vxshow", "Can`t Load Show"},
      {"missing.vxshow", "Slideshow File not Found"},
      {"noproject.vxshow", "Executable SlideShow Open Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Show);
    TRun run = Play(VIV_VIEWER, {P(c.Show)});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    // Both names tried; here the second is the first, which has ".vxshow".
    EXPECT_EQ(run.Err, error + c.Err + "\n\"" + P(c.Show) + "\" or \"" + P(c.Show) + "\"\n");
  }

  TRun run = Play(VIV_VIEWER, {P("empty.vxshow")});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, error + "No Slides in Presentation\n");
}

}  // namespace
}  // namespace viv
