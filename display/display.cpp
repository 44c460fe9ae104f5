// The display device's process-wide state and its five operations. The object names are the
// ones the log lines show, so a log reads like the code that wrote it.
#include "display/display.h"

#include "display/log.h"

#include <cstring>
#include <initializer_list>

namespace {

IDirectDraw7* lpDD = nullptr;
IDirectDrawSurface7* lpDDSPrimary = nullptr;
IDirectDrawSurface7* lpDDSBack = nullptr; // belongs to the primary's chain, never released alone
IDirectDrawSurface7* lpDDSOne = nullptr;
IDirectDrawSurface7* lpDDSTwo = nullptr;
DDSURFACEDESC2 ddsd;
std::int32_t Width = 0;
std::int32_t Height = 0;
std::int32_t offscreen_toggle = 0; // 0: lpDDSTwo is current, otherwise lpDDSOne

// Set only when display_init went through every step: the frame operations rely on all five
// objects, and a part-way set-up leaves some of them missing.
bool device_ready = false;

constexpr DWORD kCooperativeFlags = DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FULLSCREEN;
constexpr DWORD kBitsPerPixel = 32;
constexpr DWORD kPrimaryFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
constexpr DWORD kPrimaryCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_HWCODEC;
constexpr DWORD kBackBufferCaps = DDSCAPS_BACKBUFFER | DDSCAPS_HWCODEC;
constexpr DWORD kOffscreenFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
constexpr DWORD kOffscreenCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_HWCODEC;

// Logs the outcome of one set-up call; true when the set-up must stop.
bool step_failed(HRESULT result) {
    if (result != DD_OK) {
        log_line(dd_error_text(static_cast<std::uint32_t>(result)));
        return true;
    }
    log_line("    OK");
    return false;
}

// The surface is only stored once created, so a failed step leaves its pointer null even if
// the platform scribbled into the out parameter.
HRESULT create_surface(IDirectDrawSurface7*& target) {
    IDirectDrawSurface7* created = nullptr;
    HRESULT result = lpDD->CreateSurface(&ddsd, &created, nullptr);
    if (result == DD_OK) target = created;
    return result;
}

HRESULT create_device() {
    void* created = nullptr;
    HRESULT result = DirectDrawCreateEx(nullptr, &created, IID_IDirectDraw7, nullptr);
    if (result == DD_OK) lpDD = static_cast<IDirectDraw7*>(created);
    return result;
}

HRESULT find_back_buffer() {
    DDSCAPS2 ddscaps;
    std::memset(&ddscaps, 0, sizeof ddscaps);
    ddscaps.dwCaps = kBackBufferCaps;
    IDirectDrawSurface7* found = nullptr;
    HRESULT result = lpDDSPrimary->GetAttachedSurface(&ddscaps, &found);
    if (result == DD_OK) lpDDSBack = found;
    return result;
}

HRESULT run_set_up(HWND window) {
    log_line("Debug - mode Inactive");

    log_line("DirectDrawCreateEx(NULL, &lpDD, IID_IDirectDraw7, NULL);");
    HRESULT result = create_device();
    if (step_failed(result)) return result;

    log_line("SetCooperativeLevel(EXCLUSIVE | ALLOWREBOOT | FULLSCREEN);");
    result = lpDD->SetCooperativeLevel(window, kCooperativeFlags);
    if (step_failed(result)) return result;

    log_line("SetDisplayMode(Width, Height, 32, 0, DDSDM_STANDARDVGAMODE);");
    result = lpDD->SetDisplayMode(static_cast<DWORD>(Width), static_cast<DWORD>(Height),
                                  kBitsPerPixel, 0, DDSDM_STANDARDVGAMODE);
    if (step_failed(result)) return result;

    std::memset(&ddsd, 0, sizeof ddsd);
    ddsd.dwSize = sizeof ddsd;
    ddsd.dwFlags = kPrimaryFlags;
    ddsd.ddsCaps.dwCaps = kPrimaryCaps;
    ddsd.dwBackBufferCount = 1;
    log_line("CreateSurface(&ddsd, &lpDDSPrimary, NULL);");
    result = create_surface(lpDDSPrimary);
    if (step_failed(result)) return result;

    log_line("GetAttachedSurface(&ddscaps, &lpDDSBack);");
    result = find_back_buffer();
    if (step_failed(result)) return result;

    // The record is deliberately not cleared: the back buffer count stays, unselected.
    log_line("Creating Offscreen surfaces");
    ddsd.dwFlags = kOffscreenFlags;
    ddsd.ddsCaps.dwCaps = kOffscreenCaps;
    ddsd.dwHeight = static_cast<DWORD>(Height);
    ddsd.dwWidth = static_cast<DWORD>(Width);

    log_line("CreateSurface(&ddsd, &lpDDSOne, NULL);");
    result = create_surface(lpDDSOne);
    if (step_failed(result)) return result;

    log_line("CreateSurface(&ddsd, &lpDDSTwo, NULL);");
    result = create_surface(lpDDSTwo);
    if (step_failed(result)) return result;
    return DD_OK;
}

// A locked surface is only handed out when the whole frame fits into it.
bool holds_frame(const DDSURFACEDESC2& desc) {
    if (desc.lpSurface == nullptr) return false;
    if (static_cast<std::ptrdiff_t>(desc.lPitch) < static_cast<std::ptrdiff_t>(Width) * 4)
        return false;
    if ((desc.dwFlags & DDSD_WIDTH) != 0 && desc.dwWidth < static_cast<DWORD>(Width)) return false;
    if ((desc.dwFlags & DDSD_HEIGHT) != 0 && desc.dwHeight < static_cast<DWORD>(Height))
        return false;
    return true;
}

// A busy surface is asked again at once; a lost one gets all surfaces restored and the call is
// given up for this frame; anything else ends the call.
template <typename Call> void call_with_retry(Call call) {
    for (;;) {
        HRESULT result = call();
        if (result == DDERR_WASSTILLDRAWING) continue;
        if (result == DDERR_SURFACELOST) display_restore_all();
        return;
    }
}

} // namespace

HRESULT display_init(HWND window, std::int32_t width, std::int32_t height) {
    device_ready = false;
    log_begin();
    Width = width;
    Height = height;
    HRESULT result = run_set_up(window);
    device_ready = result == DD_OK;
    return result;
}

int display_lock(void** pixels_out, std::ptrdiff_t* pitch_out) {
    if (!device_ready || pixels_out == nullptr || pitch_out == nullptr) return 0;
    ddsd.dwSize = sizeof ddsd;
    IDirectDrawSurface7* surface = offscreen_toggle != 0 ? lpDDSOne : lpDDSTwo;
    if (surface->Lock(nullptr, &ddsd, DDLOCK_SURFACEMEMORYPTR, nullptr) != DD_OK) return 0;
    if (ddsd.ddpfPixelFormat.dwRGBBitCount != kBitsPerPixel || !holds_frame(ddsd)) {
        surface->Unlock(nullptr);
        return 0;
    }
    *pixels_out = ddsd.lpSurface;
    *pitch_out = static_cast<std::ptrdiff_t>(ddsd.lPitch);
    return 1;
}

void display_present() {
    if (!device_ready) return;
    RECT source_rect;
    source_rect.left = 0;
    source_rect.top = 0;
    source_rect.right = Width;
    source_rect.bottom = Height;

    IDirectDrawSurface7* source = nullptr;
    if (offscreen_toggle != 0) {
        offscreen_toggle = 0;
        source = lpDDSOne;
    } else {
        offscreen_toggle = 1;
        source = lpDDSTwo;
    }
    source->Unlock(nullptr);

    call_with_retry(
        [&] { return lpDDSBack->BltFast(0, 0, source, &source_rect, DDBLTFAST_NOCOLORKEY); });
    call_with_retry([] { return lpDDSPrimary->Flip(nullptr, 0); });
}

HRESULT display_restore_all() {
    if (!device_ready) return DDERR_NOTINITIALIZED;
    HRESULT result = lpDDSPrimary->Restore();
    if (result != DD_OK) return result;
    result = lpDDSOne->Restore();
    if (result != DD_OK) return result;
    return lpDDSTwo->Restore();
}

void display_release() {
    device_ready = false;
    if (lpDD == nullptr) return;
    for (IDirectDrawSurface7** surface : {&lpDDSPrimary, &lpDDSOne, &lpDDSTwo}) {
        if (*surface != nullptr) {
            (*surface)->Release();
            *surface = nullptr;
        }
    }
    lpDD->Release();
    lpDD = nullptr;
}
