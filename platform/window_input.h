// window_input.h - what a person does to the viewer's window, told without any window system's
// types: keys, mouse buttons and motion, the wheel, a file dropped on it, a new size, closing.
//
// The viewer window (platform/sdl/viewer_window.h) fills these records; the viewer's controls
// read them, so the controls are tested without a window. Keys are Windows virtual-key codes
// (win32_api.h: letters as upper-case ASCII, VK_ESCAPE, VK_SPACE, VK_LEFT, VK_RIGHT, VK_HOME),
// the one key language of the platform layer.
//
// Units: positions in pixels of the window's picture, x right and y down from its top left
// corner; wheel in steps, positive when turned away from the person (which zooms in); sizes in
// pixels. Ownership: plain values. Failure: none.
#pragma once

#include <cstdint>
#include <string>

enum class PointerButton { left, middle, right };

struct WindowEvent {
    enum class Kind {
        none,        // nothing (a wait that timed out)
        key,         // key pressed (repeats included): key, shift
        button_down, // button, x, y, shift
        button_up,   // button, x, y
        motion,      // x, y
        wheel,       // wheel
        drop,        // path
        resized,     // width, height: the picture's new size
        exposed,     // the picture must be shown again
        close        // the window's close button, or the process asked to end
    };
    Kind kind = Kind::none;
    int key = 0;
    bool shift = false;
    PointerButton button = PointerButton::left;
    int32_t x = 0, y = 0;
    double wheel = 0;
    std::string path;
    int32_t width = 0, height = 0;
};
