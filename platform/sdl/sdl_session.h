// sdl_session.h - the end of the SDL stand-ins' process-wide state.
//
// platform_shutdown destroys every window (without sending messages), forgets window classes,
// timers and queued messages, and shuts SDL down. The stand-in's main() calls it after WinMain
// returns; tests call it between cases to start from nothing. Safe to call repeatedly.
#pragma once

void platform_shutdown();
