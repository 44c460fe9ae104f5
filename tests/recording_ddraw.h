// recording_ddraw.h - a DirectDraw 7 that writes down every call, for testing the display
// device. It implements the declarations of platform/ddraw_api.h and is linked into the test
// in place of the SDL implementation, so the device under test is the production code as is.
//
// Every call appends one line to recording().calls, "<object>.<Method>(<arguments>)", where the
// objects are named "dd", "primary", "back" and, in creation order, the off-screen surfaces
// "one", "two", "three"... Results are scripted per "<object>.<Method>" key (or
// "DirectDrawCreateEx"): each call takes the next scripted result, DD_OK once the script is
// used up. A failing creation writes a pointer to the surface "poison" into the out parameter,
// so a device that trusts it shows up as calls on "poison". after_call, when set, runs at the
// very end of every call (after whatever the call allocated), with that call's line.
#pragma once

#include "platform/ddraw_api.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct RecordingSurface;

struct DDrawRecording {
    std::vector<std::string> calls;
    std::map<std::string, std::deque<HRESULT>> scripted;
    DWORD bits_per_pixel = 32;  // what Lock reports
    LONG extra_pitch = 0;       // bytes of padding after every row
    DWORD offscreen_width = 0;  // when set, off-screen surfaces are made this size instead of
    DWORD offscreen_height = 0; // the asked one, as a driver that rounds sizes up may do
    int live_surfaces = 0;      // created and not yet released (the back buffer counts with
                                // its primary)
    int live_devices = 0;
    std::function<void(const std::string& call)> after_call;
};

// The process-wide recording; recording_reset clears it (objects still alive stay alive).
DDrawRecording& recording();
void recording_reset();

// Looks a live surface up by name; null when none.
RecordingSurface* recording_surface(const std::string& name);

// What a test can see of a surface.
struct RecordingSurfaceView {
    void* pixels = nullptr;
    LONG pitch = 0;
    DWORD width = 0;
    DWORD height = 0;
    bool locked = false;
};
RecordingSurfaceView recording_view(const std::string& name);
