// x11_window.h - what the X server itself says about an SDL window, where SDL cannot say it.
//
// SDL records the size it asked for, not the size it got: after a desktop full-screen request
// that no window manager carries out, SDL_GetWindowSize and the renderer's output size report
// the whole screen while the X window keeps its old size. These functions ask the X server
// instead. Areas are in screen pixels, relative to the root window's top-left corner.
//
// Internal to platform/sdl/. The window is borrowed. Failure: both answer "unknown" (false) when
// the window is not an X11 window (Wayland, KMSDRM, the dummy driver) or the server does not
// answer the query; they never block beyond one round trip to the server.
#pragma once

#include <SDL.h>

// The window's real area on the screen: true with area filled in, false when unknown.
bool x11_window_area(SDL_Window* window, SDL_Rect* area);

// True when a window manager that follows the Extended Window Manager Hints (the one kind that
// can carry out a desktop full-screen request) runs on the window's screen.
bool x11_window_manager_running(SDL_Window* window);
