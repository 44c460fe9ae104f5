// The process entry of the SDL stand-in: Windows starts a GUI program at WinMain, so this
// main() does the same and then lets the platform layer release what it still holds.
#include "platform/sdl/sdl_session.h"
#include "platform/win32_api.h"

struct HINSTANCE__ {
    int unused;
};

namespace {
HINSTANCE__ g_instance{};
char g_command_line[] = "";
} // namespace

int main() {
    int exit_code = WinMain(&g_instance, nullptr, g_command_line, SW_SHOWDEFAULT);
    platform_shutdown();
    return exit_code;
}
