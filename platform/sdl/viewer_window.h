// viewer_window.h - the viewer's window: resizable, showing a picture the caller draws at the
// window's own size, and telling the caller what a person does to it (window_input.h).
//
// Unlike the demo's stand-ins for Win32 and DirectDraw, this is a plain SDL2 window of its own:
// the viewer is a program of this project, not a Windows program, so nothing here imitates an
// operating system interface. Waiting for input blocks in the window system (no polling), so an
// idle viewer uses no processor time. Presenting waits for the display's refresh where the
// driver can (vertical sync), so a picture is shown at most once per refresh.
//
// Units: sizes and positions in pixels of the picture (on a high-density display the picture has
// the display's pixels, whatever the window system calls its units); the window's side stays
// within kViewerMinSide..kViewerMaxSide. Pictures are 32-bit 0x00RRGGBB, rows top to bottom with
// no gap, as the renderer draws them.
// Ownership: one ViewerWindow owns its SDL window, renderer and texture and shuts SDL's video
// down when destroyed; one at a time per process, used from one thread.
// Failure: open_viewer_window and window_present return false with a one-line reason (no
// display, out of memory, a driver error); nothing throws.
#pragma once

#include "platform/window_input.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

constexpr int32_t kViewerMinSide = 16;
constexpr int32_t kViewerMaxSide = 4096;

struct ViewerWindow;

struct ViewerWindowDeleter {
    void operator()(ViewerWindow* window) const;
};
using ViewerWindowPtr = std::unique_ptr<ViewerWindow, ViewerWindowDeleter>;

// Opens the window with a picture of width x height (clamped to the limits) and the title.
ViewerWindowPtr open_viewer_window(const std::string& title, int32_t width, int32_t height,
                                   std::string& error);

// The next event: waits up to timeout_ms milliseconds (negative: for as long as it takes).
// A wait that ends without input gives an event of kind none.
WindowEvent window_next_event(ViewerWindow& window, int timeout_ms);

// True when another event is waiting, which window_next_event(window, 0) will return.
bool window_event_pending(ViewerWindow& window);

void window_set_title(ViewerWindow& window, const std::string& title);

// The picture's size now, in pixels.
void window_picture_size(const ViewerWindow& window, int32_t& width, int32_t& height);

// The display's refresh interval in seconds (1/60 when the display does not say).
double window_refresh_interval(const ViewerWindow& window);

// Shows pixels (width x height, the picture's size) in the window.
bool window_present(ViewerWindow& window, std::span<const uint32_t> pixels, int32_t width,
                    int32_t height, std::string& error);
