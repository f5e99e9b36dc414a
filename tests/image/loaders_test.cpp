// The loader registry and every loader: BMP variants, QVGF, JPEG, PNG, GIF,
// and the bad input each must decline or survive.
#include <gtest/gtest.h>

#include <cstring>

#include "base/inflate_stream.h"
#include "image/colour/colour_management.h"
#include "image/image_library.h"
#include "image/loaders/bmp_loader.h"
#include "image/loaders/gif_loader.h"
#include "image/loaders/jpeg_loader.h"
#include "image/loaders/png_loader.h"
#include "image/loaders/qvgf_loader.h"
#include "image/picture_registry.h"
#include "image_test_support.h"
#include "support/bmp_bytes.h"

namespace viv {
namespace {

using test::BuildBmp;
using test::Bytes;
using test::Open;
using test::PatternBitmap;
using test::Qvgf;

class Loaders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallImageLibrary(); }
};

TEST(Registry, ExtensionsAreNormalised) {
  struct TCase {
    const char* In;
    const char* Out;
  } cases[] = {{"*.bmp", ".bmp"},
               {"bmp", ".bmp"},
               {" \t*.JPG", ".JPG"},
               {".gif|framesatlas", ".gif|framesatlas"}};
  for (const TCase& c : cases) EXPECT_EQ(NormaliseExtension(c.In), c.Out) << c.In;
  EXPECT_EQ(PictureExtension("dir.x\\a.gif|framesatlas"), ".gif|framesatlas");
  EXPECT_EQ(PictureExtension("noextension"), "");
}

// --- BMP

struct TBmpCase {
  const char* What;
  test::TBmpLayout Layout;
  TPixelFormat Format;
  std::vector<std::vector<uint32_t>> Rows;  // expected pixels, top row first
};

class BmpVariants : public Loaders, public ::testing::WithParamInterface<TBmpCase> {};

TEST_P(BmpVariants, DecodeToTheirPixels) {
  const TBmpCase& c = GetParam();
  TImage image = Open(BuildBmp(c.Layout), "a.bmp");
  ASSERT_TRUE(image) << c.What;
  EXPECT_EQ(image.Source()->LoaderName(), "bmp");
  EXPECT_EQ(image.Source()->PixelFormat(), c.Format) << c.What;
  TRef<TBitmap> level = image.Source()->GetMipLevel(0);
  ASSERT_EQ(level->Height(), static_cast<int32_t>(c.Rows.size()));
  for (size_t y = 0; y < c.Rows.size(); ++y) {
    ASSERT_EQ(level->Width(), static_cast<int32_t>(c.Rows[y].size()));
    for (size_t x = 0; x < c.Rows[y].size(); ++x)
      EXPECT_EQ(level->Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)), c.Rows[y][x])
          << c.What << " at " << x << "," << y;
  }
}

constexpr uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kGreen = 0xFF00FF00,
                   kBlue = 0xFF0000FF;

INSTANTIATE_TEST_SUITE_P(
    Bmp, BmpVariants,
    ::testing::Values(
        TBmpCase{"1 bit, bottom-up",
                 {3, 2, 1, 0, {0x000000, 0xFFFFFF}, Bytes({0x60, 0, 0, 0, 0xA0, 0, 0, 0})},
                 TPixelFormat::Rgb24,
                 {{kWhite, kBlack, kWhite}, {kBlack, kWhite, kWhite}}},
        TBmpCase{"4 bits, index beyond the palette is black",
                 {4, 1, 4, 0, {0xFF0000, 0x00FF00, 0x0000FF}, Bytes({0x21, 0x05, 0, 0})},
                 TPixelFormat::Rgb24,
                 {{kBlue, kGreen, kRed, kBlack}}},
        TBmpCase{"8 bits, top-down",
                 {1, -2, 8, 0, {0x112233, 0x445566}, Bytes({1, 0, 0, 0, 0, 0, 0, 0})},
                 TPixelFormat::Rgb24,
                 {{0xFF445566}, {0xFF112233}}},
        TBmpCase{"16 bits 5-5-5",
                 {2, 1, 16, 0, {}, Bytes({0x00, 0x7C, 0x1F, 0x00})},
                 TPixelFormat::Rgb24,
                 {{kRed, kBlue}}},
        TBmpCase{"16 bits, 5-6-5 masks after the header",
                 {2, 1, 16, 3, {}, Bytes({0x00, 0xF8, 0xE0, 0x07}), 40, {0xF800, 0x07E0, 0x001F}},
                 TPixelFormat::Rgb24,
                 {{kRed, kGreen}}},
        TBmpCase{"24 bits with row padding",
                 {1, 2, 24, 0, {}, Bytes({1, 2, 3, 0, 4, 5, 6, 0})},
                 TPixelFormat::Rgb24,
                 {{0xFF060504}, {0xFF030201}}},
        TBmpCase{"32 bits with alpha",
                 {1, 1, 32, 0, {}, Bytes({0x10, 0x20, 0x30, 0x80})},
                 TPixelFormat::Argb32,
                 {{0x80302010}}},
        TBmpCase{"32 bits with an unused fourth byte",
                 {1, 1, 32, 0, {}, Bytes({0x10, 0x20, 0x30, 0x00})},
                 TPixelFormat::Rgb24,
                 {{0xFF302010}}},
        TBmpCase{"32 bits, V4 header with an alpha mask",
                 {1,
                  1,
                  32,
                  3,
                  {},
                  Bytes({0x10, 0x20, 0x30, 0x40}),
                  108,
                  {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
                 TPixelFormat::Argb32,
                 {{0x40302010}}},
        TBmpCase{"RLE8 runs, absolute run and line end",
                 {4,
                  2,
                  8,
                  1,
                  {0x000000, 0xFF0000, 0x00FF00},
                  Bytes({4, 1, 0, 0, 0, 3, 2, 1, 2, 0, 1, 1, 0, 1})},
                 TPixelFormat::Rgb24,
                 {{kGreen, kRed, kGreen, kRed}, {kRed, kRed, kRed, kRed}}},
        TBmpCase{"RLE4 run of two alternating colours",
                 {4, 1, 4, 2, {0x000000, 0xFF0000, 0x00FF00}, Bytes({4, 0x12, 0, 1})},
                 TPixelFormat::Rgb24,
                 {{kRed, kGreen, kRed, kGreen}}},
        TBmpCase{"RLE8 runs and deltas beyond the picture are cut",
                 {2, 2, 8, 1, {0x000000, 0xFF0000}, Bytes({5, 1, 0, 2, 200, 200, 3, 1, 0, 1})},
                 TPixelFormat::Rgb24,
                 {{kBlack, kBlack}, {kRed, kRed}}}));

TEST_F(Loaders, BadBmpsAreDeclined) {
  struct TCase {
    const char* What;
    std::string Bytes;
  } cases[] = {
      {"65535 x 65535 header with a 100-byte body",
       BuildBmp({65535, 65535, 24, 0, {}, std::string(100, '\x7F')})},
      {"pixels missing", BuildBmp({100, 100, 24, 0, {}, std::string(10, '\x7F')})},
      {"2 bits", BuildBmp({4, 1, 2, 0, {0, 0, 0, 0}, std::string(4, '\0')})},
      {"RLE8 with 24 bits", BuildBmp({4, 1, 24, 1, {}, std::string(12, '\0')})},
      {"header size 200",
       [] {
         std::string s = BuildBmp({1, 1, 24, 0, {}, std::string(4, '\0')});
         test::PutLittleEndian32(s, 14, 200);
         return s;
       }()},
      {"not a BMP", "XM" + std::string(60, '\0')},
  };
  for (const TCase& c : cases) EXPECT_FALSE(Open(c.Bytes, "x.bmp")) << c.What;
}

// --- QVGF

TEST_F(Loaders, QvgfWithAnExtraFieldLoadsAndDecodesOnFirstUse) {
  TRef<TBitmap> picture = PatternBitmap(7, 5, TPixelFormat::Rgb24);
  TImage image = Open(EncodeQvgf(*picture, "orig.jpg", {{"Comment", "made here"}}), "a.qvgfx");
  ASSERT_TRUE(image);
  auto* store = dynamic_cast<TGfxBitmapStore*>(image.Source());
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->PixelFormat(), TPixelFormat::Argb32);
  EXPECT_EQ(store->Image().Header().Fields.at("Comment"), "made here");
  EXPECT_EQ(store->Image().Header().File, "orig.jpg");
  TRef<TBitmap> level = store->GetMipLevel(0);
  ASSERT_EQ(level->Width(), 7);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) ASSERT_EQ(level->Pixel(x, y), picture->Pixel(x, y));
}

TEST_F(Loaders, QvgfHeadersMissingFieldsAreDeclinedAndBadPayloadsFilled) {
  std::string bmp = EncodeBmp(*PatternBitmap(4, 3, TPixelFormat::Rgb24));
  std::string payload = DeflateRaw(bmp);
  std::string size = std::to_string(bmp.size());
  struct TCase {
    const char* What;
    std::string Bytes;
    bool Opens;
    bool Filled;
  } cases[] = {
      {"no OriginalSize", Qvgf({{"File", "a"}, {"Width", "4"}, {"Height", "3"}}, payload), false,
       false},
      {"Width not a number",
       Qvgf({{"File", "a"}, {"Width", "4x"}, {"Height", "3"}, {"OriginalSize", size}}, payload),
       false, false},
      {"65535 x 65535",
       Qvgf({{"File", "a"}, {"Width", "65535"}, {"Height", "65535"}, {"OriginalSize", size}},
            payload),
       false, false},
      {"more fields announced than stored",
       "QVGF" + Bytes({5, 0, 4, 0}) + "File" + Bytes({1, 0}) + "a", false, false},
      {"OriginalSize of 4 GiB",
       Qvgf({{"File", "a"}, {"Width", "4"}, {"Height", "3"}, {"OriginalSize", "4294967296"}},
            payload),
       true, false},
      {"payload is not deflate",
       Qvgf({{"File", "a"}, {"Width", "4"}, {"Height", "3"}, {"OriginalSize", size}},
            std::string(40, '\xFF')),
       true, true},
      {"inflates beyond OriginalSize",
       Qvgf({{"File", "a"}, {"Width", "4"}, {"Height", "3"}, {"OriginalSize", "20"}}, payload),
       true, true},
      {"payload of another size",
       Qvgf({{"File", "a"}, {"Width", "5"}, {"Height", "3"}, {"OriginalSize", size}}, payload),
       true, true},
  };
  for (const TCase& c : cases) {
    TImage image = Open(c.Bytes, "a.qvgfx");
    ASSERT_EQ(static_cast<bool>(image), c.Opens) << c.What;
    if (!image) continue;
    TRef<TBitmap> level = image.Source()->GetMipLevel(0);
    EXPECT_EQ(level->Pixel(0, 0) == kQvgfFillColour && level->Pixel(3, 2) == kQvgfFillColour,
              c.Filled)
        << c.What;
  }
}

TEST_F(Loaders, QvgfComesFirstForItsExtensions) {
  std::string qvgf = EncodeQvgf(*PatternBitmap(2, 2, TPixelFormat::Rgb24), "x");
  for (const char* name : {"a.bmp", "a.dib", "a.png", "a.gif|framesatlas", "a.QVGFX"}) {
    TImage image = Open(qvgf, name);
    ASSERT_TRUE(image) << name;
    EXPECT_EQ(image.Source()->LoaderName(), "qvgf") << name;
  }
  EXPECT_FALSE(Open(qvgf, "a.jpg"));
}

// --- JPEG

TEST_F(Loaders, JpegLevelsZeroToThreeAreDecodedAtReducedScale) {
  std::string jpeg = test::MakeJpeg(*PatternBitmap(1001, 601, TPixelFormat::Rgb24));
  TImage image = Open(jpeg, "photo.JPG");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.Source()->LoaderName(), "jpeg");
  EXPECT_EQ(image.Source()->PixelFormat(), TPixelFormat::Rgb24);
  EXPECT_EQ(image.Source()->Profile(), nullptr);
  struct TCase {
    int Level;
    int32_t W, H;
  } cases[] = {{3, 126, 76}, {0, 1001, 601}, {1, 501, 301}, {2, 251, 151}, {4, 63, 38}};
  for (const TCase& c : cases) {
    TRef<TBitmap> level = image.Source()->GetMipLevel(c.Level);
    EXPECT_EQ(level->Width(), c.W) << c.Level;
    EXPECT_EQ(level->Height(), c.H) << c.Level;
    EXPECT_EQ(level->Format(), TPixelFormat::Rgb24);
  }
}

TEST_F(Loaders, JpegColoursGreyscaleAndProgress) {
  auto solid = MakeRef<TBitmap>(40, 24, TPixelFormat::Rgb24);
  solid->Fill(0xFF3366CC);
  struct TCase {
    test::TJpegOptions Options;
    TPixelFormat Format;
    uint32_t Colour;
  } cases[] = {{{}, TPixelFormat::Rgb24, 0xFF3366CC},
               {test::TJpegOptions::ProgressiveScan(), TPixelFormat::Rgb24, 0xFF3366CC},
               // Grey is the luma of the colour, expanded to 24 bits.
               {test::TJpegOptions::Greyscale(), TPixelFormat::Gray8, 0xFF626262}};
  for (const TCase& c : cases) {
    TImage image = Open(test::MakeJpeg(*solid, c.Options), "a.jpg");
    ASSERT_TRUE(image);
    EXPECT_EQ(image.Source()->PixelFormat(), c.Format);
    std::vector<double> progress;
    image.Source()->SetProgress([&](double f) { progress.push_back(f); });
    TRef<TBitmap> level = image.Source()->GetMipLevel(0);
    EXPECT_EQ(level->Format(), TPixelFormat::Rgb24);
    uint32_t got = level->Pixel(20, 12);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(got >> shift & 0xFF, c.Colour >> shift & 0xFF, 3) << std::hex << got;
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), 1.0);
  }
}

TEST_F(Loaders, JpegProfilesComeFromTheEmbeddedIcc) {
  auto picture = PatternBitmap(16, 16, TPixelFormat::Rgb24);
  TRef<TColorProfile> adobe = BuiltInProfile(kAdobeRgbName);
  TImage image =
      Open(test::MakeJpeg(*picture, test::TJpegOptions::WithIcc(adobe->Icc())), "images\\a.jpg");
  ASSERT_NE(image.Source()->Profile(), nullptr);
  EXPECT_EQ(image.Source()->Profile()->Name(), "images\\a.jpg");
  EXPECT_EQ(image.Source()->Profile()->Icc(), adobe->Icc());
  TRef<TColorProfile> srgb = BuiltInProfile(kSrgbName);
  TImage shared = Open(test::MakeJpeg(*picture, test::TJpegOptions::WithIcc(srgb->Icc())), "b.jpg");
  EXPECT_EQ(shared.Source()->Profile(), srgb.Get());
}

TEST_F(Loaders, BadJpegsAreDeclinedOrDecodeWhatTheyHold) {
  std::string jpeg = test::MakeJpeg(*PatternBitmap(64, 48, TPixelFormat::Rgb24));
  EXPECT_FALSE(Open(jpeg.substr(0, 40), "a.jpg"));
  EXPECT_FALSE(Open(Bytes({0xFF, 0xD8, 0xFF, 0xC0, 0, 2}) + std::string(50, '\0'), "a.jpg"));
  std::string zeroWidth = jpeg;
  size_t sof = zeroWidth.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  zeroWidth[sof + 7] = zeroWidth[sof + 8] = 0;
  EXPECT_FALSE(Open(zeroWidth, "a.jpg"));
  // A body cut short decodes with the decoder's grey fill for what is missing.
  TImage cut = Open(jpeg.substr(0, jpeg.size() / 2), "a.jpg");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut.Source()->GetMipLevel(0)->Width(), 64);
  // A scan that names a Huffman table the file never defined passes the
  // header and fails in the decoder.
  std::string corrupt = jpeg;
  size_t sos = corrupt.find("\xFF\xDA");
  ASSERT_NE(sos, std::string::npos);
  corrupt[sos + 6] = 0x33;  // after the length, the count and the first component id
  TImage broken = Open(corrupt, "a.jpg");
  ASSERT_TRUE(broken);
  EXPECT_THROW(broken.Source()->GetMipLevel(0), EJPEG);
}

// --- PNG

TEST_F(Loaders, PngRoundTripsWithAndWithoutAlpha) {
  for (TPixelFormat format : {TPixelFormat::Rgb24, TPixelFormat::Argb32}) {
    TRef<TBitmap> picture = PatternBitmap(9, 7, format);
    if (format == TPixelFormat::Argb32) picture->SetPixel(3, 3, 0x40112233);
    TImage image = Open(EncodePng(*picture), "a.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image.Source()->LoaderName(), "png");
    EXPECT_EQ(image.Source()->PixelFormat(), format);
    TRef<TBitmap> level = image.Source()->GetMipLevel(0);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(level->Pixel(x, y), picture->Pixel(x, y));
  }
}

TEST_F(Loaders, RegistryPicksLoadersByExtensionAndContent) {
  std::string png = EncodePng(*PatternBitmap(3, 3, TPixelFormat::Rgb24));
  std::string jpeg = test::MakeJpeg(*PatternBitmap(8, 8, TPixelFormat::Rgb24));
  struct TCase {
    std::string Bytes;
    const char* Name;
    const char* Loader;  // nullptr: nothing opens it
  } cases[] = {
      {png, "looks.bmp", "png"}, {png, "a.PNG", "png"},   {jpeg, "noextension", "jpeg"},
      {jpeg, "a.xyz", nullptr},  {png, "a.jpg", nullptr}, {jpeg, "a.jpeg", "jpeg"},
      {jpeg, "a.jfif", "jpeg"},
  };
  for (const TCase& c : cases) {
    TImage image = Open(c.Bytes, c.Name);
    ASSERT_EQ(static_cast<bool>(image), c.Loader != nullptr) << c.Name;
    if (image) {
      EXPECT_EQ(image.Source()->LoaderName(), c.Loader) << c.Name;
    }
  }
}

TEST_F(Loaders, PngChunksLongerThanTheFileAreDeclinedBeforeLibpngReadsThem) {
  std::string png = EncodePng(*PatternBitmap(4, 4, TPixelFormat::Rgb24));
  // The signature (8 bytes) and IHDR (25), the image data, IEND (12).
  std::string head = png.substr(0, 33);
  std::string data = png.substr(33, png.size() - 33 - 12);
  std::string end = png.substr(png.size() - 12);
  // 129 bytes of text where the length says 0x7ffffff0, and no CRC: 170 bytes
  // in all, for which libpng alone allocates the 2 GiB claimed.
  std::string text = test::PngChunk("tEXt", std::string(129, 'a'), 0x7ffffff0).substr(0, 8 + 129);
  struct TCase {
    const char* What;
    std::string Bytes;
    const char* Logged;
  } cases[] = {
      {"tEXt before the image data", head + text,
       "chunk tEXt claims 2147483632 bytes where 129 remain"},
      // One byte, its CRC and IEND follow the header.
      {"zTXt after the image data", head + data + test::PngChunk("zTXt", "k", 100000) + end,
       "chunk zTXt claims 100000 bytes where 17 remain"},
  };
  EXPECT_EQ(cases[0].Bytes.size(), 170u);
  for (const TCase& c : cases) {
    test::TLogCapture log;
    EXPECT_FALSE(Open(c.Bytes, "a.png")) << c.What;
    EXPECT_TRUE(log.Contains(std::string("PNG \"a.png\" not read: ") + c.Logged)) << c.What;
  }
}

TEST_F(Loaders, TruncatedPngRaisesOnDecoding) {
  std::string png = EncodePng(*PatternBitmap(64, 64, TPixelFormat::Rgb24));
  TImage image = Open(png.substr(0, png.size() / 2), "a.png");
  ASSERT_TRUE(image);
  EXPECT_THROW(image.Source()->GetMipLevel(0), EPngError);
  EXPECT_FALSE(Open(png.substr(0, 20), "a.png"));
}

// --- GIF

TEST_F(Loaders, GifTimingFollowsTheShortestDelay) {
  auto frame = [](int delay) { return test::TGifFrame{0, 0, 1, 1, {1}, delay}; };
  std::string gif = test::MakeGif(1, 1, {frame(0), frame(10), frame(20)});
  TImage image = Open(gif, "a.gif");
  ASSERT_TRUE(image);
  auto* store = dynamic_cast<TGifBitmapStore*>(image.Source());
  ASSERT_NE(store, nullptr);
  const TGifReader& reader = store->Reader();
  ASSERT_EQ(reader.Frames().size(), 3u);
  EXPECT_EQ(reader.Frames()[0].DelayMs, 50);
  EXPECT_EQ(reader.Frames()[1].DelayMs, 100);
  EXPECT_EQ(reader.Frames()[2].DelayMs, 200);
  EXPECT_DOUBLE_EQ(reader.FramesPerSecond(), 20);
  EXPECT_EQ(reader.LengthMs(), 350);
  EXPECT_EQ(reader.FrameCount(), 7);
  for (int loops : {0, 65535}) {
    TImage endless = Open(test::MakeGif(1, 1, {frame(0)}, loops), "a.gif");
    EXPECT_EQ(dynamic_cast<TGifBitmapStore*>(endless.Source())->Reader().FrameCount(),
              kGifEndlessFrames);
  }
}

// 4 x 1 screen; colours 1 red, 2 green, 3 blue.
std::vector<test::TGifFrame> DisposalFrames() {
  return {
      {0, 0, 4, 1, {1, 1, 1, 1}, 10, 0},
      {1, 0, 2, 1, {2, 2}, 10, 2},     // cleared to transparent after showing
      {3, 0, 1, 1, {3}, 10, 3},        // the picture before it comes back
      {0, 0, 2, 1, {2, 1}, 10, 0, 1},  // index 1 is transparent here
  };
}

TEST_F(Loaders, GifFramesComposeWithDisposalAndTransparency) {
  TImage image = Open(test::MakeGif(4, 1, DisposalFrames()), "a.gif");
  TGifReader& reader = dynamic_cast<TGifBitmapStore*>(image.Source())->Reader();
  constexpr uint32_t T = 0;
  const std::vector<std::vector<uint32_t>> expected = {
      {kRed, kRed, kRed, kRed},
      {kRed, kGreen, kGreen, kRed},
      {kRed, T, T, kBlue},
      {kGreen, T, T, kRed},
  };
  for (size_t k = 0; k < expected.size(); ++k) {
    TRef<TBitmap> frame = reader.ComposeFrame(k);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(frame->Pixel(x, 0), expected[k][x]) << k << "," << x;
  }
  // The sheet holds the same pictures side by side; the first frame alone is frame 0.
  TImage sheet = Open(test::MakeGif(4, 1, DisposalFrames()), "a.gif|framesatlas");
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet.Width(), 16);
  TRef<TBitmap> atlas = sheet.Source()->GetMipLevel(0);
  for (size_t k = 0; k < expected.size(); ++k)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(atlas->Pixel(static_cast<int32_t>(k) * 4 + x, 0), expected[k][x]);
  TImage first = Open(test::MakeGif(4, 1, DisposalFrames()), "a.gif_first_frame");
  ASSERT_TRUE(first);
  EXPECT_EQ(first.Source()->GetMipLevel(0)->Pixel(3, 0), kRed);
}

TEST_F(Loaders, GifFramesFromKeyFramesMatchTheSequence) {
  std::vector<test::TGifFrame> frames;
  for (int i = 0; i < 23; ++i)
    frames.push_back({i % 3, 0, 2, 1, {static_cast<uint8_t>(1 + i % 3), 2}, 5, i % 4});
  TImage image = Open(test::MakeGif(4, 1, frames), "a.gif");
  TGifReader& reader = dynamic_cast<TGifBitmapStore*>(image.Source())->Reader();
  std::vector<std::vector<uint32_t>> sequence;
  reader.ComposeAll([&](size_t, const TBitmap& picture) {
    std::vector<uint32_t> row;
    for (int32_t x = 0; x < 4; ++x) row.push_back(picture.Pixel(x, 0));
    sequence.push_back(row);
  });
  ASSERT_EQ(sequence.size(), 23u);
  for (size_t k : {22u, 12u, 3u, 20u, 21u, 0u, 13u}) {
    TRef<TBitmap> frame = reader.ComposeFrame(k);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(frame->Pixel(x, 0), sequence[k][x]) << k;
  }
}

TEST_F(Loaders, GifFramesDecodeIntoOneCanvas) {
  // 100 x 100 at 32 bits is 40000 bytes: the canvas becomes the picture, and
  // a frame restored after showing (disposal 3) keeps only its own rectangle.
  std::vector<test::TGifFrame> frames = {{0, 0, 1, 1, {1}, 10, 3}, {1, 1, 1, 1, {2}, 10}};
  std::string gif = test::MakeGif(100, 100, frames);
  {
    test::TPictureBudgetScope budget(60000);
    for (const char* name : {"a.gif", "a.gif_first_frame"}) {
      TImage image = Open(gif, name);
      ASSERT_TRUE(image) << name;
      EXPECT_EQ(image.Source()->GetMipLevel(0)->Pixel(0, 0), kRed) << name;
      EXPECT_EQ(budget.Used(), 40000) << name;
    }
    TImage image = Open(gif, "a.gif");
    TRef<TBitmap> second = dynamic_cast<TGifBitmapStore*>(image.Source())->Reader().ComposeFrame(1);
    EXPECT_EQ(second->Pixel(0, 0), 0u);
    EXPECT_EQ(second->Pixel(1, 1), kGreen);
    EXPECT_EQ(budget.Used(), 40000);
  }
  // The sheet of both frames (80000 bytes) is drawn from one canvas.
  test::TPictureBudgetScope budget(130000);
  TImage sheet = Open(gif, "a.gif|framesatlas");
  ASSERT_TRUE(sheet);
  TRef<TBitmap> atlas = sheet.Source()->GetMipLevel(0);
  EXPECT_EQ(atlas->Pixel(0, 0), kRed);
  EXPECT_EQ(atlas->Pixel(100, 0), 0u);
  EXPECT_EQ(atlas->Pixel(101, 1), kGreen);
  EXPECT_EQ(budget.Used(), 80000);
}

TEST_F(Loaders, GifKeepsOnlyTheKeyFrameItStartsFrom) {
  std::vector<test::TGifFrame> frames;
  for (int i = 0; i < 23; ++i)
    frames.push_back({i % 3, 0, 2, 1, {static_cast<uint8_t>(1 + i % 3), 2}, 5, i % 4});
  TImage image = Open(test::MakeGif(4, 1, frames), "a.gif");
  TGifReader& reader = dynamic_cast<TGifBitmapStore*>(image.Source())->Reader();
  test::TPictureBudgetScope budget(1 << 20);
  // Key frames are taken every 10 frames; only the latest one passed stays,
  // one 4 x 1 picture of 16 bytes.
  struct TCase {
    size_t Frame;
    int64_t Kept;
  } cases[] = {{3, 0}, {22, 16}, {12, 16}, {5, 16}, {21, 16}, {0, 16}};
  for (const TCase& c : cases) {
    reader.ComposeFrame(c.Frame);
    EXPECT_EQ(budget.Used(), c.Kept) << c.Frame;
  }
}

TEST_F(Loaders, BadGifsAreDeclinedOrKeepTheirGoodFrames) {
  std::string gif = test::MakeGif(4, 1, DisposalFrames());
  EXPECT_FALSE(Open(gif.substr(0, 12), "a.gif"));
  EXPECT_FALSE(Open("GIF89a" + std::string(20, '\xFF'), "a.gif"));
  // Cut inside the last of the four frames: the three before it are there.
  TImage cut = Open(gif.substr(0, gif.size() - 6), "a.gif");
  ASSERT_TRUE(cut);
  TGifReader& reader = dynamic_cast<TGifBitmapStore*>(cut.Source())->Reader();
  EXPECT_EQ(reader.Frames().size(), 3u);
  EXPECT_EQ(reader.ComposeFrame(1)->Pixel(1, 0), kGreen);
  // A screen of 65535 x 65535 is declined.
  std::string huge = gif;
  huge[6] = huge[7] = huge[8] = huge[9] = '\xFF';
  EXPECT_FALSE(Open(huge, "a.gif"));
}

}  // namespace
}  // namespace viv
