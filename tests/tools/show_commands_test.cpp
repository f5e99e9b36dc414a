// The show tool's timeline, slide-info, positions and effects commands on a
// package it packed itself.
#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>

#include "base/stream.h"
#include "tool_runner.h"

namespace viv {
namespace {

using test::TRun;

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

// Three slides ending at 4000, 9000 and 12000 in a show that closes: a cut
// into slide 0, 1500 ms of "page" into slide 1, the show-wide 1000 ms into
// slide 2 by random choice.
const char* kProject = R"([Main]
VivVersion=5.6
opt_repeat=close
object TheEffect:AnEffect
  time=1000
  object dissolve:dissolve
    stdidx=2
    checked=1
  end
  object page:page
    stdidx=7
    key=direction
    direction=11110000
    smoothline=0.3
  end
end
[Times]
opt_slidescount=3
opt_synchpos1=4000
opt_synchpos2=9000
opt_synchpos3=12000
[Slide1]
SlideID=first
Pers_EndAction=pause
object TheEffect:AnEffect
  ref=quick
end
[Slide2]
Picture=Pictures\Beach.jpg
Pers_EndAction=loop
Pers_RunApp=1
RunAppFN=notes.txt
object TheEffect:AnEffect
  ref=page
  time=1500
end
)";

class ShowCommandsTest : public test::TToolTest {
 protected:
  void SetUp() override {
    TToolTest::SetUp();
    Pack("show.vxshow", kProject);
  }

  void Pack(const std::string& package, const std::string& project) {
    fs::create_directories(P("src"));
    WriteFileBytes(P("src/Project.viv"), project);
    TRun packed = Run({"pack", P("src"), P(package)});
    ASSERT_EQ(packed.Status, 0) << packed.Err;
  }

  json Json(std::vector<std::string> args) const {
    TRun run = Run(std::move(args));
    EXPECT_EQ(run.Status, 0) << run.Err;
    return json::parse(run.Out);
  }
};

TEST_F(ShowCommandsTest, Timeline) {
  json expected = json::parse(R"({
    "slide_count": 3, "duration": 12000, "repeat_mode": "close",
    "slides": [
      {"index": 0, "start": 0, "end": 4000, "in": 0, "out": 1500, "visible_end": 5500,
       "id": "first", "end_action": "pause", "loop_length": 0, "run_app": null},
      {"index": 1, "start": 4000, "end": 9000, "in": 1500, "out": 1000, "visible_end": 10000,
       "id": "Beach", "end_action": "loop", "loop_length": 3500, "run_app": "notes.txt"},
      {"index": 2, "start": 9000, "end": 12000, "in": 1000, "out": 0, "visible_end": 12000,
       "id": "", "end_action": null, "loop_length": 0, "run_app": null}
    ]})");
  EXPECT_EQ(Json({"timeline", P("show.vxshow")}), expected);
}

TEST_F(ShowCommandsTest, SlideInfo) {
  struct TCase {
    const char* Index;
    json Expected;
  };
  const TCase cases[] = {
      {"1",
       {{"loop", 0},
        {"start", 4000},
        {"end", 9000},
        {"in", 1500},
        {"out", 1000},
        {"visible_end", 10000},
        {"position", 4000}}},
      // Past the end: the first slide one repetition later; the end of the
      // show gets no extra millisecond.
      {"3",
       {{"loop", 1},
        {"start", 12000},
        {"end", 16000},
        {"in", 0},
        {"out", 1500},
        {"visible_end", 17500},
        {"position", 12000}}},
      {"0",
       {{"loop", 0},
        {"start", 0},
        {"end", 4000},
        {"in", 0},
        {"out", 1500},
        {"visible_end", 5500},
        {"position", 1}}},
      {"-1",
       {{"loop", -1},
        {"start", -1073741823.0},
        {"end", 0},
        {"in", 0},
        {"out", 0},
        {"visible_end", 0},
        {"position", 1}}},
      {"-5",
       {{"loop", -1},
        {"start", -2147483647.0},
        {"end", -1073741823.0},
        {"in", 0},
        {"out", 0},
        {"visible_end", -1073741823.0},
        {"position", 1}}},
      // The largest index: slide 1 of repetition 3074457345618258602, whose
      // start lies beyond 64 bits of milliseconds, so the position stops there.
      {"9223372036854775807",
       {{"loop", 2147483647},
        {"start", 3.6893488147419103e+22},
        {"end", 3.6893488147419103e+22},
        {"in", 1500},
        {"out", 1000},
        {"visible_end", 3.6893488147419103e+22},
        {"position", 9223372036854775807}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Index);
    EXPECT_EQ(Json({"slide-info", P("show.vxshow"), c.Index}), c.Expected);
  }
}

TEST_F(ShowCommandsTest, Positions) {
  json at100 =
      json::parse(R"({"slide_at": 0, "next": 4000, "next_skip_transition": 5500, "previous": 0,
    "barrier": {"present": true, "index": 0, "time": 4000, "loop_length": 0},
    "action": {"index": 1, "time": 4001, "file": "notes.txt"}})");
  EXPECT_EQ(Json({"positions", P("show.vxshow"), "100"}), at100);
  json at4500 =
      json::parse(R"({"slide_at": 1, "next": 9000, "next_skip_transition": 10000, "previous": 0,
    "barrier": {"present": true, "index": 1, "time": 9000, "loop_length": 3500},
    "action": {"index": 2147483646, "time": 3.4e38, "file": ""}})");
  EXPECT_EQ(Json({"positions", P("show.vxshow"), "4500"}), at4500);

  json at11000 = Json({"positions", P("show.vxshow"), "11000"});
  EXPECT_EQ(at11000["slide_at"], 2);
  EXPECT_EQ(at11000["next"], 12000);  // the end of the show, no transition to skip
  EXPECT_EQ(at11000["next_skip_transition"], 12000);
  EXPECT_EQ(at11000["previous"], 5500);
  EXPECT_EQ(at11000["barrier"],
            json({{"present", false}, {"index", 2}, {"time", 12000}, {"loop_length", 0}}));
}

TEST_F(ShowCommandsTest, EffectsWithAFixedSeed) {
  json first = Json({"effects", P("show.vxshow"), "--seed", "42"});
  EXPECT_EQ(first, Json({"effects", P("show.vxshow"), "--seed", "42"}));

  EXPECT_EQ(first["show_time"], 1000);
  EXPECT_EQ(first["catalogue"], json::parse(R"([
    {"name": "dissolve", "class": "dissolve", "enabled": true, "variants": 1},
    {"name": "page", "class": "page", "enabled": true, "variants": 4},
    {"name": "default", "class": "default", "enabled": false, "variants": 0},
    {"name": "defowntime", "class": "defowntime", "enabled": false, "variants": 0},
    {"name": "quick", "class": "quick", "enabled": false, "variants": 0}])"));
  EXPECT_EQ(first["random_list"],
            json::parse(R"([{"name": "dissolve", "type": 1}, {"name": "page", "type": 5}])"));

  const json& slides = first["slides"];
  ASSERT_EQ(slides.size(), 3u);
  EXPECT_EQ(slides[0], json::parse(R"({"index": 0, "ref": "quick", "type": 0, "flags": [],
    "int_params": [], "float_params": [], "time": 0, "smoothing": 0, "filter": null})"));
  // Named: every enabled direction stays; the filter takes the first.
  EXPECT_EQ(slides[1], json::parse(R"({"index": 1, "ref": "page", "type": 5,
    "flags": [true, true, true, true, false, false, false, false],
    "int_params": [], "float_params": [], "time": 1500, "smoothing": 0.3,
    "filter": {"class": "TDiagLines", "params": {"group": 10, "kind": 2}}})"));
  // Random: one variant of an enabled entry, at the show-wide time.
  const json& random = slides[2];
  EXPECT_EQ(random["ref"], "default");
  EXPECT_EQ(random["time"], 1000);
  int type = random["type"];
  ASSERT_TRUE(type == 1 || type == 5) << type;
  int set = 0;
  for (bool flag : random["flags"]) set += flag ? 1 : 0;
  EXPECT_EQ(set, 1);
  EXPECT_EQ(random["smoothing"], type == 1 ? 0.001 : 0.3);
}

TEST_F(ShowCommandsTest, ShowsThePlayerRefuses) {
  Pack("empty.vxshow", "[Main]\nVivVersion=5.6\n");
  Pack("bad.vxshow",
       "[Main]\nVivVersion=5.6\n[Times]\nopt_slidescount=2\nopt_synchpos1=500\n"
       "opt_synchpos2=400\n");
  for (const char* command : {"timeline", "effects"}) {
    SCOPED_TRACE(command);
    TRun empty = Run({command, P("empty.vxshow")});
    EXPECT_EQ(empty.Status, 2);
    EXPECT_EQ(empty.Out, "");
    EXPECT_EQ(empty.Err, "Slideshow Error: No Slides in Presentation\n");
    TRun bad = Run({command, P("bad.vxshow")});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("'Incorrect time'"), std::string::npos) << bad.Err;
  }
}

}  // namespace
}  // namespace viv
