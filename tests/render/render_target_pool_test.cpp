#include "render/render_target_pool.h"

#include <gtest/gtest.h>

#include "render/gl/gl_engine.h"
#include "render/screen.h"

namespace viv {
namespace {

TEST(RenderTargetPool, TargetsAreReusedUntilTheSizeChanges) {
  auto screen = MakeRef<T3DScreen>(CreateGLEngine());
  screen->BindTarget(MakeRef<TOffscreenTarget>(8, 8));
  ASSERT_TRUE(screen->BeginScene());
  TRenderTargetManager pool(*screen);
  pool.SetSize({8, 8});
  TRef<TRenderTargetTexture> first = pool.Take();
  TRenderTargetTexture* made = first.Get();
  T3DTexture* texture = first->GetTexture(*screen->Renderer());
  ASSERT_TRUE(texture);
  EXPECT_TRUE(texture->IsRenderTarget());
  // A pass draws into it.
  ASSERT_TRUE(screen->SetTarget(texture));
  ASSERT_TRUE(screen->Clear(0xFF123456));
  ASSERT_TRUE(screen->SetTarget(nullptr));
  TBitmap read(8, 8, TPixelFormat::Argb32);
  ASSERT_TRUE(texture->GetLevel(0)->CopyTo(read));
  EXPECT_EQ(read.Pixel(7, 7), 0xFF123456u);

  pool.GiveBack(std::move(first));
  EXPECT_EQ(pool.FreeCount(), 1u);
  TRef<TRenderTargetTexture> again = pool.Take();
  EXPECT_EQ(again.Get(), made);  // the free one, not a new one
  TRef<TRenderTargetTexture> second = pool.Take();
  EXPECT_NE(second.Get(), made);
  pool.GiveBack(std::move(second));

  // Half size: the free target goes, and one taken at the old size is not kept.
  pool.SetSize({4, 4});
  EXPECT_EQ(pool.FreeCount(), 0u);
  pool.GiveBack(std::move(again));
  EXPECT_EQ(pool.FreeCount(), 0u);
  EXPECT_EQ(pool.Take()->GetSize(), (TPixelSize{4, 4}));
  screen->EndScene(false);
}

}  // namespace
}  // namespace viv
