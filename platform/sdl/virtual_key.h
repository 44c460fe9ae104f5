// virtual_key.h - an SDL key as the Windows virtual-key code the rest of the program reads.
//
// Internal to platform/sdl/: the window stand-ins post it in WM_KEYDOWN, the viewer window in
// its key events. Letters and digits become their upper-case ASCII codes; Escape, Return, Space,
// Backspace, Tab, Home, the arrows, F1 to F12, Shift, Control and Alt their VK_ codes; any other
// key 0. Ownership and failure: none.
#pragma once

#include <SDL.h>

#include "platform/win32_api.h"

WPARAM virtual_key(SDL_Keycode key);
