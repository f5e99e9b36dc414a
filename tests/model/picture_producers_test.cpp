// The generated pictures slides ask the picture library for: masks, preset
// masks and shadows, with the real loaders installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/stream.h"
#include "container/file_accessor.h"
#include "image/bitmap_store.h"
#include "image/image_library.h"
#include "image/loaders/png_loader.h"
#include "image/placeholder_picture.h"
#include "image/shadow_picture.h"
#include "model/object_model_init.h"
#include "model/slide_host.h"
#include "support/scratch_folder.h"

namespace viv {
namespace {

namespace fs = std::filesystem;

class PictureProducersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallImageLibrary();
    InitObjectModel();
    // An opaque 8 x 4 picture: left half white, right half black.
    TBitmap picture(8, 4, TPixelFormat::Rgb24);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 8; ++x)
        for (int c = 0; c < 3; ++c) picture.Row(y)[x * 3 + c] = x < 4 ? 255 : 0;
    fPicture = fFolder.Path() + "/half.png";
    WriteFileBytes(fPicture, EncodePng(picture));
    fHost = MakeRef<TVivSlideHost>(NewDiskAccessor(fFolder.Path()), 1920, 1080, "");
  }
  test::TScratchFolder fFolder;
  std::string fPicture;
  TRef<TVivSlideHost> fHost;
};

TEST_F(PictureProducersTest, MasksTakeTheirAlphaFromTheColour) {
  THostPicture mask = fHost->OpenPicture("Mask: " + fPicture);
  auto* store = dynamic_cast<TBitmapStore*>(mask.Store());
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Width(), 8);
  EXPECT_EQ(store->Height(), 4);
  TRef<TBitmap> level = store->GetMipLevel(0, TPixelFormat::Argb32);
  auto alpha = [&](int32_t x, int32_t y) { return level->Row(y)[x * 4 + 3]; };
  EXPECT_EQ(alpha(0, 0), 255);
  EXPECT_EQ(alpha(7, 3), 0);
  // A missing file is a placeholder picture, and so is its mask.
  THostPicture missing = fHost->OpenPicture("Mask: " + fFolder.Path() + "/missing.png");
  EXPECT_EQ(missing.Width(), kPlaceholderWidth);
  EXPECT_EQ(missing.Height(), kPlaceholderHeight);
}

TEST_F(PictureProducersTest, PresetMasksAndSharedShadows) {
  THostPicture preset = fHost->OpenPicture("PresetedMask:64:32:0:100:0");
  ASSERT_FALSE(preset.Empty());
  EXPECT_EQ(preset.Width(), 64);
  EXPECT_EQ(preset.Height(), 32);

  TShadowPictureParams params;
  params.Size = 8;
  std::string name = ShadowPictureName(params, fPicture);
  THostPicture first = fHost->OpenPicture(name);
  THostPicture second = fHost->OpenPicture(name);
  ASSERT_FALSE(first.Empty());
  // Equal shadows are one picture, padded on each side.
  EXPECT_EQ(first.Store(), second.Store());
  EXPECT_EQ(first.Width(), 8 + 2 * ShadowPadding(params));
  EXPECT_TRUE(fHost->OpenPicture("Shadow: nonsense").Empty());
}

}  // namespace
}  // namespace viv
