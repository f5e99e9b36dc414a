// The show tool's objects command on a package it packed itself: the live
// object tree of a slide at a time, laid out in the presentation window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "base/stream.h"
#include "support/bmp_bytes.h"
#include "tool_runner.h"

namespace viv {
namespace {

using test::TRun;

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

// Slide 2 runs 4000 - 8000. At 1000 ms into it the panel is half faded in and
// a quarter of the way right; the dot inside it is turned a quarter; the
// layer's class is unknown, so nothing of it is live; the 4 x 2 photo waits
// for its window.
const char* kProject = R"([Main]
VivVersion=5.6
opt_scr_width=1280
opt_scr_height=720
opt_repeat=close
[Times]
opt_slidescount=2
opt_synchpos1=4000
opt_synchpos2=8000
[Slide2]
object Container:Root
  object Panel:Box
    GUID=PANEL-1
    Size=640,360
    object a:KeyPoint
      Time=0
      Opacity=0
      Position=0,0
    end
    object b:KeyPoint
      Time=2000
      Opacity=100
      Position=50,0
    end
    object Dot:Frame
      GUID=DOT-1
      Size=320,180
      PosMode=Absolute
      object k:KeyPoint
        Position=10,20
        Angle=90
      end
    end
  end
  object Notes:Layer
    GUID=LAYER-1
    object Hidden:Image
      GUID=HIDDEN-1
    end
  end
  object Photo:Image
    GUID=PHOTO-1
    ImageName=Pictures\photo.bmp
    DeltaTime1=1500
  end
end
)";

class ObjectsCommandTest : public test::TToolTest {
 protected:
  std::string Pack(const std::string& name, const std::string& project) {
    fs::create_directories(P(name + "/Pictures"));
    WriteFileBytes(P(name + "/Project.viv"), project);
    // A 24-bit 4 x 2 picture.
    WriteFileBytes(P(name + "/Pictures/photo.bmp"),
                   test::BuildBmp({4, 2, 24, 0, {}, std::string(2 * 4 * 3, '\x80'), 40, {}}));
    TRun packed = Run({"pack", P(name), P(name + ".vxshow")});
    EXPECT_EQ(packed.Status, 0) << packed.Err;
    return P(name + ".vxshow");
  }
};

void ExpectNumbers(const json& actual, const std::vector<double>& expected, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_TRUE(actual.is_array()) << actual;
  ASSERT_EQ(actual.size(), expected.size()) << actual;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_NEAR(actual[i].get<double>(), expected[i], 1e-4) << i;
}

TEST_F(ObjectsCommandTest, TheLiveTreeOfASlide) {
  std::string show = Pack("show", kProject);
  TRun run = Run({"objects", show, "2", "1000"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  json out = json::parse(run.Out);
  EXPECT_EQ(out["slide"], 2);
  EXPECT_EQ(out["size"], json::parse("[1280, 720]"));
  ASSERT_EQ(out["objects"].size(), 2u);

  const json& panel = out["objects"][0];
  std::vector<std::string> keys;
  for (auto& [key, value] : panel.items()) keys.push_back(key);
  EXPECT_THAT(keys, ::testing::ElementsAre("name", "guid", "class", "kind", "visible", "values",
                                           "size", "origin", "axis_x", "axis_y", "axis_z",
                                           "frame_valid", "source_rect", "opacity", "children"));
  EXPECT_EQ(panel["name"], "Panel");
  EXPECT_EQ(panel["guid"], "PANEL-1");
  EXPECT_EQ(panel["class"], "Box");
  EXPECT_EQ(panel["kind"], 2);
  EXPECT_EQ(panel["visible"], true);
  ExpectNumbers(panel["values"], {50, 25, 0, 0, 100, 100, 0, 0, 0, 0, 0, 0, 100, 0, 0}, "values");
  ExpectNumbers(panel["size"], {640, 360}, "size");
  // 640 + 25 × 1280 × 0.005; fitted twice its size; depth scaled by cot 30°.
  ExpectNumbers(panel["origin"], {800, 360, 0}, "origin");
  ExpectNumbers(panel["axis_x"], {2, 0, 0}, "axis_x");
  ExpectNumbers(panel["axis_y"], {0, 2, 0}, "axis_y");
  ExpectNumbers(panel["axis_z"], {0, 0, 3.4641016}, "axis_z");
  EXPECT_EQ(panel["frame_valid"], true);
  EXPECT_TRUE(panel["source_rect"].is_null());
  EXPECT_NEAR(panel["opacity"].get<double>(), 50, 1e-4);

  ASSERT_EQ(panel["children"].size(), 1u);
  const json& dot = panel["children"][0];
  EXPECT_EQ(dot["name"], "Dot");
  EXPECT_EQ(dot["kind"], 1);
  ExpectNumbers(dot["values"], {100, 10, 20, 0, 100, 100, 90, 0, 0, 0, 0, 0, 100, 0, 0}, "values");
  // (10, 20) along the panel's axes; the quarter turn on top of the panel's scale 2 and its own 2.
  ExpectNumbers(dot["origin"], {820, 400, 0}, "origin");
  ExpectNumbers(dot["axis_x"], {0, 4, 0}, "axis_x");
  ExpectNumbers(dot["axis_y"], {-4, 0, 0}, "axis_y");
  ExpectNumbers(dot["axis_z"], {0, 0, 6.9282032}, "axis_z");
  EXPECT_TRUE(dot["children"].empty());

  const json& photo = out["objects"][1];
  EXPECT_EQ(photo["name"], "Photo");
  EXPECT_EQ(photo["class"], "Image");
  EXPECT_EQ(photo["kind"], 4);
  EXPECT_EQ(photo["visible"], false);  // not before 1500 ms
  ExpectNumbers(photo["size"], {4, 2}, "size");
  ExpectNumbers(photo["source_rect"], {0, 0, 4, 2}, "source_rect");
  // Fitted into 1280 x 720: min(320, 360).
  ExpectNumbers(photo["axis_x"], {320, 0, 0}, "axis_x");
  ExpectNumbers(photo["origin"], {640, 360, 0}, "origin");

  // Past its window start the photo is visible; slide 1 has no objects.
  EXPECT_EQ(json::parse(Run({"objects", show, "2", "2000"}).Out)["objects"][1]["visible"], true);
  EXPECT_TRUE(json::parse(Run({"objects", show, "1", "0"}).Out)["objects"].empty());
}

TEST_F(ObjectsCommandTest, Failures) {
  std::string show = Pack("show", kProject);
  for (const char* slide : {"0", "3"}) {
    TRun run = Run({"objects", show, slide, "0"});
    EXPECT_EQ(run.Status, 2) << slide;
    EXPECT_THAT(run.Err, ::testing::HasSubstr("not in the show")) << slide;
  }
  std::string broken = Pack("broken",
                            "[Times]\nopt_slidescount=1\nopt_synchpos1=1000\n"
                            "[Slide1]\nobject Container:Root\nobject A:Box\nend\nend\n");
  TRun run = Run({"objects", broken, "1", "0"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_THAT(run.Err, ::testing::HasSubstr("VivObject GUID not Assigned"));
  EXPECT_EQ(run.Out, "");
}

}  // namespace
}  // namespace viv
