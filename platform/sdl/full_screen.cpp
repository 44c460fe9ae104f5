// Covering the display with a window, and the picture's place on it.
#include "platform/sdl/full_screen.h"

#include "platform/sdl/x11_window.h"

#include <cstdint>

namespace {

bool display_bounds(SDL_Window* window, SDL_Rect* bounds) {
    int index = SDL_GetWindowDisplayIndex(window);
    return index >= 0 && SDL_GetDisplayBounds(index, bounds) == 0;
}

// The window's area as the X server has it; elsewhere SDL's own record is all there is.
SDL_Rect window_area(SDL_Window* window) {
    SDL_Rect area{};
    if (x11_window_area(window, &area)) return area;
    SDL_GetWindowPosition(window, &area.x, &area.y);
    SDL_GetWindowSize(window, &area.w, &area.h);
    return area;
}

bool covers(const SDL_Rect& area, const SDL_Rect& bounds) {
    return area.x <= bounds.x && area.y <= bounds.y && area.x + area.w >= bounds.x + bounds.w &&
           area.y + area.h >= bounds.y + bounds.h;
}

// Lets the window system act on what was asked, for kCoverWaitMs at most. Events are pumped into
// SDL's queue (so SDL learns the real size) but left there for the message loop: no key press is
// lost.
bool wait_until_covered(SDL_Window* window, const SDL_Rect& bounds) {
    Uint32 start = SDL_GetTicks();
    for (;;) {
        SDL_PumpEvents();
        if (covers(window_area(window), bounds)) return true;
        if (SDL_GetTicks() - start >= kCoverWaitMs) return false;
        SDL_Delay(5);
    }
}

// SDL passes no move or resize on to the window system while it counts the window as full screen,
// so that state is left first.
bool place_over(SDL_Window* window, const SDL_Rect& bounds) {
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0)
        SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, bounds.x, bounds.y);
    SDL_SetWindowSize(window, bounds.w, bounds.h);
    SDL_RaiseWindow(window);
    return wait_until_covered(window, bounds);
}

} // namespace

bool cover_display(SDL_Window* window) {
    SDL_Rect bounds{};
    if (!display_bounds(window, &bounds)) {
        // Nothing to measure against: the request is all that can be done.
        return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    }
    SDL_Rect unused{};
    bool on_x11 = x11_window_area(window, &unused);
    // On X only a window manager carries out the request; without one, asking would just make SDL
    // believe in a size the window does not have.
    if (!on_x11 || x11_window_manager_running(window)) {
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0 &&
            wait_until_covered(window, bounds))
            return true;
    }
    return place_over(window, bounds);
}

SDL_Rect picture_area(int picture_width, int picture_height, int output_width, int output_height) {
    if (picture_width <= 0 || picture_height <= 0 || output_width <= 0 || output_height <= 0)
        return SDL_Rect{0, 0, 0, 0};
    // Compare output_width / picture_width with output_height / picture_height without rounding.
    auto across = static_cast<std::int64_t>(output_width) * picture_height;
    auto down = static_cast<std::int64_t>(output_height) * picture_width;
    int width = output_width;
    int height = output_height;
    if (across > down)
        width = static_cast<int>(down / picture_height);
    else
        height = static_cast<int>(across / picture_width);
    return SDL_Rect{(output_width - width) / 2, (output_height - height) / 2, width, height};
}
