// Colour profiles and management: the built-in profiles, sharing of sRGB,
// tables and their lookups, the start-up and show settings, stored tables and
// the ICC profile of JPEG files.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <filesystem>

#include "base/commands_storage.h"
#include "container/aux_libraries.h"
#include "container/package_writer.h"
#include "container/show_locator.h"
#include "image/colour/colour_management.h"
#include "image/image_library.h"
#include "image/loaders/jpeg_loader.h"
#include "image/loaders/png_loader.h"
#include "image/loaders/qvgf_loader.h"
#include "image_test_support.h"
#include "support/scratch_folder.h"

namespace viv {
namespace {

namespace fs = std::filesystem;

class Colour : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallImageLibrary(); }
  void SetUp() override { ResetColourState(); }
  void TearDown() override { ResetColourState(); }
};

struct TProfileInfo {
  cmsProfileClassSignature Class;
  double Version;
  std::string Description;
  cmsCIEXYZ Red, Green, Blue;
  uint32_t CurvePoints;
  float CurveAtHalf;
};

TProfileInfo Inspect(const std::string& icc) {
  cmsHPROFILE p = cmsOpenProfileFromMem(icc.data(), icc.size());
  EXPECT_NE(p, nullptr);
  TProfileInfo info{};
  info.Class = cmsGetDeviceClass(p);
  info.Version = cmsGetProfileVersion(p);
  char text[128] = {};
  cmsGetProfileInfoASCII(p, cmsInfoDescription, "en", "US", text, sizeof text);
  info.Description = text;
  info.Red = *static_cast<cmsCIEXYZ*>(cmsReadTag(p, cmsSigRedColorantTag));
  info.Green = *static_cast<cmsCIEXYZ*>(cmsReadTag(p, cmsSigGreenColorantTag));
  info.Blue = *static_cast<cmsCIEXYZ*>(cmsReadTag(p, cmsSigBlueColorantTag));
  auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(p, cmsSigRedTRCTag));
  info.CurvePoints = cmsGetToneCurveEstimatedTableEntries(curve);
  info.CurveAtHalf = cmsEvalToneCurveFloat(curve, 0.5f);
  cmsCloseProfile(p);
  return info;
}

TEST_F(Colour, BuiltInProfilesHaveTheirProperties) {
  TProfileInfo srgb = Inspect(BuiltInProfile(kSrgbName)->Icc());
  EXPECT_EQ(srgb.Class, cmsSigDisplayClass);
  EXPECT_NEAR(srgb.Version, 2.1, 1e-9);
  EXPECT_EQ(srgb.Description, "sRGB IEC61966-2.1");
  EXPECT_EQ(srgb.CurvePoints, 1024u);
  EXPECT_NEAR(srgb.CurveAtHalf, 0.214, 0.002);  // the sRGB curve at 0.5

  TProfileInfo adobe = Inspect(BuiltInProfile(kAdobeRgbName)->Icc());
  EXPECT_EQ(adobe.Description, "Adobe RGB (1998)");
  EXPECT_NEAR(adobe.Version, 2.1, 1e-9);
  EXPECT_NEAR(adobe.CurveAtHalf, std::pow(0.5, 563.0 / 256), 1e-4);

  TProfileInfo funky = Inspect(BuiltInProfile(kFunkyRgbName)->Icc());
  EXPECT_EQ(funky.Class, cmsSigDisplayClass);
  EXPECT_NEAR(funky.Version, 2.4, 1e-9);
  EXPECT_EQ(funky.CurvePoints, 129u);
  EXPECT_NEAR(funky.CurveAtHalf, 0.214, 0.016);
  // Its colourants are sRGB's, turned round: red is sRGB's green, and so on.
  EXPECT_NEAR(funky.Red.X, srgb.Green.X, 0.002);
  EXPECT_NEAR(funky.Red.Y, srgb.Green.Y, 0.002);
  EXPECT_NEAR(funky.Green.Z, srgb.Blue.Z, 0.002);
  EXPECT_NEAR(funky.Blue.X, srgb.Red.X, 0.002);

  // "YUVsRGB" holds sRGB's bytes and is still another profile.
  EXPECT_EQ(BuiltInProfile(kYuvSrgbName)->Icc(), BuiltInProfile(kSrgbName)->Icc());
  EXPECT_NE(BuiltInProfile(kYuvSrgbName), BuiltInProfile(kSrgbName));
}

TEST_F(Colour, EmbeddedSrgbProfilesShareTheBuiltInOne) {
  TRef<TColorProfile> srgb = BuiltInProfile(kSrgbName);
  std::string marked = std::string(100, 'x') + "sRGB IEC61966-2.1" + std::string(1000, 'y');
  std::string late = std::string(500, 'x') + "sRGB IEC61966-2.1";  // ends after byte 512
  struct TCase {
    std::string Bytes;
    bool Shared;
  } cases[] = {{srgb->Icc(), true},
               {marked, true},
               {late, false},
               {BuiltInProfile(kAdobeRgbName)->Icc(), false}};
  for (const TCase& c : cases) {
    TRef<TColorProfile> profile = ProfileFromIcc(c.Bytes, "pic.jpg");
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile == srgb, c.Shared) << c.Bytes.size();
    if (!c.Shared) {
      EXPECT_EQ(profile->Name(), "pic.jpg");
    }
  }
  EXPECT_FALSE(ProfileFromIcc({}, "empty"));
  EXPECT_FALSE(ProfileFromFile("/nonexistent/profile.icc"));
}

TEST_F(Colour, IdentityTableLayoutAndLookups) {
  EXPECT_EQ(GridLevel(0), 0);
  EXPECT_EQ(GridLevel(1), 8);
  EXPECT_EQ(GridLevel(30), 247);
  EXPECT_EQ(GridLevel(31), 255);
  TRef<TBitmap> identity = MakeIdentityTable(TPixelFormat::Rgb24);
  ASSERT_EQ(identity->Width(), 32);
  ASSERT_EQ(identity->Height(), 1024);
  // Node (i, j, k) = (3, 5, 7) is row 3 x 32 + 5, column 7, bytes i, j, k.
  const uint8_t* node = identity->Row(3 * 32 + 5) + 7 * 3;
  EXPECT_EQ(node[0], GridLevel(3));
  EXPECT_EQ(node[1], GridLevel(5));
  EXPECT_EQ(node[2], GridLevel(7));
  // Every colour comes back unchanged through the identity.
  for (uint32_t colour : {0x000000u, 0xFFFFFFu, 0x123456u, 0x80FF01u, 0x7F7F7Fu, 0xFF000080u})
    EXPECT_EQ(InterpolateTable(*identity, colour), colour) << std::hex << colour;
}

TEST_F(Colour, LookupsInterpolateInFixedPoint) {
  // A table whose first byte is 2 x i, second 255 - level(j), third 0: the
  // interpolation of each byte follows its own axis only.
  auto table = MakeRef<TBitmap>(32, 1024, TPixelFormat::Rgb24);
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 32; ++j)
      for (int k = 0; k < 32; ++k) {
        uint8_t* p = table->Row(i * 32 + j) + k * 3;
        p[0] = static_cast<uint8_t>(2 * i);
        p[1] = static_cast<uint8_t>(255 - GridLevel(j));
        p[2] = 0;
      }
  struct TCase {
    uint32_t In, Out;
  } cases[] = {
      // v = 255 takes the last node; 0 the first.
      {0x0000FF, 0x00FF3E},
      {0x00FF00, 0x000000},
      {0x000000, 0x00FF00},
      // v = 4: q = 31868, cell 0, fraction 31868: 0 + (31868 x 2 + 32767) / 65536 = 1.
      {0x000004, 0x00FF01},
      // v = 12 on the second axis: q = 95604, cell 1 (247), fraction 30069:
      // 247 + (30069 x (239 - 247) + 32767) / 65536 = 247 + (-207785 / 65536) = 244.
      {0x000C00, 0x00F400},
  };
  for (const TCase& c : cases) EXPECT_EQ(InterpolateTable(*table, c.In), c.Out) << std::hex << c.In;
}

TEST_F(Colour, ConvertColorGoesThroughTheDisplayProfile) {
  EXPECT_EQ(ConvertColor(nullptr, 0x336699), 0x336699u);  // no display profile
  SetDisplayProfile(BuiltInProfile(kFunkyRgbName));
  // sRGB red shows as FunkyRGB's blue, green as red, blue as green.
  struct TCase {
    uint32_t In, Out;
  } cases[] = {{0xFF0000, 0x0000FF},
               {0x00FF00, 0xFF0000},
               {0x0000FF, 0x00FF00},
               {0x000000, 0x000000},
               {0xFFFFFF, 0xFFFFFF}};
  for (const TCase& c : cases) {
    uint32_t got = ConvertColor(nullptr, c.In);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(int(got >> shift & 0xFF), int(c.Out >> shift & 0xFF), 4)
          << std::hex << c.In << " gave " << got;
  }
  TRef<TColorProfile> funky = BuiltInProfile(kFunkyRgbName);
  EXPECT_TRUE(funky->TableTried());
  // sRGB to sRGB makes no table: colours stay.
  EXPECT_EQ(ConvertColor(BuiltInProfile(kSrgbName).Get(), 0x336699), 0x336699u);
}

TEST_F(Colour, PictureTablesNeedManagementAndTwoProfiles) {
  EXPECT_FALSE(MakePictureLut(nullptr, nullptr));  // sRGB shown on sRGB
  TRef<TBitmap> adobe = MakePictureLut(BuiltInProfile(kAdobeRgbName), nullptr);
  ASSERT_TRUE(adobe);
  // Adobe RGB red is more saturated than anything sRGB can show.
  const uint8_t* red = adobe->Row(0) + 31 * 3;  // node (0, 0, 31): red 255
  EXPECT_EQ(red[2], 255);
  EXPECT_LT(red[1], 10);
  auto show = MakeRef<TVivShowLocator>(NewDiskAccessor("/"), "/nonexistent.viv");
  ReadColorManagement(*show);  // no "ColorManagement": off
  EXPECT_TRUE(ColorManagementOff());
  EXPECT_FALSE(MakePictureLut(BuiltInProfile(kAdobeRgbName), nullptr));
}

TEST_F(Colour, VideoTablesConvertYuvAndAreCachedPerProfile) {
  auto show = MakeRef<TVivShowLocator>(NewDiskAccessor("/"), "/nonexistent.viv");
  ReadColorManagement(*show);
  TRef<TBitmap> yuv = GetVideoColorLut(false, nullptr);
  ASSERT_EQ(yuv->Format(), TPixelFormat::Argb32);
  EXPECT_EQ(yuv->Pixel(0, 0), 0xFF008700u);          // Y = U = V = 0
  EXPECT_EQ(yuv->Pixel(31, 1023), 0xFFFF7DFFu);      // Y = U = V = 255
  EXPECT_EQ(GetVideoColorLut(false, nullptr), yuv);  // cached
  TRef<TBitmap> rgb = GetVideoColorLut(true, nullptr);
  EXPECT_EQ(rgb->Pixel(7, 3 * 32 + 5),
            0xFF000000u | GridLevel(7) << 16 | GridLevel(5) << 8 | GridLevel(3));
  // With management off a profile changes nothing.
  EXPECT_EQ(GetVideoColorLut(true, BuiltInProfile(kFunkyRgbName)), rgb);
}

// A show project on disk with its [Main] "ColorManagement".
class ColourSettings : public Colour {
 protected:
  TRef<TVivShowLocator> Show(const std::string& value) {
    std::string path = fFolder.Path() + "/Project.viv";
    WriteFileBytes(path, "[Main]\r\nColorManagement=" + value + "\r\n");
    return OpenProjectShow(path);
  }
  void SetUp() override {
    Colour::SetUp();
    SetColourLibraryHook([](const TVivShowLocator*) { return true; });
  }
  void TearDown() override {
    SetColourLibraryHook(nullptr);
    Colour::TearDown();
  }
  test::TScratchFolder fFolder;
};

TEST_F(ColourSettings, ShowValuesSetTheDisplayProfile) {
  std::string adobeFile = fFolder.Path() + "/adobe.icc";
  WriteFileBytes(adobeFile, BuiltInProfile(kAdobeRgbName)->Icc());
  struct TCase {
    std::string Value;
    bool Off, FromShow;
    const char* Display;  // name of the display profile, nullptr for none
  } cases[] = {
      {"", true, false, nullptr},
      {"*", false, false, "FunkyRGB"},
      {"srgb", false, true, "sRGB"},
      {"AdobeRGB", false, true, "AdobeRGB"},
      {"?", false, true, nullptr},  // the system reports no profile
      {adobeFile, false, true, adobeFile.c_str()},
      {fFolder.Path() + "/missing.icc", false, true, nullptr},
  };
  for (const TCase& c : cases) {
    ResetColourState();
    ASSERT_TRUE(Show(c.Value)) << c.Value;
    EXPECT_EQ(ColorManagementOff(), c.Off) << c.Value;
    EXPECT_EQ(DisplayProfileFromShow(), c.FromShow) << c.Value;
    TRef<TColorProfile> display = DisplayProfileRef();
    EXPECT_EQ(display ? display->Name() : std::string("none"), c.Display ? c.Display : "none")
        << c.Value;
  }
}

TEST_F(ColourSettings, SwitchesComeBeforeTheShow) {
  struct TCase {
    std::vector<std::string> Tokens;
    std::string Value;
    bool Off;
    const char* Display;
  } cases[] = {
      {{"player", "-noicc", "-icc", "AdobeRGB"}, "sRGB", true, nullptr},
      {{"player", "-icc", "adobergb"}, "sRGB", false, "AdobeRGB"},
      {{"player", "-icc", "adobergb"}, "*", false, "AdobeRGB"},  // "*" yields to the switch
      {{"player", "-icc", "/nonexistent.icc"}, "FunkyRGB", false, "FunkyRGB"},
      {{"player", "-icc"}, "sRGB", false, "sRGB"},  // "auto": the system has none
  };
  for (const TCase& c : cases) {
    ResetColourState();
    TCommandsStorage switches;
    switches.AddTokens(c.Tokens);
    ReadIccSwitches(switches);
    ASSERT_TRUE(Show(c.Value));
    EXPECT_EQ(ColorManagementOff(), c.Off) << c.Tokens.back();
    TRef<TColorProfile> display = DisplayProfileRef();
    EXPECT_EQ(display ? display->Name() : std::string("none"), c.Display ? c.Display : "none")
        << c.Tokens.back() << " with " << c.Value;
  }
}

TEST_F(ColourSettings, StoredTablesStandInForTheEngineInPackages) {
  // The stored table holds the conversion minus the identity: here +1 on
  // every byte of every node, and +1 again on the very first one.
  auto stored = MakeRef<TBitmap>(32, 1024, TPixelFormat::Rgb24);
  stored->Fill(0x010101);
  stored->Row(0)[0] = 2;
  std::vector<TPackSource> entries = {
      {"Project.viv", "", "[Main]\r\nColorManagement=*\r\n", TPackMethod::Deflated},
      {"ColorSpaceExe_AdobeRGB].QVGFX", "", EncodeQvgf(*stored, "t.bmp"), TPackMethod::Stored}};
  std::string package = fFolder.Path() + "/show.vxshow";
  WritePackage(package, entries, {});
  TShowOpenResult opened = OpenPackageShow(package);
  ASSERT_TRUE(opened.Show) << opened.ErrorText;
  EXPECT_FALSE(DisplayProfileFromShow());

  TRef<TBitmap> table = MakePictureLut(BuiltInProfile(kAdobeRgbName), nullptr);
  ASSERT_TRUE(table);
  const uint8_t* node = table->Row(3 * 32 + 5) + 7 * 3;
  EXPECT_EQ(node[0], GridLevel(3) + 1);
  EXPECT_EQ(node[2], GridLevel(7) + 1);
  EXPECT_EQ(table->Row(0)[0], 2);
  // Adding wraps modulo 256.
  EXPECT_EQ(table->Row(31 * 32 + 31)[31 * 3], 0);
  // Without a stored table for the source, there is no conversion at all.
  EXPECT_FALSE(MakePictureLut(BuiltInProfile(kFunkyRgbName), BuiltInProfile(kAdobeRgbName)));
}

TEST_F(Colour, JpegIccScanFindsTheFirstChunkAndLogsBadMarkers) {
  std::string icc = BuiltInProfile(kAdobeRgbName)->Icc();
  std::string jpeg = test::MakeJpeg(*test::PatternBitmap(8, 8, TPixelFormat::Rgb24),
                                    test::TJpegOptions::WithIcc(icc));
  auto scan = [](const std::string& bytes) {
    auto stream = test::MemoryStream(bytes);
    return ExtractJpegIcc(*stream);
  };
  EXPECT_EQ(scan(jpeg), icc);
  EXPECT_EQ(scan(test::MakeJpeg(*test::PatternBitmap(8, 8, TPixelFormat::Rgb24))), "");

  struct TCase {
    std::string Bytes;
    const char* Log;
  } cases[] = {
      {"", "Jpeg Marker expected"},
      {std::string("\xFF\xD8\x12", 3), "Error: marker expected at 2"},
      {std::string("\xFF\xD8\xFF\xFF\xFF\xD9", 6), "Error: duplicate $FF encountered at 3"},
  };
  for (const TCase& c : cases) {
    test::TLogCapture log;
    EXPECT_EQ(scan(c.Bytes), "");
    EXPECT_TRUE(log.Contains(c.Log)) << c.Log;
  }
  // An APP2 segment that claims more than the file holds gives nothing.
  std::string longer = jpeg.substr(0, jpeg.find("ICC_PROFILE") + 200);
  EXPECT_EQ(scan(longer), "");
  // Not a JPEG: the scan ends at the first marker.
  EXPECT_EQ(scan(std::string("\xFF\xE2\x00\x20", 4) + std::string(40, 'x')), "");
}

}  // namespace
}  // namespace viv
