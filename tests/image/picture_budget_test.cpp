// The budget on decoded pixels: pictures that would pass it are declined,
// whatever their loader, and fit again once others are freed; tiny files that
// claim huge pictures cost no more than the budget.
#include <gtest/gtest.h>

#include "image/image_library.h"
#include "image/loaders/jpeg_loader.h"
#include "image/loaders/png_loader.h"
#include "image/picture_limits.h"
#include "image_test_support.h"
#include "support/bmp_bytes.h"

namespace viv {
namespace {

using test::Bytes;
using test::Open;
using test::TLogCapture;
using test::TPictureBudgetScope;

class PictureBudget : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallImageLibrary(); }
};

TEST_F(PictureBudget, PicturesThatWouldPassItAreDeclinedUntilOthersAreFreed) {
  // BMPs decode while they open, to 24 bits: 10 x 10 is 300 bytes, 20 x 10 is
  // 600 (rows stored padded to 32 and 60 bytes).
  std::string small = test::BuildBmp({10, 10, 24, 0, {}, std::string(10 * 32, '\x40'), 40, {}});
  std::string wide = test::BuildBmp({20, 10, 24, 0, {}, std::string(10 * 60, '\x40'), 40, {}});
  TPictureBudgetScope budget(1000);
  TImage first = Open(small, "first.bmp");
  ASSERT_TRUE(first);
  TImage second = Open(wide, "second.bmp");
  ASSERT_TRUE(second);
  EXPECT_EQ(budget.Used(), 900);
  {
    TLogCapture log;
    EXPECT_FALSE(Open(small, "third.bmp"));
    EXPECT_TRUE(log.Contains("Picture declined: 300 bytes of pixels would pass the budget"));
    EXPECT_TRUE(log.Contains("Picture \"third.bmp\" not opened"));
  }
  first = TImage();
  EXPECT_EQ(budget.Used(), 600);
  TImage third = Open(small, "third.bmp");
  ASSERT_TRUE(third);
  EXPECT_EQ(budget.Used(), 900);
}

// SOF0 of a JPEG made here: the height and width follow the length and the
// precision.
std::string JpegClaiming(int32_t width, int32_t height) {
  std::string jpeg = test::MakeJpeg(*test::PatternBitmap(8, 8, TPixelFormat::Rgb24));
  size_t sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

// A PNG header for the size, then the image data of a 1 x 1 picture.
std::string PngClaiming(int32_t width, int32_t height) {
  std::string png = EncodePng(*test::PatternBitmap(1, 1, TPixelFormat::Rgb24));
  auto be32 = [](int32_t v) { return Bytes({v >> 24, v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF}); };
  std::string header = be32(width) + be32(height) + Bytes({8, 2, 0, 0, 0});
  // Signature (8 bytes), then IHDR: length, type, 13 bytes, CRC.
  return png.substr(0, 8) + test::PngChunk("IHDR", header) + png.substr(8 + 25);
}

TEST_F(PictureBudget, TinyFilesClaimingHugePicturesAreDeclinedWithinIt) {
  constexpr int32_t kSide = 16384;  // 1 GiB at 32 bits, inside the size limit
  std::string gif = test::MakeGif(kSide, kSide, {{0, 0, 1, 1, {1}}});
  struct TCase {
    const char* What;
    std::string Bytes;
    const char* Name;
    bool Opens;  // decoded lazily: the source opens, its pixels are declined
  } cases[] = {
      {"GIF screen", gif, "a.gif", true},
      {"GIF first frame, composed while opening", gif, "a.gif_first_frame", false},
      {"GIF sheet", gif, "a.gif|framesatlas", true},
      {"QVGF with a payload that does not inflate",
       test::Qvgf({{"File", "a"}, {"Width", "16384"}, {"Height", "16384"}, {"OriginalSize", "99"}},
                  std::string(8, '\xFF')),
       "a.qvgfx", true},
      {"PNG header", PngClaiming(kSide, kSide), "a.png", true},
      {"JPEG header", JpegClaiming(kSide, kSide), "a.jpg", true},
  };
  TPictureBudgetScope budget(int64_t{64} << 20);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_LT(c.Bytes.size(), 1000u);
    TLogCapture log;
    {
      TImage image = Open(c.Bytes, c.Name);
      ASSERT_EQ(static_cast<bool>(image), c.Opens);
      if (image) {
        EXPECT_EQ(image.Width(), kSide);
        EXPECT_THROW(image.Source()->GetMipLevel(0), TCommonException);
      }
    }
    EXPECT_TRUE(log.Contains("Picture declined: "));
    EXPECT_EQ(budget.Used(), 0);
  }
}

TEST_F(PictureBudget, JpegCoefficientsCountAgainstIt) {
  // A progressive file keeps every coefficient while it decodes: at 4:2:0 that
  // is 256 x 256 x 1.5 x 2 = 196608 bytes beside the 196608 of the picture.
  // A budget of the picture and 64 KiB holds a baseline decoding, not that.
  TRef<TBitmap> picture = test::PatternBitmap(256, 256, TPixelFormat::Rgb24);
  std::string progressive = test::MakeJpeg(*picture, test::TJpegOptions::ProgressiveScan());
  std::string baseline = test::MakeJpeg(*picture);
  TPictureBudgetScope budget(256 * 256 * 3 + 65536);
  {
    TImage image = Open(progressive, "p.jpg");
    ASSERT_TRUE(image);
    try {
      image.Source()->GetMipLevel(0);
      ADD_FAILURE() << "the progressive file decoded";
    } catch (const EJPEG& e) {
      EXPECT_STREQ(e.what(), "decoding would pass the picture budget");
    }
  }
  EXPECT_EQ(budget.Used(), 0);
  TImage image = Open(baseline, "b.jpg");
  ASSERT_TRUE(image);
  EXPECT_EQ(image.Source()->GetMipLevel(0)->Width(), 256);
  // Levels 1 to 3 decode directly: 128 x 128, 64 x 64, 32 x 32.
  EXPECT_EQ(image.Source()->GetMipLevel(3)->Width(), 32);
  EXPECT_EQ(budget.Used(), 256 * 256 * 3 + 32 * 32 * 3);
}

}  // namespace
}  // namespace viv
