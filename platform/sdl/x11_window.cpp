// The X server's own answers about an SDL window: its real area, and whether a window manager
// that understands full-screen requests is running.
#include "platform/sdl/x11_window.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

struct X11Handles {
    Display* display = nullptr;
    Window window = 0;
};

bool x11_handles(SDL_Window* sdl_window, X11Handles* handles) {
    if (sdl_window == nullptr) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl_window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return false;
    handles->display = info.info.x11.display;
    handles->window = info.info.x11.window;
    return handles->display != nullptr && handles->window != 0;
}

// The window named by a _NET_SUPPORTING_WM_CHECK property on `owner`, or 0 when there is none.
Window supporting_check_window(Display* display, Window owner) {
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return 0; // nobody ever named the atom: no such window manager
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* value = nullptr;
    if (XGetWindowProperty(display, owner, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &remaining, &value) != Success)
        return 0;
    Window named = 0;
    if (type == XA_WINDOW && format == 32 && count == 1 && value != nullptr)
        named = static_cast<Window>(*reinterpret_cast<unsigned long*>(value));
    if (value != nullptr) XFree(value);
    return named;
}

// A window manager that has exited leaves its property on the root window behind, naming a window
// that no longer exists; reading the property from that window then fails with an X error, which
// must not end the program through Xlib's default handler.
int ignore_x_error(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

bool x11_window_area(SDL_Window* sdl_window, SDL_Rect* area) {
    X11Handles x;
    if (!x11_handles(sdl_window, &x)) return false;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(x.display, x.window, &attributes) == 0) return false;
    int left = 0;
    int top = 0;
    Window child = 0;
    if (XTranslateCoordinates(x.display, x.window, attributes.root, 0, 0, &left, &top, &child) ==
        False)
        return false;
    *area = SDL_Rect{left, top, attributes.width, attributes.height};
    return true;
}

bool x11_window_manager_running(SDL_Window* sdl_window) {
    X11Handles x;
    if (!x11_handles(sdl_window, &x)) return false;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(x.display, x.window, &attributes) == 0) return false;
    Window named = supporting_check_window(x.display, attributes.root);
    if (named == 0) return false;
    XSync(x.display, False);
    auto previous = XSetErrorHandler(ignore_x_error);
    bool confirmed = supporting_check_window(x.display, named) == named;
    XSync(x.display, False);
    XSetErrorHandler(previous);
    return confirmed;
}
