#include "platform/sdl/viewer_window.h"

#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/virtual_key.h"

#include <algorithm>

struct ViewerWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int32_t texture_width = 0, texture_height = 0;
};

namespace {

int32_t clamp_side(int32_t side) {
    return std::clamp(side, kViewerMinSide, kViewerMaxSide);
}

std::string sdl_error(const char* what) {
    return std::string(what) + ": " + SDL_GetError();
}

// Window units to picture pixels: the two differ on a high-density display.
void to_picture(const ViewerWindow& w, int32_t& x, int32_t& y) {
    int window_w = 0, window_h = 0, picture_w = 0, picture_h = 0;
    SDL_GetWindowSize(w.window, &window_w, &window_h);
    SDL_GetRendererOutputSize(w.renderer, &picture_w, &picture_h);
    if (window_w > 0 && window_h > 0 && (window_w != picture_w || window_h != picture_h)) {
        x = int32_t(int64_t(x) * picture_w / window_w);
        y = int32_t(int64_t(y) * picture_h / window_h);
    }
}

PointerButton button_of(Uint8 button) {
    if (button == SDL_BUTTON_RIGHT) return PointerButton::right;
    if (button == SDL_BUTTON_MIDDLE) return PointerButton::middle;
    return PointerButton::left;
}

bool is_shift() {
    return (SDL_GetModState() & KMOD_SHIFT) != 0;
}

WindowEvent translate(ViewerWindow& w, const SDL_Event& event) {
    using Kind = WindowEvent::Kind;
    WindowEvent out;
    switch (event.type) {
    case SDL_QUIT:
        out.kind = Kind::close;
        break;
    case SDL_KEYDOWN:
        out.key = int(virtual_key(event.key.keysym.sym));
        if (out.key == 0) break;
        out.kind = Kind::key;
        out.shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button != SDL_BUTTON_LEFT && event.button.button != SDL_BUTTON_MIDDLE &&
            event.button.button != SDL_BUTTON_RIGHT)
            break;
        out.kind = event.type == SDL_MOUSEBUTTONDOWN ? Kind::button_down : Kind::button_up;
        out.button = button_of(event.button.button);
        out.shift = is_shift();
        out.x = event.button.x;
        out.y = event.button.y;
        to_picture(w, out.x, out.y);
        // While a button is held the pointer's motion is followed outside the window too.
        SDL_CaptureMouse(event.type == SDL_MOUSEBUTTONDOWN ? SDL_TRUE : SDL_FALSE);
        break;
    case SDL_MOUSEMOTION:
        out.kind = Kind::motion;
        out.x = event.motion.x;
        out.y = event.motion.y;
        to_picture(w, out.x, out.y);
        break;
    case SDL_MOUSEWHEEL:
        out.kind = Kind::wheel;
        out.wheel = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) out.wheel = -out.wheel;
        break;
    case SDL_DROPFILE:
        if (event.drop.file == nullptr) break;
        out.kind = Kind::drop;
        out.path = event.drop.file;
        SDL_free(event.drop.file);
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            out.kind = Kind::resized;
            window_picture_size(w, out.width, out.height);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            out.kind = Kind::exposed;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            out.kind = Kind::close;
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return out;
}

} // namespace

void ViewerWindowDeleter::operator()(ViewerWindow* w) const {
    if (w == nullptr) return;
    if (w->texture != nullptr) SDL_DestroyTexture(w->texture);
    if (w->renderer != nullptr) SDL_DestroyRenderer(w->renderer);
    if (w->window != nullptr) SDL_DestroyWindow(w->window);
    delete w;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

ViewerWindowPtr open_viewer_window(const std::string& title, int32_t width, int32_t height,
                                   std::string& error) {
    if (!sdl_video_ready()) {
        error = SDL_getenv("DISPLAY") == nullptr && SDL_getenv("WAYLAND_DISPLAY") == nullptr
                    ? "no display available"
                    : sdl_error("cannot open the display");
        return nullptr;
    }
    ViewerWindowPtr w(new ViewerWindow);
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    w->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                 clamp_side(width), clamp_side(height),
                                 SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (w->window == nullptr) {
        error = sdl_error("cannot create the viewer window");
        return nullptr;
    }
    SDL_SetWindowMinimumSize(w->window, kViewerMinSide, kViewerMinSide);
    SDL_SetWindowMaximumSize(w->window, kViewerMaxSide, kViewerMaxSide);
    // Vertical sync makes presenting wait for the display's refresh, so the viewer draws at
    // most once per refresh; a driver without it still presents, unpaced.
    w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (w->renderer == nullptr) w->renderer = SDL_CreateRenderer(w->window, -1, 0);
    if (w->renderer == nullptr)
        w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_SOFTWARE);
    if (w->renderer == nullptr) {
        error = sdl_error("cannot draw in the viewer window");
        return nullptr;
    }
    return w;
}

WindowEvent window_next_event(ViewerWindow& w, int timeout_ms) {
    SDL_Event event;
    const int got =
        timeout_ms < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeout_ms);
    if (got == 0) return {};
    return translate(w, event);
}

bool window_event_pending(ViewerWindow&) {
    return SDL_PollEvent(nullptr) != 0;
}

void window_set_title(ViewerWindow& w, const std::string& title) {
    SDL_SetWindowTitle(w.window, title.c_str());
}

void window_picture_size(const ViewerWindow& w, int32_t& width, int32_t& height) {
    int picture_w = 0, picture_h = 0;
    if (SDL_GetRendererOutputSize(w.renderer, &picture_w, &picture_h) != 0)
        SDL_GetWindowSize(w.window, &picture_w, &picture_h);
    width = clamp_side(picture_w);
    height = clamp_side(picture_h);
}

double window_refresh_interval(const ViewerWindow& w) {
    SDL_DisplayMode mode;
    const int display = SDL_GetWindowDisplayIndex(w.window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0)
        return 1.0 / 60;
    return 1.0 / mode.refresh_rate;
}

bool window_present(ViewerWindow& w, std::span<const uint32_t> pixels, int32_t width,
                    int32_t height, std::string& error) {
    if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) {
        error = "the picture does not have the size it claims";
        return false;
    }
    if (w.texture == nullptr || w.texture_width != width || w.texture_height != height) {
        if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
        w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
        w.texture_width = w.texture == nullptr ? 0 : width;
        w.texture_height = w.texture == nullptr ? 0 : height;
        if (w.texture == nullptr || SDL_SetTextureScaleMode(w.texture, SDL_ScaleModeNearest) != 0) {
            error = sdl_error("cannot make the window's picture");
            return false;
        }
    }
    // The frame's top byte is 0; the texture must show it opaque.
    SDL_SetTextureBlendMode(w.texture, SDL_BLENDMODE_NONE);
    if (SDL_UpdateTexture(w.texture, nullptr, pixels.data(), width * 4) != 0 ||
        SDL_RenderClear(w.renderer) != 0 ||
        SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr) != 0) {
        error = sdl_error("cannot show the picture");
        return false;
    }
    SDL_RenderPresent(w.renderer);
    return true;
}
