// The window, message queue, timer and cursor stand-ins over SDL2.
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_session.h"
#include "platform/sdl/virtual_key.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct HICON__ {
    int unused;
};
struct HBRUSH__ {
    int unused;
};

namespace {

using Clock = std::chrono::steady_clock;

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    Clock::duration period;
    Clock::time_point next_due;
};

// Windows raises shorter periods to this minimum.
constexpr UINT kMinimumTimerMs = 10;
constexpr DWORD kMaximumWindowSide = 16384;
constexpr std::uintptr_t kFirstAtom = 0xC000;

std::vector<WindowClass> g_classes;
std::vector<std::unique_ptr<HWND__>> g_windows;
std::deque<MSG> g_queue;
std::vector<Timer> g_timers;
bool g_quit_posted = false;
int g_quit_code = 0;
int g_cursor_count = 0;
HICON__ g_application_icon{};
HICON__ g_arrow_cursor{};
HBRUSH__ g_black_brush{};

const WindowClass* find_class(LPCSTR name) {
    if (name == nullptr) return nullptr;
    auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value < 0x10000) { // an atom from RegisterClassExA
        if (value < kFirstAtom || value - kFirstAtom >= g_classes.size()) return nullptr;
        return &g_classes[value - kFirstAtom];
    }
    for (const auto& window_class : g_classes)
        if (window_class.name == name) return &window_class;
    return nullptr;
}

HWND window_for_sdl_id(Uint32 id) {
    for (const auto& window : g_windows)
        if (window->alive && window->sdl_window_id == id) return window.get();
    return nullptr;
}

// Keyboard input goes to the window SDL names, else to the newest live window: without a window
// manager nothing may ever tell SDL which window has the focus.
HWND keyboard_window(Uint32 id) {
    if (HWND window = window_for_sdl_id(id)) return window;
    for (auto it = g_windows.rbegin(); it != g_windows.rend(); ++it)
        if ((*it)->alive) return it->get();
    return nullptr;
}

void post(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wparam;
    msg.lParam = lparam;
    msg.time = static_cast<DWORD>(SDL_GetTicks());
    g_queue.push_back(msg);
}

void translate_event(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        WPARAM key = virtual_key(event.key.keysym.sym);
        HWND window = keyboard_window(event.key.windowID);
        if (key == 0 || window == nullptr) return;
        // lParam as Windows builds it: repeat count 1, bit 30 the previous key state, bit 31
        // the transition (set on release).
        LPARAM flags = 1;
        if (event.type == SDL_KEYUP)
            flags |= LPARAM{3} << 30;
        else if (event.key.repeat != 0)
            flags |= LPARAM{1} << 30;
        post(window, event.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, key, flags);
        return;
    }
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            if (HWND window = window_for_sdl_id(event.window.windowID))
                post(window, WM_CLOSE, 0, 0);
        }
        return;
    case SDL_QUIT: // the last window closed, or SIGINT / SIGTERM
        for (const auto& window : g_windows)
            if (window->alive) post(window.get(), WM_CLOSE, 0, 0);
        return;
    default:
        return;
    }
}

void pump_events() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
        translate_event(event);
}

// One WM_TIMER for the earliest due timer; its next tick is the first period boundary after
// now, so ticks missed while the program was busy collapse into this one.
bool take_due_timer(MSG* msg) {
    Clock::time_point now = Clock::now();
    Timer* due = nullptr;
    for (auto& timer : g_timers)
        if (timer.next_due <= now && (due == nullptr || timer.next_due < due->next_due))
            due = &timer;
    if (due == nullptr) return false;
    auto missed = (now - due->next_due) / due->period;
    due->next_due += due->period * (missed + 1);
    *msg = MSG{};
    msg->hwnd = due->window;
    msg->message = WM_TIMER;
    msg->wParam = due->id;
    msg->time = static_cast<DWORD>(SDL_GetTicks());
    return true;
}

void wait_for_input_or_timer() {
    auto wait = std::chrono::milliseconds(100);
    Clock::time_point now = Clock::now();
    for (const auto& timer : g_timers) {
        auto until = std::chrono::ceil<std::chrono::milliseconds>(timer.next_due - now);
        wait = std::min(wait, std::max(until, std::chrono::milliseconds(1)));
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        std::this_thread::sleep_for(wait);
        return;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, static_cast<int>(wait.count())) != 0) translate_event(event);
}

void destroy_sdl_window(HWND__& window) {
    window_drop_presentation(&window);
    if (window.sdl_window != nullptr) SDL_DestroyWindow(window.sdl_window);
    window.sdl_window = nullptr;
    window.sdl_window_id = 0;
}

int clamp_side(int side) {
    if (side == CW_USEDEFAULT) return 640;
    return std::clamp(side, 1, static_cast<int>(kMaximumWindowSide));
}

} // namespace

bool sdl_video_ready() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    // A full-screen window that minimises whenever it loses the focus would hide the picture
    // on a desktop with a second monitor or without a window manager.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Only drivers that show something count as a display: left to itself SDL would fall back
    // to an invisible off-screen driver, and probing Wayland without a compositor prints to
    // standard error. An explicit SDL_VIDEODRIVER (e.g. "dummy" for tests) is obeyed as given.
    if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        std::string drivers;
        if (SDL_getenv("DISPLAY") != nullptr) drivers += "x11,";
        if (SDL_getenv("WAYLAND_DISPLAY") != nullptr) drivers += "wayland,";
        drivers += "KMSDRM";
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

bool window_alive(HWND window) {
    if (window == nullptr) return false;
    for (const auto& known : g_windows)
        if (known.get() == window) return known->alive;
    return false;
}

void window_drop_presentation(HWND window) {
    if (window == nullptr) return;
    if (window->texture != nullptr) SDL_DestroyTexture(window->texture);
    if (window->renderer != nullptr) SDL_DestroyRenderer(window->renderer);
    window->texture = nullptr;
    window->renderer = nullptr;
}

void platform_shutdown() {
    for (auto& window : g_windows)
        destroy_sdl_window(*window);
    g_windows.clear();
    g_classes.clear();
    g_queue.clear();
    g_timers.clear();
    g_quit_posted = false;
    g_quit_code = 0;
    g_cursor_count = 0;
    if (SDL_WasInit(0) != 0) SDL_Quit();
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* window_class) {
    if (window_class == nullptr || window_class->cbSize != sizeof(WNDCLASSEXA) ||
        window_class->lpfnWndProc == nullptr || window_class->lpszClassName == nullptr ||
        reinterpret_cast<std::uintptr_t>(window_class->lpszClassName) < 0x10000 ||
        window_class->lpszClassName[0] == '\0' ||
        find_class(window_class->lpszClassName) != nullptr)
        return 0;
    g_classes.push_back({window_class->lpszClassName, window_class->lpfnWndProc});
    return static_cast<ATOM>(kFirstAtom + g_classes.size() - 1);
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE, LPVOID) {
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr || parent != nullptr) return nullptr; // no child windows
    if (!sdl_video_ready()) return nullptr;

    int left = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
    int top = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
    SDL_Window* sdl_window =
        SDL_CreateWindow(title != nullptr ? title : "", left, top, clamp_side(width),
                         clamp_side(height), SDL_WINDOW_HIDDEN);
    if (sdl_window == nullptr) return nullptr;

    auto window = std::make_unique<HWND__>();
    window->procedure = window_class->procedure;
    window->sdl_window = sdl_window;
    window->sdl_window_id = SDL_GetWindowID(sdl_window);
    g_windows.push_back(std::move(window));
    HWND handle = g_windows.back().get();
    if ((style & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
    // A procedure that closes its window again while handling WM_DESTROY must not recurse.
    if (!window_alive(window) || window->destroying) return FALSE;
    window->destroying = true;
    // WM_DESTROY arrives while the window still exists, as on Windows.
    window->procedure(window, WM_DESTROY, 0, 0);
    window->alive = false;
    std::erase_if(g_timers, [window](const Timer& timer) { return timer.window == window; });
    std::erase_if(g_queue, [window](const MSG& msg) { return msg.hwnd == window; });
    destroy_sdl_window(*window);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    return window_alive(window) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int show_command) {
    if (!window_alive(window)) return FALSE;
    BOOL was_visible = window->visible ? TRUE : FALSE;
    if (show_command == SW_HIDE) {
        SDL_HideWindow(window->sdl_window);
        window->visible = false;
    } else {
        SDL_ShowWindow(window->sdl_window);
        window->visible = true;
    }
    return was_visible;
}

BOOL WINAPI UpdateWindow(HWND window) {
    return window_alive(window) ? TRUE : FALSE;
}

int WINAPI ShowCursor(BOOL show) {
    g_cursor_count += show != FALSE ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(g_cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursor_count;
}

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    return name == IDI_APPLICATION ? &g_application_icon : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    return name == IDC_ARROW ? &g_arrow_cursor : nullptr;
}

HGDIOBJ WINAPI GetStockObject(int object) {
    return object == BLACK_BRUSH ? &g_black_brush : nullptr;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC timer_proc) {
    // Only window timers that arrive as WM_TIMER are provided.
    if (!window_alive(window) || timer_proc != nullptr) return 0;
    auto period = std::chrono::milliseconds(std::max(elapse_ms, kMinimumTimerMs));
    std::erase_if(g_timers,
                  [&](const Timer& timer) { return timer.window == window && timer.id == id; });
    g_timers.push_back({window, id, period, Clock::now() + period});
    return 1;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    auto removed = std::erase_if(
        g_timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; });
    return removed != 0 ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window_filter, UINT first, UINT last) {
    // Filtered retrieval is not provided; Windows answers errors with -1.
    if (msg == nullptr || window_filter != nullptr || first != 0 || last != 0) return -1;
    for (;;) {
        pump_events();
        if (!g_queue.empty()) {
            *msg = g_queue.front();
            g_queue.pop_front();
            return msg->message != WM_QUIT ? TRUE : FALSE;
        }
        if (g_quit_posted) {
            g_quit_posted = false;
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(g_quit_code);
            return FALSE;
        }
        if (take_due_timer(msg)) return TRUE;
        wait_for_input_or_timer();
    }
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window != nullptr && !window_alive(window)) return FALSE;
    post(window, message, wparam, lparam);
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE; // no character messages are made, so nothing is ever translated
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || !window_alive(msg->hwnd)) return 0;
    return msg->hwnd->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window_alive(window)) return 0;
    return window->procedure(window, message, wparam, lparam);
}

void WINAPI PostQuitMessage(int exit_code) {
    g_quit_posted = true;
    g_quit_code = exit_code;
}
