// full_screen.h - making an SDL window cover its display, and placing the picture on it.
//
// A desktop full-screen request is carried out by the window manager; an X server without one
// (kiosk and embedded set-ups) or with one that ignores the request leaves the window where it
// was, while SDL goes on reporting the whole screen. cover_display asks in the usual way where
// that can work, checks the window's real area, and when the window still does not cover the
// display sizes and places it over the display itself.
//
// Internal to platform/sdl/. The window is borrowed. Sizes and positions are in screen pixels.
// Failure: none is fatal; cover_display returns false when the window could not be made to cover
// the display (the picture is then shown in the area the window really has). It never waits
// longer than kCoverWaitMs for the window system.
#pragma once

#include <SDL.h>

// How long each attempt waits for the window system to carry out a move or resize.
constexpr Uint32 kCoverWaitMs = 250;

// Makes the window cover the display it is on; true when it does (as far as can be known).
bool cover_display(SDL_Window* window);

// The largest rectangle of the picture's shape (square pixels) that fits an output of the given
// size, centred in it; empty (zero width and height) when either size is not positive.
SDL_Rect picture_area(int picture_width, int picture_height, int output_width, int output_height);
