// display.h - the display device: DirectDraw 7 in exclusive full-screen mode, two off-screen
// system-memory surfaces used in turn, and a primary flipping chain with one back buffer.
//
// Per frame: display_lock hands out the pixels of the current off-screen surface, the caller
// writes Width x Height 32-bit 0x00RRGGBB pixels into it (rows pitch bytes apart, top row
// first), and display_present unlocks it, blits it to the back buffer and flips. The surfaces
// alternate from one presented frame to the next; a failed lock does not count as a frame.
//
// Ownership: the device keeps process-wide state and owns the DirectDraw object and every
// surface from display_init to display_release. Single-threaded: all calls come from the thread
// of the message loop.
//
// Failure: display_init logs each step to "DirectX.log" (display/log.h) and returns the result
// code of the first DirectDraw call that failed (DD_OK when all succeeded), keeping what it
// created so far for display_release. Unless display_init completed, display_lock returns 0 and
// display_present does nothing, so no surface that was never created is ever touched.
// Present failures are dropped; a busy surface is retried, a lost one restores all surfaces.
#pragma once

#include "platform/ddraw_api.h"

#include <cstddef>
#include <cstdint>

// Takes the display for window at width x height, 32 bits per pixel, and creates the surfaces.
HRESULT display_init(HWND window, std::int32_t width, std::int32_t height);

// Locks the current off-screen surface. Returns 1 with *pixels_out and *pitch_out (bytes from
// one row to the next, at least width * 4) set when the frame may be written; returns 0, with
// both left untouched and nothing locked, when the frame must be skipped (lock refused, not 32
// bits per pixel, a surface smaller than the frame, or no complete display_init).
int display_lock(void** pixels_out, std::ptrdiff_t* pitch_out);

// Unlocks the surface locked by display_lock, blits it to the back buffer and flips.
void display_present();

// Restores the primary, then lpDDSOne, then lpDDSTwo, stopping at the first failure; returns
// that failure or the last result.
HRESULT display_restore_all();

// Releases the surfaces and the DirectDraw object. Safe to call again or without display_init.
void display_release();
