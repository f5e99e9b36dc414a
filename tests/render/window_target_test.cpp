// A window's renderer is made on the thread that owns the window and draws
// on another, as the player's engine thread will (run under a virtual X server).
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <thread>

#include "render/draw_target.h"
#include "render/gl/gl_engine.h"

namespace viv {
namespace {

TEST(WindowTarget, TheContextGoesToTheDrawingThread) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("render test", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, 64, 48, SDL_WINDOW_OPENGL);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  {
    TRef<T3DEngine> engine = CreateGLEngine();
    auto target = MakeRef<TWindowTarget>(window);
    EXPECT_EQ(target->ClientRect(), (TPixelRect{0, 0, 64, 48}));
    EXPECT_GT(target->RefreshRate(), 0);
    TDisplayMode mode;
    EXPECT_TRUE(engine->GetDisplayMode(engine->CardForRect({0, 0, 64, 48}), mode));
    EXPECT_FALSE(mode.Bounds.IsEmpty());
    // Made here, where the window's events run.
    TRef<T3DRenderer> renderer = engine->CreateRenderer(*target, target->ClientRect());
    ASSERT_TRUE(renderer);

    uint32_t drawn = 0;
    bool presented = false;
    std::thread drawing([&] {
      if (!renderer->BeginFrame()) return;
      renderer->Clear({}, kClearColour, 0xFF2060A0, 1);
      renderer->Clear({{0, 0, 32, 48}}, kClearColour, 0xFFA06020, 1);
      TRef<T3DSurface> back;
      if (renderer->GetBackBuffer(back)) {
        TBitmap picture(64, 48, TPixelFormat::Argb32);
        if (back->CopyTo(picture)) drawn = picture.Pixel(40, 10);
      }
      presented = renderer->EndFrame() && renderer->Present({}, {});
    });
    drawing.join();
    EXPECT_EQ(drawn, 0xFF2060A0u);
    EXPECT_TRUE(presented);
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
}

}  // namespace
}  // namespace viv
