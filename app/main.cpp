// The demo program: window, start-up, one frame per 20 ms timer message, Escape to end.
//
// Written against the Win32 API; on Windows it is the real thing, elsewhere the SDL2 stand-ins
// of platform/ supply the same functions. Everything runs on the thread of the message loop.
//
// Start-up failures (no window, scene not loadable, no frame buffer) print one line on standard
// error and end the program with status 1, so a script can tell a failed start from a normal
// run, which ends with the quit message's code (0). On Windows the program is a GUI process whose
// standard error nobody sees when it is double-clicked, so the same line is also shown in a
// message box titled kFailureTitle.
#include "app/demo.h"
#include "app/demo_coverage.h"
#include "display/display.h"
#include "loader/chunk_reader.h"
#include "platform/win32_api.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kClassName[] = "Kalvorant_04";
constexpr char kTitle[] = "Kalvorant_04 - raster test";
constexpr char kFailureTitle[] = "Kalvorant_04 - cannot start";
constexpr char kSceneFile[] = "object.3ds";
constexpr UINT kFramePeriodMs = 20;
constexpr UINT_PTR kFrameTimer = 0;

DemoState g_demo;
std::unique_ptr<Scene> g_scene; // kept for the whole run, never freed before the process ends

HWND g_window = nullptr;      // null until the window exists
bool g_cursor_hidden = false; // whether start-up has hidden the pointer yet
bool g_coverage_told = false; // whether the first frame's coverage has been looked at

// Prints the reason (and shows it on Windows); returns the exit status of a failed start.
int start_up_failure(const std::string& reason) {
    const std::string line = "kalvorant: " + reason;
    std::fprintf(stderr, "%s\n", line.c_str());
#ifdef _WIN32
    if (g_cursor_hidden) ShowCursor(TRUE); // the box wants a pointer to click OK with
    MessageBoxA(g_window, line.c_str(), kFailureTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
#endif
    return 1;
}

// After the first frame: a scene with faces that lights less than 1% of the picture was made at
// another scale; one line on standard error names the render tool's view that frames it. The
// frame, the log and the exit status stay as they are.
void tell_small_scene_once() {
    if (g_coverage_told) return;
    g_coverage_told = true;
    const bool has_faces = std::any_of(g_scene->meshes.begin(), g_scene->meshes.end(),
                                       [](const MeshObject& mesh) { return !mesh.faces.empty(); });
    const int64_t covered = covered_pixels(g_demo.frame_buffer);
    if (has_faces && covers_too_little(covered, g_demo.width, g_demo.height))
        std::fprintf(stderr, "kalvorant: warning: %s\n", small_scene_hint(covered).c_str());
}

// One timer tick: draw the frame, then show it if the display will take it. A lock that fails
// (or a display that never came up) just leaves this frame unshown.
void run_frame() {
    demo_frame(g_demo);
    tell_small_scene_once();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    if (display_lock(&pixels, &pitch) == 0) return;
    demo_copy_frame(g_demo, pixels, pitch);
    display_present();
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wparam == VK_ESCAPE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_TIMER:
        run_frame();
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

void register_window_class(HINSTANCE instance) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = window_procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, IDI_APPLICATION);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = kClassName;
    window_class.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    RegisterClassExA(&window_class);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    register_window_class(instance);
    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_DLGFRAME, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    // Without a window there is no display to show anything on, nor any keyboard to end the
    // program with.
    if (window == nullptr)
        return start_up_failure("cannot create the program window: no display available");
    g_window = window;
    ShowWindow(window, show_command);
    UpdateWindow(window);
    ShowCursor(FALSE);
    g_cursor_hidden = true;

    // The platform-free start-up steps are the demo's own; the program loads the scene between
    // building the camera and preparing the scene, as the steps are documented.
    demo_build_camera(g_demo);

    std::string error;
    g_scene = load_scene(kSceneFile, error);
    if (!g_scene)
        return start_up_failure(std::string("cannot load \"") + kSceneFile + "\": " + error);

    const DemoStartFailure failure = demo_prepare_scene(g_demo, *g_scene);
    if (failure != DemoStartFailure::none)
        return start_up_failure(demo_start_failure_text(failure));

    SetTimer(window, kFrameTimer, kFramePeriodMs, nullptr);
    display_init(window, kWidth, kHeight); // a failed set-up leaves frames unshown, see run_frame

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    display_release();
    std::vector<std::uint32_t>().swap(g_demo.frame_buffer);
    ShowCursor(TRUE);
    return static_cast<int>(msg.wParam);
}
