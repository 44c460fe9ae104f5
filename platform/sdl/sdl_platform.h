// sdl_platform.h - state shared by the SDL2 stand-ins for the window functions and DirectDraw.
//
// Internal to platform/sdl/. A window handle points at one HWND__ record, owned by the window
// stand-in and kept (dead) after DestroyWindow until platform_shutdown, so a stale handle is
// always safe to test with window_alive. The DirectDraw stand-in borrows the window's SDL
// window and owns the presentation (renderer and texture) it hangs on the record while it holds
// the window in exclusive mode; DestroyWindow tears the presentation down with the window.
#pragma once

#ifndef SDL_MAIN_HANDLED
#define SDL_MAIN_HANDLED // the stand-in's own main() calls WinMain; SDL must not rename it
#endif
#include <SDL.h>

#include "platform/win32_api.h"

#include <string>

struct HWND__ {
    WNDPROC procedure = nullptr;
    SDL_Window* sdl_window = nullptr;
    Uint32 sdl_window_id = 0;
    bool alive = true;
    bool destroying = false; // WM_DESTROY is being delivered
    bool visible = false;
    SDL_Renderer* renderer = nullptr; // present while a DirectDraw object drives the window
    SDL_Texture* texture = nullptr;
};

// Starts SDL's video subsystem on first use; false (with the reason in SDL_GetError) when no
// display can be opened.
bool sdl_video_ready();

// True for a handle made by CreateWindowExA that has not been destroyed.
bool window_alive(HWND window);

// Drops the presentation of a window (renderer and texture), if any.
void window_drop_presentation(HWND window);
