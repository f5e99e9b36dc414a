// Pictures covered by tiles of the nine sizes, and drawn through them.
#include "render/texture_tiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/gl/gl_engine.h"
#include "render/screen.h"

namespace viv {
namespace {

TEST(TextureTiles, PoolChoice) {
  struct TCase {
    int32_t Width, Height;
    size_t Pool;
  };
  const TCase kCases[] = {
      {62, 62, 8},    // 64 x 64 covers it all with the least waste
      {514, 514, 0},  // 512 x 512 covers the most
      {1002, 702, 0},
      {300, 100, 1},  // 512 x 512 and 512 x 256 both cover 30000; the second wastes less
      {62, 300, 2},   // 512 x 512 and 256 x 512 both cover 18600
      {200, 60, 6},   // 256 x 64 covers 12000 and wastes 4384
      {40, 200, 7},   // 64 x 256
      {130, 130, 3},  // 256 x 256 (16900) beats 256 x 128 (16640)
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
    EXPECT_EQ(ChooseTilePool(c.Width, c.Height), c.Pool);
  }
}

TEST(TextureTiles, TilesCoverEveryPixelOnceWithTheirInnerAreas) {
  struct TCase {
    int32_t Width, Height;
    size_t Tiles;
  };
  // 1000 x 700: rows of 510 (512 tiles) then 190 (256 x 256 used 192 high);
  // across, 510 then 490 (512 wide, used 492).
  const TCase kCases[] = {{1000, 700, 4}, {60, 60, 1}, {1, 1, 1}, {510, 510, 1}, {511, 510, 2}};
  for (const TCase& c : kCases) {
    SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
    std::vector<TTilePlacement> tiles = CoverWithTiles(0, 0, c.Width, c.Height);
    EXPECT_EQ(tiles.size(), c.Tiles);
    std::vector<int> covered(static_cast<size_t>(c.Width) * c.Height, 0);
    for (const TTilePlacement& tile : tiles) {
      TPixelRect inner = tile.Inner();
      EXPECT_LE(tile.UsedWidth, kTileSizes[tile.Pool].Width);
      EXPECT_LE(tile.UsedHeight, kTileSizes[tile.Pool].Height);
      ASSERT_GE(inner.Left, 0);
      ASSERT_GE(inner.Top, 0);
      ASSERT_LE(inner.Right, c.Width);
      ASSERT_LE(inner.Bottom, c.Height);
      for (int32_t y = inner.Top; y < inner.Bottom; ++y)
        for (int32_t x = inner.Left; x < inner.Right; ++x)
          ++covered[static_cast<size_t>(y) * c.Width + x];
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), static_cast<long>(covered.size()));
  }
  std::vector<TTilePlacement> small = CoverWithTiles(0, 0, 60, 60);
  ASSERT_EQ(small.size(), 1u);
  EXPECT_EQ(small[0].Pool, 8u);
  EXPECT_EQ(small[0].X, -1);
  EXPECT_EQ(small[0].UsedWidth, 62);
}

TRef<TBitmap> Pattern(int32_t width, int32_t height) {
  auto picture = MakeRef<TBitmap>(width, height, TPixelFormat::Argb32);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      picture->SetPixel(x, y,
                        0xFF000000u | static_cast<uint32_t>((x * 7) & 0xFF) << 16 |
                            static_cast<uint32_t>((y * 5) & 0xFF) << 8 |
                            static_cast<uint32_t>((x + y) & 0xFF));
  return picture;
}

TEST(TextureTiles, APictureDrawnThroughItsTilesShowsNoSeam) {
  constexpr int32_t kWidth = 1000, kHeight = 700;
  auto screen = MakeRef<T3DScreen>(CreateGLEngine());
  screen->BindTarget(MakeRef<TOffscreenTarget>(kWidth, kHeight));
  TTextureManager6 manager(*screen);
  TRef<TBitmap> picture = Pattern(kWidth, kHeight);
  auto drawn = [&](TMultiTexture6& tiles, float shift = 0) {
    EXPECT_TRUE(screen->BeginScene());
    screen->Clear(0xFF000000);
    // One to one with bilinear filtering: every pixel samples a texel centre
    // (or, shifted by half a pixel, the corner of four texels), and the edges
    // of tiles sample their neighbours through the aprons.
    float w = kWidth - 2 * shift, h = kHeight - 2 * shift;
    EXPECT_TRUE(tiles.Draw(*screen, {shift, shift, shift + w, shift + h},
                           {{{0, 0}, {w, 0}, {w, h}, {0, h}}}));
    EXPECT_TRUE(screen->EndScene(false));
    TRef<T3DSurface> back;
    EXPECT_TRUE(screen->Renderer()->GetBackBuffer(back));
    auto read = MakeRef<TBitmap>(kWidth, kHeight, TPixelFormat::Argb32);
    EXPECT_TRUE(back->CopyTo(*read));
    return read;
  };
  auto tiles = MakeRef<TMultiTexture6>(manager, picture);
  EXPECT_EQ(tiles->Tiles().size(), 4u);
  TRef<TBitmap> first = drawn(*tiles);
  int wrong = 0;
  for (int32_t y = 0; y < kHeight; ++y)
    wrong += std::memcmp(first->Row(y), picture->Row(y), 4 * kWidth) != 0;
  EXPECT_EQ(wrong, 0) << "rows that differ from the picture";

  // Half a pixel off, each pixel is the mean of four picture pixels, also
  // where they lie in different tiles.
  TRef<TBitmap> between = drawn(*tiles, 0.5f);
  int far = 0;
  for (int32_t y = 0; y + 1 < kHeight; ++y)
    for (int32_t x = 0; x + 1 < kWidth; ++x) {
      uint32_t got = between->Pixel(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        auto channel = [&](int32_t px, int32_t py) {
          return static_cast<int>((picture->Pixel(px, py) >> shift) & 0xFF);
        };
        int mean = channel(x, y) + channel(x + 1, y) + channel(x, y + 1) + channel(x + 1, y + 1);
        if (std::abs(static_cast<int>((got >> shift) & 0xFF) * 4 - mean) > 6) ++far;
      }
    }
  EXPECT_EQ(far, 0) << "channels more than 1.5 from the mean of their four pixels";

  // After a lost device every tile is filled again from the picture.
  screen->Renderer()->SimulateDeviceLoss();
  TRef<TBitmap> second = drawn(*tiles);
  EXPECT_EQ(std::memcmp(second->Data(), first->Data(), first->ByteSize()), 0);

  // Tiles go back to their pools and serve the next picture.
  size_t made = 0;
  for (size_t i = 0; i < manager.PoolCount(); ++i) made += manager.Pool(i).MadeCount();
  tiles.Reset();
  EXPECT_EQ(manager.Pool(0).FreeCount(), 2u);
  auto again = MakeRef<TMultiTexture6>(manager, Pattern(kWidth, kHeight));
  size_t madeAgain = 0;
  for (size_t i = 0; i < manager.PoolCount(); ++i) madeAgain += manager.Pool(i).MadeCount();
  EXPECT_EQ(madeAgain, made);
  again.Reset();
}

TEST(TextureTiles, PartOfAPictureOntoAQuad) {
  auto screen = MakeRef<T3DScreen>(CreateGLEngine());
  screen->BindTarget(MakeRef<TOffscreenTarget>(8, 8));
  TTextureManager6 manager(*screen);
  TRef<TBitmap> picture = Pattern(600, 20);
  auto tiles = MakeRef<TMultiTexture6>(manager, picture);
  ASSERT_TRUE(screen->BeginScene());
  screen->Clear(0xFF000000);
  // Picture columns 508 to 516 (across the first tile's edge), rows 4 to 12,
  // onto the whole 8 x 8 target; half opacity over black halves red.
  tiles->Opacity = 128;
  ASSERT_TRUE(tiles->Draw(*screen, {508, 4, 516, 12}, {{{0, 0}, {8, 0}, {8, 8}, {0, 8}}}));
  screen->EndScene(false);
  TRef<T3DSurface> back;
  ASSERT_TRUE(screen->Renderer()->GetBackBuffer(back));
  TBitmap read(8, 8, TPixelFormat::Argb32);
  ASSERT_TRUE(back->CopyTo(read));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      uint32_t source = picture->Pixel(508 + x, 4 + y);
      uint32_t got = read.Pixel(x, y);
      // Each channel c x 128/255; alpha 128 x 128/255 + 255 x 127/255 = 191.
      for (int shift = 0; shift < 24; shift += 8) {
        int expected = static_cast<int>(((source >> shift) & 0xFF) * 128 + 127) / 255;
        EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), expected, 1) << x << "," << y;
      }
    }
  tiles.Reset();
}

}  // namespace
}  // namespace viv
