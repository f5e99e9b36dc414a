// Pictures made from pictures (shadows, masks, preset masks, placeholders),
// metadata, pictures opened through the file accessor, and the vivtool
// picture commands.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>

#include "container/file_accessor.h"
#include "image/colour/colour_management.h"
#include "image/image_library.h"
#include "image/loaders/png_loader.h"
#include "image/mask_picture.h"
#include "image/picture_metadata.h"
#include "image/placeholder_picture.h"
#include "image/shadow_picture.h"
#include "image_test_support.h"
#include "support/scratch_folder.h"

extern char** environ;

namespace viv {
namespace {

namespace fs = std::filesystem;

class Generated : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallImageLibrary(); }
};

TEST_F(Generated, ShadowIsThePaddedBlurredAlpha) {
  // An opaque 40 x 30 picture: the shadow is a soft rectangle.
  auto picture = MakeRef<TBitmap>(40, 30, TPixelFormat::Rgb24);
  TShadowPictureParams params{16, 0, 1};  // radius 4, padding 10
  EXPECT_DOUBLE_EQ(ShadowRadius(params), 4);
  ASSERT_EQ(ShadowPadding(params), 10);
  TRef<TBitmap> shadow = MakeShadowBitmap(*picture, params);
  ASSERT_TRUE(shadow);
  EXPECT_EQ(shadow->Format(), TPixelFormat::Gray8);
  EXPECT_EQ(shadow->Width(), 60);
  EXPECT_EQ(shadow->Height(), 50);
  auto at = [&](int32_t x, int32_t y) { return int{shadow->Row(y)[x]}; };
  // Row 25 lies deep enough inside the picture's rows that the vertical pass
  // gives 1, so along it the shadow is the row alone. The row's alpha, 1 on
  // columns 10 to 49 of 60, reduces to 15 samples; sample o is centred on
  // column 4o + 1.5 and weighs columns by the B-spline widened 4 times, its
  // weights normalised over the columns that exist: samples 1, 2, 3 come out
  // 0.0405, 0.5, 0.9596, and 4 to 10 are 1. Enlarging, column 10 is centred
  // at 2.125 in samples and takes samples 1 to 4 with B(1.125), B(0.125),
  // B(0.875), B(1.875) = 0.1117, 0.6520, 0.2360, 0.0003:
  //   0.1117 x 0.0405 + 0.6520 x 0.5 + 0.2360 x 0.9596 + 0.0003 = 0.5573,
  // and 0.5573 x 255 = 142.1. Column 30 takes only samples of 1.
  EXPECT_EQ(at(30, 25), 255);  // well inside
  EXPECT_EQ(at(0, 0), 0);      // the padding's corner
  EXPECT_EQ(at(10, 25), 142);  // the picture's edge, a little over half covered
  // Left and right, top and bottom fall off alike.
  for (int32_t d = 0; d < 12; ++d) {
    EXPECT_NEAR(at(10 + d, 25), at(49 - d, 25), 2) << d;
    EXPECT_NEAR(at(30, 10 + d), at(30, 39 - d), 2) << d;
  }
  // Spread index 4 triples the reduced samples, at most 1: sample 1 becomes
  // 0.1214 and 2 and 3 become 1, so column 10 gets
  //   0.1117 x 0.1214 + 0.6520 + 0.2360 + 0.0003 = 0.9019, x 255 = 230.0.
  // A transparent picture casts no shadow.
  TRef<TBitmap> firm = MakeShadowBitmap(*picture, {16, 4, 1});
  EXPECT_EQ(firm->Row(25)[10], 230);
  auto clear = MakeRef<TBitmap>(8, 8, TPixelFormat::Argb32);
  TRef<TBitmap> none = MakeShadowBitmap(*clear, params);
  for (size_t i = 0; i < none->ByteSize(); ++i) ASSERT_EQ(none->Data()[i], 0);
}

TEST_F(Generated, ShadowNamesRoundTripWithColonsInTheSource) {
  TShadowPictureParams params{12.5f, 3, 0.25f};
  std::string name = ShadowPictureName(params, "C:\\Photos\\a.jpg");
  EXPECT_EQ(name, "Shadow: 12.5:3:0.25:C:\\Photos\\a.jpg");
  TShadowPictureParams parsed;
  std::string source;
  ASSERT_TRUE(ParseShadowPictureName(name, parsed, source));
  EXPECT_EQ(parsed.Size, 12.5f);
  EXPECT_EQ(parsed.SpreadIndex, 3);
  EXPECT_EQ(parsed.PictureScale, 0.25f);
  EXPECT_EQ(source, "C:\\Photos\\a.jpg");
  for (const char* bad : {"Shadow: 1:2:a.jpg", "Shadow: x:2:1:a.jpg", "Shadow: 1:2:1:", "Mask: a"})
    EXPECT_FALSE(ParseShadowPictureName(bad, parsed, source)) << bad;
  // Sizes that would exceed the limits are declined.
  auto wide = MakeRef<TBitmap>(65000, 1, TPixelFormat::Gray8);
  EXPECT_FALSE(MakeShadowBitmap(*wide, {1000, 0, 1}));
}

TEST_F(Generated, MaskAlphaComesFromColourOnlyForOpaquePictures) {
  auto opaque = MakeRef<TBitmap>(2, 1, TPixelFormat::Rgb24);
  opaque->SetPixel(0, 0, 0xFFFFFFFF);
  opaque->SetPixel(1, 0, 0xFF336699);
  auto mask = MakeRef<TMaskBitmapStore>(MakeRef<TWrapperBitmapStore>("m", opaque, "bmp"));
  TRef<TBitmap> level = mask->GetMipLevel(0);
  EXPECT_EQ(level->Pixel(0, 0), 0xFFFFFFFFu);
  // Luma of 0x336699: (51 x 77 + 102 x 150 + 153 x 29 + 128) >> 8 = 92.
  EXPECT_EQ(level->Pixel(1, 0), 0x5C336699u);
  EXPECT_EQ(mask->GetMipLevel(1)->Width(), 1);

  auto translucent = MakeRef<TBitmap>(1, 1, TPixelFormat::Argb32);
  translucent->SetPixel(0, 0, 0x20FFFFFF);
  auto kept = MakeRef<TMaskBitmapStore>(MakeRef<TWrapperBitmapStore>("t", translucent, "png"));
  EXPECT_EQ(kept->GetMipLevel(0)->Pixel(0, 0), 0x20FFFFFFu);
}

TEST_F(Generated, PresetMasksDrawTheirShapes) {
  struct TCase {
    const char* Name;
    int32_t X, Y;
    int Expected;
  } cases[] = {
      {"PresetedMask:100:50:0:100:0", 50, 25, 255},  // hard ellipse touching the edges
      {"PresetedMask:100:50:0:100:0", 1, 1, 0},
      {"PresetedMask:100:50:0:100:0", 97, 25, 255},
      {"PresetedMask:100:50:1:50:0", 70, 25, 255},  // rectangle over the central half
      {"PresetedMask:100:50:1:50:0", 80, 25, 0},
      {"PresetedMask:100:50:2:100:0", 10, 10, 0},  // diamond: corners stay clear
      {"PresetedMask:100:50:0:50:50", 50, 25, 255},
      // In the soft edge: the centre of (68, 25) lies at (0.37, 0.02), 0.3705
      // from the middle; the edge fades from 0.25 to 0.5, so (0.5 - 0.3705) /
      // 0.25 = 0.5178, x 255 = 132.0.
      {"PresetedMask:100:50:0:50:50", 68, 25, 132},
      {"PresetedMask:100:50:3:30:0", 20, 10, 255},  // left of a vertical edge at 30 %
      {"PresetedMask:100:50:3:30:0", 40, 10, 0},
      // On a soft horizontal edge from 0.4 to 0.6 of the height: row 25 is
      // centred at 25.5 / 50 = 0.51, so (0.6 - 0.51) / 0.2 = 0.45, x 255 = 114.75.
      {"PresetedMask:100:50:4:50:20", 10, 25, 115},
      {"100:50:4:50:0", 10, 10, 255},  // the prefix may be left out
  };
  for (const TCase& c : cases) {
    TRef<TSysBitmapStore> store = MakePresetMask(c.Name);
    ASSERT_TRUE(store) << c.Name;
    TRef<TBitmap> mask = store->GetMipLevel(0);
    ASSERT_EQ(mask->Format(), TPixelFormat::Gray8);
    ASSERT_EQ(mask->Width(), 100);
    EXPECT_EQ(mask->Row(c.Y)[c.X], c.Expected) << c.Name << " at " << c.X << "," << c.Y;
  }
  for (const char* bad : {"PresetedMask:100:50:9:50:50", "PresetedMask:100:50:0:50",
                          "PresetedMask:65535:65535:0:50:50", "PresetedMask:1e400:5:0:1:1",
                          "PresetedMask:10.5:5:0:1:1", "PresetedMask:", "PresetedMask:a:b:c:d:e"})
    EXPECT_FALSE(MakePresetMask(bad)) << bad;
}

TEST_F(Generated, MetadataComesFromExifAndIptc) {
  std::string jpeg =
      test::AddMetadata(test::MakeJpeg(*test::PatternBitmap(8, 8, TPixelFormat::Rgb24)));
  auto stream = test::MemoryStream(jpeg);
  TPictureMetadata metadata;
  ASSERT_TRUE(ReadPictureMetadata(*stream, metadata));
  EXPECT_EQ(metadata.ExifDescription, "A lighthouse");
  EXPECT_EQ(metadata.ExifComment, "Taken at dawn");
  EXPECT_EQ(metadata.ExifDateTime, "2021:06:05 04:32:10");
  EXPECT_EQ(metadata.Iptc["City"], "Brest");
  EXPECT_EQ(metadata.Iptc["Headline"], "Morning light");
  EXPECT_EQ(metadata.Iptc["OTR"], "REF-7");
  EXPECT_EQ(metadata.Iptc.count("Country"), 0u);

  for (std::string bad : {std::string(), std::string("not a picture"), jpeg.substr(0, 30)}) {
    auto s = test::MemoryStream(bad);
    TPictureMetadata none;
    EXPECT_FALSE(ReadPictureMetadata(*s, none));
  }
}

class Accessor : public Generated {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    return fFolder.Write(name, bytes);
  }
  test::TScratchFolder fFolder;
};

TEST_F(Accessor, PicturesOpenTurnedReducedOrAsPlaceholders) {
  std::string path =
      Write("a.jpg", test::MakeJpeg(*test::PatternBitmap(64, 32, TPixelFormat::Rgb24)));
  std::string broken = Write("b.jpg", "not a picture at all");
  auto accessor = NewDiskAccessor(
      fFolder.Path(), [](std::string_view name) { return name.ends_with("a.jpg") ? 6 : 1; });
  TRef<TSharedPicture> turned = accessor->OpenPicture(path);
  ASSERT_NE(turned->Store(), nullptr);
  EXPECT_EQ(turned->Store()->Width(), 32);
  EXPECT_EQ(turned->Store()->Height(), 64);

  struct TCase {
    std::string Name;
    std::string Missing;
  } cases[] = {{fFolder.Path() + "/missing.jpg", "missing.jpg"}, {broken, "b.jpg"}};
  for (const TCase& c : cases) {
    TRef<TSharedPicture> placeholder = accessor->OpenPicture(c.Name);
    auto* store = dynamic_cast<TSysBitmapStore*>(placeholder->Store());
    ASSERT_NE(store, nullptr) << c.Name;
    EXPECT_EQ(store->Width(), kPlaceholderWidth);
    EXPECT_EQ(store->Name(), c.Missing);
  }

  auto reducing = NewDiskAccessor(fFolder.Path());
  reducing->SetReductionLevel(2);
  TRef<TSharedPicture> reduced = reducing->OpenPicture(path);
  ASSERT_NE(reduced->Reduced(), nullptr);
  EXPECT_EQ(reduced->Reduced()->Width(), 16);
  EXPECT_EQ(reduced->Reduced()->Height(), 8);
}

int RunTool(std::vector<std::string> args, const std::string& out) {
  args.insert(args.begin(), VIV_TOOL);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
    ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Accessor, VivtoolReportsPicturesTablesAndColours) {
  std::string out = fFolder.Path() + "/out.json";
  std::string jpeg =
      Write("p.jpg", test::MakeJpeg(*test::PatternBitmap(1001, 601, TPixelFormat::Rgb24),
                                    test::TJpegOptions::Greyscale()));
  ASSERT_EQ(RunTool({"image", jpeg, "--level", "1", "--png", fFolder.Path() + "/l1.png"}, out), 0);
  EXPECT_EQ(ReadFileBytes(out),
            "{\n  \"loader\": \"jpeg\",\n  \"width\": 1001,\n  \"height\": 601,\n"
            "  \"format\": \"gray8\",\n  \"profile\": null,\n  \"level\": 1,\n"
            "  \"level_width\": 501,\n  \"level_height\": 301\n}\n");
  TImage written = test::Open(ReadFileBytes(fFolder.Path() + "/l1.png"), "l1.png");
  ASSERT_TRUE(written);
  EXPECT_EQ(written.Width(), 501);
  EXPECT_EQ(RunTool({"image", Write("x.jpg", "nothing")}, out), 2);

  ASSERT_EQ(RunTool({"lut", "sRGB", "sRGB", fFolder.Path() + "/id.png"}, out), 0);
  TImage identity = test::Open(ReadFileBytes(fFolder.Path() + "/id.png"), "id.png");
  ASSERT_TRUE(identity);
  TRef<TBitmap> table = identity.Source()->GetMipLevel(0);
  TRef<TBitmap> expected = MakeIdentityTable(TPixelFormat::Rgb24);
  ASSERT_EQ(table->ByteSize(), expected->ByteSize());
  EXPECT_EQ(std::memcmp(table->Data(), expected->Data(), table->ByteSize()), 0);

  ASSERT_EQ(RunTool({"convert-color", "AdobeRGB", "255,0,0"}, out), 0);
  EXPECT_EQ(ReadFileBytes(out), "{\n  \"r\": 219,\n  \"g\": 0,\n  \"b\": 0\n}\n");
  EXPECT_EQ(RunTool({"convert-color", "AdobeRGB", "256,0,0"}, out), 2);
}

}  // namespace
}  // namespace viv
