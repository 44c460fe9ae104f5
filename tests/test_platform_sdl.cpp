// The SDL2 stand-ins for the window functions and DirectDraw, headless on SDL's dummy video
// driver: message order and timer rules the demo's frame loop relies on, and DirectDraw's
// answers to what the display device asks and to what it never should.
#include "platform/ddraw_api.h"
#include "platform/sdl/full_screen.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_session.h"
#include "platform/win32_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wparam;
};
std::vector<Received> g_received;

LRESULT CALLBACK recording_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    g_received.push_back({message, wparam});
    return DefWindowProcA(window, message, wparam, lparam);
}

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        g_received.clear();
        WNDCLASSEXA window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = recording_procedure;
        window_class.lpszClassName = "test window";
        ASSERT_NE(RegisterClassExA(&window_class), 0);
        window_ = CreateWindowExA(0, "test window", "test", WS_DLGFRAME, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 512, 384, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
    }
    void TearDown() override { platform_shutdown(); }

    HWND window_ = nullptr;
};

using Clock = std::chrono::steady_clock;

TEST_F(PlatformTest, CloseDestroysTheWindowAfterSendingDestroy) {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_CLOSE);
    DispatchMessageA(&msg);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].message, WM_CLOSE);
    EXPECT_EQ(g_received[1].message, WM_DESTROY);
    EXPECT_FALSE(IsWindow(window_));

    // A stale handle is harmless: nothing reaches the procedure any more.
    MSG late{window_, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&late), 0);
    EXPECT_EQ(SendMessageA(window_, WM_USER, 0, 0), 0);
    EXPECT_EQ(g_received.size(), 2u);
    EXPECT_EQ(SetTimer(window_, 0, 20, nullptr), 0u);
}

// Closes its window once more while the window is being destroyed.
LRESULT CALLBACK closing_again_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    g_received.push_back({message, wparam});
    if (message == WM_DESTROY) {
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(DestroyWindow(window), FALSE);
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(PlatformTest, ClosingAgainDuringDestroyDoesNotDestroyTwice) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = closing_again_procedure;
    window_class.lpszClassName = "closing again";
    ASSERT_NE(RegisterClassExA(&window_class), 0);
    HWND window = CreateWindowExA(0, "closing again", "", WS_DLGFRAME, 0, 0, 64, 64, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(DestroyWindow(window), TRUE);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].message, WM_DESTROY);
    EXPECT_EQ(g_received[1].message, WM_CLOSE);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(PlatformTest, QuitComesAfterPostedMessagesWithItsCode) {
    PostMessageA(window_, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(window_, WM_USER, 2, 0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(PlatformTest, TimerTicksArriveAtTheirPeriod) {
    ASSERT_NE(SetTimer(window_, 0, 20, nullptr), 0u);
    Clock::time_point start = Clock::now();
    MSG msg{};
    for (int tick = 0; tick < 5; ++tick) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.hwnd, window_);
        EXPECT_EQ(msg.wParam, 0u);
    }
    // Five ticks of 20 ms cannot come sooner than 100 ms after the timer started.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
}

TEST_F(PlatformTest, MissedTicksCollapseIntoOnePendingTimerMessage) {
    ASSERT_NE(SetTimer(window_, 0, 20, nullptr), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(110)); // five periods go by
    PostMessageA(window_, WM_USER, 0, 0);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_USER) << "posted messages come before the timer";
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_TIMER);
    Clock::time_point after_first = Clock::now();
    for (int tick = 0; tick < 2; ++tick) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_TIMER);
    }
    // The backlog is gone: two more ticks span at least one full period (the first of them
    // waits for the next boundary), instead of following one another at once.
    EXPECT_GE(Clock::now() - after_first, std::chrono::milliseconds(15));
}

TEST_F(PlatformTest, KeysArriveAsVirtualKeysAndUnknownKeysAreDropped) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLK_F24; // nothing the demo knows
    SDL_PushEvent(&event);
    event.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&event);
    event.key.keysym.sym = SDLK_q;
    SDL_PushEvent(&event);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(msg.hwnd, window_);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('Q'));
}

TEST_F(PlatformTest, ClosingTheWindowOrInterruptingArrivesAsClose) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(window_->sdl_window);
    SDL_PushEvent(&event);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_CLOSE);
    EXPECT_EQ(msg.hwnd, window_);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_CLOSE);
}

TEST_F(PlatformTest, RequestsTheProgramNeverMakesFailCleanly) {
    WNDCLASSEXA duplicate{};
    duplicate.cbSize = sizeof duplicate;
    duplicate.lpfnWndProc = recording_procedure;
    duplicate.lpszClassName = "test window";
    EXPECT_EQ(RegisterClassExA(&duplicate), 0);
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    EXPECT_EQ(CreateWindowExA(0, "no such class", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, window_, 0, 0), -1);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_EQ(DestroyWindow(nullptr), FALSE);
}

// DirectDraw set up the way the display device does it.
class DirectDrawTest : public PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ShowWindow(window_, SW_SHOW); // as the program does before the display set-up
        void* created = nullptr;
        ASSERT_EQ(DirectDrawCreateEx(nullptr, &created, IID_IDirectDraw7, nullptr), DD_OK);
        dd_ = static_cast<IDirectDraw7*>(created);
        ASSERT_EQ(dd_->SetCooperativeLevel(window_,
                                           DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FULLSCREEN),
                  DD_OK);
        ASSERT_EQ(dd_->SetDisplayMode(512, 384, 32, 0, DDSDM_STANDARDVGAMODE), DD_OK)
            << SDL_GetError();
        DDSURFACEDESC2 desc = request(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0x00100218);
        desc.dwBackBufferCount = 1;
        ASSERT_EQ(dd_->CreateSurface(&desc, &primary_, nullptr), DD_OK);
        DDSCAPS2 caps{};
        caps.dwCaps = 0x00100004;
        ASSERT_EQ(primary_->GetAttachedSurface(&caps, &back_), DD_OK);
        desc = request(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, 0x00100840);
        desc.dwWidth = 512;
        desc.dwHeight = 384;
        ASSERT_EQ(dd_->CreateSurface(&desc, &offscreen_, nullptr), DD_OK);
    }
    void TearDown() override {
        if (offscreen_ != nullptr) offscreen_->Release();
        if (primary_ != nullptr) primary_->Release();
        if (dd_ != nullptr) dd_->Release();
        PlatformTest::TearDown();
    }

    static DDSURFACEDESC2 request(DWORD flags, DWORD caps) {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.ddsCaps.dwCaps = caps;
        return desc;
    }

    static DDSURFACEDESC2 lock_desc() {
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        return desc;
    }

    IDirectDraw7* dd_ = nullptr;
    IDirectDrawSurface7* primary_ = nullptr;
    IDirectDrawSurface7* back_ = nullptr;
    IDirectDrawSurface7* offscreen_ = nullptr;
};

TEST_F(DirectDrawTest, FrameTravelsFromOffscreenThroughBackBufferToTheFront) {
    DDSURFACEDESC2 desc = lock_desc();
    ASSERT_EQ(offscreen_->Lock(nullptr, &desc, DDLOCK_SURFACEMEMORYPTR, nullptr), DD_OK);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(desc.lPitch, 512 * 4);
    EXPECT_EQ(desc.dwWidth, 512u);
    EXPECT_EQ(desc.dwHeight, 384u);
    auto* pixels = static_cast<std::uint32_t*>(desc.lpSurface);
    pixels[0] = 0x00FA8008;
    pixels[512 * 384 - 1] = 0x00123456;
    ASSERT_EQ(offscreen_->Unlock(nullptr), DD_OK);

    RECT all{0, 0, 512, 384};
    ASSERT_EQ(back_->BltFast(0, 0, offscreen_, &all, DDBLTFAST_NOCOLORKEY), DD_OK);
    ASSERT_EQ(primary_->Flip(nullptr, 0), DD_OK);

    desc = lock_desc();
    ASSERT_EQ(primary_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    pixels = static_cast<std::uint32_t*>(desc.lpSurface);
    EXPECT_EQ(pixels[0], 0x00FA8008u);
    EXPECT_EQ(pixels[512 * 384 - 1], 0x00123456u);
    ASSERT_EQ(primary_->Unlock(nullptr), DD_OK);

    // The former front is the new back buffer: flipping again shows it (still black).
    ASSERT_EQ(primary_->Flip(nullptr, 0), DD_OK);
    desc = lock_desc();
    ASSERT_EQ(primary_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(static_cast<std::uint32_t*>(desc.lpSurface)[0], 0u);
    primary_->Unlock(nullptr);
}

TEST_F(DirectDrawTest, FullScreenShowsThePictureScaledWithSquareSharpPixels) {
    int out_width = 0;
    int out_height = 0;
    ASSERT_EQ(SDL_GetRendererOutputSize(window_->renderer, &out_width, &out_height), 0);
    // The dummy driver's screen is 1024x768: the picture is shown at twice its size.
    const int scale = out_width / 512;
    ASSERT_GT(scale, 1) << "the full-screen window is " << out_width << " pixels wide";
    if (out_width != 512 * scale)
        GTEST_SKIP() << "screen width " << out_width << " is no whole multiple of 512";
    ASSERT_GE(out_height, 384 * scale) << "the picture must keep its shape";
    const int top = (out_height - 384 * scale) / 2; // bars above and below, if any

    DDSURFACEDESC2 desc = lock_desc();
    ASSERT_EQ(offscreen_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    auto* pixels = static_cast<std::uint32_t*>(desc.lpSurface);
    std::fill(pixels, pixels + 512 * 384, 0u);
    pixels[0] = 0x00FF0000;
    pixels[1] = 0x0000FF00;
    pixels[512] = 0x000000FF;
    pixels[512 * 384 - 1] = 0x00FFFFFF;
    ASSERT_EQ(offscreen_->Unlock(nullptr), DD_OK);
    ASSERT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DD_OK);
    ASSERT_EQ(primary_->Flip(nullptr, 0), DD_OK);

    std::vector<std::uint32_t> screen(std::size_t(out_width) * std::size_t(out_height));
    ASSERT_EQ(SDL_RenderReadPixels(window_->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888,
                                   screen.data(), out_width * 4),
              0)
        << SDL_GetError();
    auto shown = [&](int x, int y) {
        return screen[std::size_t(top + y) * std::size_t(out_width) + std::size_t(x)] & 0xFFFFFFu;
    };
    // Every picture pixel becomes a scale x scale block of its own colour: no blending at the
    // block edges, where a smoothing filter would mix neighbours.
    for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx) {
            EXPECT_EQ(shown(dx, dy), 0xFF0000u) << dx << "," << dy;
            EXPECT_EQ(shown(scale + dx, dy), 0x00FF00u) << dx << "," << dy;
            EXPECT_EQ(shown(dx, scale + dy), 0x0000FFu) << dx << "," << dy;
            EXPECT_EQ(shown(scale + dx, scale + dy), 0u) << dx << "," << dy;
            EXPECT_EQ(shown(511 * scale + dx, 383 * scale + dy), 0xFFFFFFu) << dx << "," << dy;
        }
}

TEST_F(DirectDrawTest, BusyAndUnlockedSurfacesAnswerWithTheirCodes) {
    DDSURFACEDESC2 desc = lock_desc();
    ASSERT_EQ(offscreen_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    DDSURFACEDESC2 again = lock_desc();
    EXPECT_EQ(offscreen_->Lock(nullptr, &again, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(offscreen_->Unlock(nullptr), DD_OK);
    EXPECT_EQ(offscreen_->Unlock(nullptr), DDERR_NOTLOCKED);
    // No call ever asks the caller to wait: the busy answer is never "still drawing".
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DD_OK);
        EXPECT_EQ(primary_->Flip(nullptr, 0), DD_OK);
    }
}

TEST_F(DirectDrawTest, MalformedRequestsAreRefusedWithDocumentedCodes) {
    DDSURFACEDESC2 desc = lock_desc();
    desc.dwSize = 124 + 100;
    EXPECT_EQ(offscreen_->Lock(nullptr, &desc, 0, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(offscreen_->Lock(nullptr, nullptr, 0, nullptr), DDERR_INVALIDPARAMS);

    RECT outside{0, 0, 513, 384};
    DDSURFACEDESC2 well_formed = lock_desc();
    EXPECT_EQ(offscreen_->Lock(&outside, &well_formed, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, &outside, 0), DDERR_INVALIDRECT);
    RECT all{0, 0, 512, 384};
    EXPECT_EQ(back_->BltFast(1, 0, offscreen_, &all, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(back_->BltFast(0, 0, nullptr, &all, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, &all, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    EXPECT_EQ(offscreen_->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(primary_->Flip(offscreen_, 0), DDERR_INVALIDPARAMS);

    EXPECT_EQ(dd_->SetDisplayMode(512, 384, 16, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd_->SetDisplayMode(0, 384, 32, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd_->SetDisplayMode(512, 8193, 32, 0, 0), DDERR_INVALIDMODE);
    DDSURFACEDESC2 primary = request(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0x00100218);
    primary.dwBackBufferCount = 1;
    IDirectDrawSurface7* second = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&primary, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(second, nullptr);
    DDSURFACEDESC2 texture = request(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_TEXTURE);
    texture.dwWidth = texture.dwHeight = 64;
    EXPECT_EQ(dd_->CreateSurface(&texture, &second, nullptr), DDERR_INVALIDCAPS);
    DDSURFACEDESC2 huge = request(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
    huge.dwWidth = 0xFFFFFFFFu;
    huge.dwHeight = 0xFFFFFFFFu;
    EXPECT_EQ(dd_->CreateSurface(&huge, &second, nullptr), DDERR_TOOBIGSIZE);

    void* other = nullptr;
    GUID wrong = IID_IDirectDraw7;
    wrong.Data1 ^= 1;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &other, wrong, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other, nullptr);
}

TEST_F(DirectDrawTest, ModeChangeLosesSurfacesUntilRestored) {
    ASSERT_EQ(dd_->SetDisplayMode(512, 384, 32, 0, 0), DD_OK);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(primary_->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(primary_->Restore(), DD_OK);
    EXPECT_EQ(offscreen_->Restore(), DD_OK);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DD_OK);
    EXPECT_EQ(primary_->Flip(nullptr, 0), DD_OK);
}

TEST_F(DirectDrawTest, ModeChangeToAnotherSizeCannotBeRestored) {
    // The chain was made for 512x384; a larger mode would have it shown past its own pixels.
    ASSERT_EQ(dd_->SetDisplayMode(1024, 768, 32, 0, 0), DD_OK) << SDL_GetError();
    EXPECT_EQ(primary_->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(primary_->Flip(nullptr, 0), DDERR_SURFACELOST);
    // Memory surfaces do not depend on the mode.
    EXPECT_EQ(offscreen_->Restore(), DD_OK);
    DDSURFACEDESC2 desc = lock_desc();
    EXPECT_EQ(offscreen_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(offscreen_->Unlock(nullptr), DD_OK);
}

TEST_F(DirectDrawTest, DestroyedWindowEndsPresentationWithoutHarm) {
    DestroyWindow(window_);
    EXPECT_EQ(primary_->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(back_->BltFast(0, 0, offscreen_, nullptr, 0), DD_OK); // memory surfaces still work
}

TEST_F(DirectDrawTest, SurfacesOutlivingTheirDirectDrawObjectStaySafe) {
    dd_->Release();
    dd_ = nullptr;
    EXPECT_EQ(primary_->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(primary_->Restore(), DDERR_WRONGMODE);
    DDSURFACEDESC2 desc = lock_desc();
    EXPECT_EQ(offscreen_->Lock(nullptr, &desc, 0, nullptr), DD_OK);
    EXPECT_EQ(offscreen_->Unlock(nullptr), DD_OK);
}

// The picture on whatever output the renderer really has: as large as fits, square pixels,
// centred, with black bars where the output's shape differs.
TEST(PictureArea, LargestCentredFitOfThePictureShape) {
    auto area = [](int width, int height) {
        SDL_Rect r = picture_area(512, 384, width, height);
        return std::vector<int>{r.x, r.y, r.w, r.h};
    };
    EXPECT_EQ(area(1024, 768), (std::vector<int>{0, 0, 1024, 768}));
    EXPECT_EQ(area(512, 384), (std::vector<int>{0, 0, 512, 384}));
    EXPECT_EQ(area(1920, 1080), (std::vector<int>{240, 0, 1440, 1080}));
    EXPECT_EQ(area(1280, 1024), (std::vector<int>{0, 32, 1280, 960}));
    EXPECT_EQ(area(500, 10), (std::vector<int>{243, 0, 13, 10}));
    EXPECT_EQ(area(0, 768), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(area(1024, -1), (std::vector<int>{0, 0, 0, 0}));
}

} // namespace
