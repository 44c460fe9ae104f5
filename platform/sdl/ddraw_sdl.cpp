// The DirectDraw 7 stand-in over SDL2. Every surface is a plain buffer of 32-bit 0x00RRGGBB
// pixels; the primary flipping chain is two such buffers, and Flip shows the new front buffer
// through a streaming texture on the window, scaled to the size the renderer really has with
// square pixels and nearest-neighbour filtering.
#include "platform/ddraw_api.h"
#include "platform/sdl/full_screen.h"
#include "platform/sdl/sdl_platform.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kMaximumSide = 8192;
constexpr DWORD kBytesPerPixel = 4;
constexpr DWORD kKnownCooperativeFlags = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT |
                                         DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL | DDSCL_EXCLUSIVE |
                                         DDSCL_ALLOWMODEX;
constexpr DWORD kMemoryCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
constexpr DWORD kPrimaryRequestCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                      DDSCAPS_HWCODEC | kMemoryCaps | DDSCAPS_VISIBLE;
constexpr DWORD kOffscreenRequestCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_HWCODEC | kMemoryCaps;
constexpr DWORD kKnownLockFlags =
    DDLOCK_WAIT | DDLOCK_READONLY | DDLOCK_WRITEONLY | DDLOCK_NOSYSLOCK;
constexpr DWORD kKnownBltFastFlags = DDBLTFAST_WAIT | DDBLTFAST_DONOTWAIT;
constexpr DWORD kKnownFlipFlags = DDFLIP_WAIT | DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT;

struct Device;

struct Surface final : IDirectDrawSurface7 {
    Device* device; // null once the DirectDraw object is gone
    DWORD caps;
    DWORD width;
    DWORD height;
    std::vector<std::uint32_t> pixels;
    ULONG references = 1;
    bool locked = false;
    bool lost = false;
    Surface* back = nullptr;  // a primary's back buffer, owned by the primary
    Surface* front = nullptr; // a back buffer's primary

    Surface(Device* owner, DWORD surface_caps, DWORD w, DWORD h)
        : device(owner), caps(surface_caps), width(w), height(h),
          pixels(static_cast<std::size_t>(w) * h, 0u) {}
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface();

    LONG pitch() const { return static_cast<LONG>(width * kBytesPerPixel); }

    ULONG Release() override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT source_rect,
                    DWORD flags) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE7 target_override, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
    HRESULT Restore() override;
    HRESULT Unlock(LPRECT rect) override;

    HRESULT present();
    bool fits_mode() const;
};

struct Device final : IDirectDraw7 {
    ULONG references = 1;
    HWND window = nullptr;
    DWORD cooperative_flags = 0;
    DWORD mode_width = 0;
    DWORD mode_height = 0;
    Surface* primary = nullptr;
    std::vector<Surface*> surfaces; // every live surface made by this object

    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool exclusive() const { return (cooperative_flags & DDSCL_EXCLUSIVE) != 0; }

    ULONG Release() override;
    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface,
                          IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits_per_pixel, DWORD refresh_rate,
                           DWORD flags) override;

    HRESULT create_primary(const DDSURFACEDESC2& desc, Surface** made);
    HRESULT create_offscreen(const DDSURFACEDESC2& desc, Surface** made);
    HRESULT prepare_presentation();
};

// Only one DirectDraw object at a time may hold a window exclusively, as on Windows.
Device* g_exclusive_owner = nullptr;

void forget_surface(Surface* surface) {
    if (surface->device == nullptr) return;
    auto& list = surface->device->surfaces;
    list.erase(std::remove(list.begin(), list.end(), surface), list.end());
    if (surface->device->primary == surface) surface->device->primary = nullptr;
}

Surface::~Surface() {
    forget_surface(this);
    delete back;
}

ULONG Surface::Release() {
    if (references > 1) return --references;
    if (front != nullptr) return 0; // a back buffer lives and dies with its primary
    delete this;
    return 0;
}

bool valid_rect(const RECT& rect, DWORD width, DWORD height) {
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           static_cast<DWORD>(rect.right) <= width && static_cast<DWORD>(rect.bottom) <= height;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source_interface,
                         LPRECT source_rect, DWORD flags) {
    if (source_interface == nullptr) return DDERR_INVALIDPARAMS;
    if ((flags & (DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY)) != 0) return DDERR_NOCOLORKEY;
    if ((flags & ~kKnownBltFastFlags) != 0) return DDERR_INVALIDPARAMS;
    auto* source = static_cast<Surface*>(source_interface);
    if (lost || source->lost) return DDERR_SURFACELOST;
    if (locked || source->locked) return DDERR_SURFACEBUSY;

    RECT area{0, 0, static_cast<LONG>(source->width), static_cast<LONG>(source->height)};
    if (source_rect != nullptr) area = *source_rect;
    if (!valid_rect(area, source->width, source->height)) return DDERR_INVALIDRECT;
    auto columns = static_cast<DWORD>(area.right - area.left);
    auto rows = static_cast<DWORD>(area.bottom - area.top);
    if (x > width || y > height || columns > width - x || rows > height - y)
        return DDERR_INVALIDRECT;

    // Through a copy when blitting within one surface, so overlapping areas come out right.
    std::vector<std::uint32_t> copy;
    const std::vector<std::uint32_t>* from = &source->pixels;
    if (source == this) {
        copy = pixels;
        from = &copy;
    }
    for (DWORD row = 0; row < rows; ++row) {
        const std::uint32_t* in =
            from->data() +
            static_cast<std::size_t>(area.top + static_cast<LONG>(row)) * source->width +
            static_cast<std::size_t>(area.left);
        std::uint32_t* out =
            pixels.data() + static_cast<std::size_t>(y + row) * width + static_cast<std::size_t>(x);
        std::memcpy(out, in, columns * kBytesPerPixel);
    }
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE7 target_override, DWORD flags) {
    if (back == nullptr) return DDERR_NOTFLIPPABLE;
    if (target_override != nullptr && target_override != back) return DDERR_INVALIDPARAMS;
    if ((flags & ~kKnownFlipFlags) != 0) return DDERR_INVALIDPARAMS;
    if (lost || back->lost) return DDERR_SURFACELOST;
    if (locked || back->locked) return DDERR_SURFACEBUSY;
    std::swap(pixels, back->pixels);
    return present();
}

bool Surface::fits_mode() const {
    return device != nullptr && width == device->mode_width && height == device->mode_height;
}

HRESULT Surface::present() {
    if (device == nullptr || !window_alive(device->window) || device->window->texture == nullptr)
        return DDERR_SURFACELOST;
    if (!fits_mode()) return DDERR_WRONGMODE; // the texture has the mode's size
    HWND window = device->window;
    // Asked every frame: the window system may still resize the window after start-up, and
    // what the renderer draws into is what ends up on the screen.
    int output_width = 0;
    int output_height = 0;
    if (SDL_GetRendererOutputSize(window->renderer, &output_width, &output_height) != 0)
        return DDERR_GENERIC;
    SDL_Rect area = picture_area(static_cast<int>(width), static_cast<int>(height), output_width,
                                 output_height);
    if (SDL_UpdateTexture(window->texture, nullptr, pixels.data(), pitch()) != 0 ||
        SDL_SetRenderDrawColor(window->renderer, 0, 0, 0, 255) != 0 ||
        SDL_RenderClear(window->renderer) != 0 ||
        SDL_RenderCopy(window->renderer, window->texture, nullptr, &area) != 0)
        return DDERR_GENERIC;
    SDL_RenderPresent(window->renderer);
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS2 wanted, LPDIRECTDRAWSURFACE7* attached) {
    if (wanted == nullptr || attached == nullptr) return DDERR_INVALIDPARAMS;
    *attached = nullptr;
    if (back == nullptr || wanted->dwCaps == 0 || (wanted->dwCaps & ~back->caps) != 0)
        return DDERR_NOTFOUND;
    ++back->references;
    *attached = back;
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2) || event != nullptr ||
        (flags & ~kKnownLockFlags) != 0)
        return DDERR_INVALIDPARAMS;
    if (rect != nullptr && !valid_rect(*rect, width, height)) return DDERR_INVALIDRECT;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;

    std::size_t first = 0;
    if (rect != nullptr)
        first = static_cast<std::size_t>(rect->top) * width + static_cast<std::size_t>(rect->left);
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof(DDSURFACEDESC2);
    desc->dwFlags =
        DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc->dwWidth = width;
    desc->dwHeight = height;
    desc->lPitch = pitch();
    desc->lpSurface = pixels.data() + first;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = 32;
    desc->ddpfPixelFormat.dwRBitMask = 0x00FF0000;
    desc->ddpfPixelFormat.dwGBitMask = 0x0000FF00;
    desc->ddpfPixelFormat.dwBBitMask = 0x000000FF;
    desc->ddsCaps.dwCaps = caps;
    locked = true;
    return DD_OK;
}

HRESULT Surface::Restore() {
    if (device == nullptr) return DDERR_WRONGMODE;
    // A flipping chain is made for one display mode: after a change to another size its
    // buffers no longer match the screen, so it stays lost, as on Windows.
    if ((caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_BACKBUFFER)) != 0 && !fits_mode())
        return DDERR_WRONGMODE;
    lost = false;
    if (back != nullptr) back->lost = false;
    return DD_OK;
}

HRESULT Surface::Unlock(LPRECT) {
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

ULONG Device::Release() {
    if (references > 1) return --references;
    for (Surface* surface : surfaces)
        surface->device = nullptr; // they outlive us, orphaned
    surfaces.clear();
    if (g_exclusive_owner == this) {
        g_exclusive_owner = nullptr;
        if (window_alive(window)) {
            window_drop_presentation(window);
            SDL_SetWindowFullscreen(window->sdl_window, 0);
        }
    }
    delete this;
    return 0;
}

HRESULT Device::SetCooperativeLevel(HWND target, DWORD flags) {
    if ((flags & ~kKnownCooperativeFlags) != 0) return DDERR_INVALIDPARAMS;
    bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    bool full_screen = (flags & DDSCL_FULLSCREEN) != 0;
    bool normal = (flags & DDSCL_NORMAL) != 0;
    if (exclusive != full_screen || exclusive == normal) return DDERR_INVALIDPARAMS;
    if (exclusive && !window_alive(target)) return DDERR_INVALIDPARAMS;
    if (exclusive && g_exclusive_owner != nullptr && g_exclusive_owner != this)
        return DDERR_EXCLUSIVEMODEALREADYSET;
    if (!exclusive && g_exclusive_owner == this) {
        g_exclusive_owner = nullptr;
        window_drop_presentation(window);
    }
    window = target;
    cooperative_flags = flags;
    if (exclusive) g_exclusive_owner = this;
    return DD_OK;
}

HRESULT Device::prepare_presentation() {
    window_drop_presentation(window);
    // The renderer comes first: making an OpenGL renderer may recreate the window at its
    // earlier place and size, undoing a move made before it.
    SDL_Renderer* renderer = SDL_CreateRenderer(window->sdl_window, -1, 0);
    if (renderer == nullptr)
        renderer = SDL_CreateRenderer(window->sdl_window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer == nullptr) return DDERR_NODIRECTDRAWHW;
    window->renderer = renderer;
    // A window that cannot be made to cover the screen still shows the whole picture, scaled
    // into the area it has.
    cover_display(window->sdl_window);
    window->texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                          static_cast<int>(mode_width), static_cast<int>(mode_height));
    if (window->texture == nullptr ||
        SDL_SetTextureScaleMode(window->texture, SDL_ScaleModeNearest) != 0) {
        window_drop_presentation(window);
        return DDERR_OUTOFVIDEOMEMORY;
    }
    return DD_OK;
}

HRESULT Device::SetDisplayMode(DWORD width, DWORD height, DWORD bits_per_pixel, DWORD,
                               DWORD flags) {
    if (cooperative_flags == 0) return DDERR_NOCOOPERATIVELEVELSET;
    if (!exclusive()) return DDERR_NOEXCLUSIVEMODE;
    if ((flags & ~DDSDM_STANDARDVGAMODE) != 0) return DDERR_INVALIDPARAMS;
    if (bits_per_pixel != 32 || width == 0 || height == 0 || width > kMaximumSide ||
        height > kMaximumSide)
        return DDERR_INVALIDMODE;
    if (!window_alive(window)) return DDERR_NOHWND;
    // A mode change takes every surface's memory away, as on Windows.
    for (Surface* surface : surfaces)
        surface->lost = true;
    mode_width = width;
    mode_height = height;
    return prepare_presentation();
}

HRESULT Device::create_primary(const DDSURFACEDESC2& desc, Surface** made) {
    if (!exclusive() || mode_width == 0) return DDERR_NOEXCLUSIVEMODE;
    if (primary != nullptr) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    DWORD caps = desc.ddsCaps.dwCaps;
    if ((caps & ~kPrimaryRequestCaps) != 0) return DDERR_INVALIDCAPS;
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) != 0)
        return DDERR_INVALIDPARAMS; // the primary always takes the display mode's
    bool flipping = (caps & DDSCAPS_FLIP) != 0;
    DWORD back_buffers = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) != 0 ? desc.dwBackBufferCount : 0;
    if (flipping != (back_buffers != 0)) return DDERR_INVALIDPARAMS;
    if (flipping && (caps & DDSCAPS_COMPLEX) == 0) return DDERR_INVALIDCAPS;
    if (back_buffers > 1) return DDERR_UNSUPPORTED; // one back buffer is all the chain has

    auto* front =
        new Surface(this, caps | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE, mode_width, mode_height);
    if (flipping) {
        DWORD back_caps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE)) | DDSCAPS_BACKBUFFER;
        front->back = new Surface(this, back_caps, mode_width, mode_height);
        front->back->front = front;
        surfaces.push_back(front->back);
    }
    surfaces.push_back(front);
    primary = front;
    *made = front;
    return DD_OK;
}

HRESULT Device::create_offscreen(const DDSURFACEDESC2& desc, Surface** made) {
    if ((desc.ddsCaps.dwCaps & ~kOffscreenRequestCaps) != 0) return DDERR_INVALIDCAPS;
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) ||
        desc.dwWidth == 0 || desc.dwHeight == 0)
        return DDERR_INVALIDPARAMS;
    if (desc.dwWidth > kMaximumSide || desc.dwHeight > kMaximumSide) return DDERR_TOOBIGSIZE;
    if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0 && ((desc.ddpfPixelFormat.dwFlags & DDPF_RGB) == 0 ||
                                                   desc.ddpfPixelFormat.dwRGBBitCount != 32))
        return DDERR_INVALIDPIXELFORMAT;
    auto* surface = new Surface(this, desc.ddsCaps.dwCaps, desc.dwWidth, desc.dwHeight);
    surfaces.push_back(surface);
    *made = surface;
    return DD_OK;
}

HRESULT Device::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface,
                              IUnknown* outer) {
    if (surface == nullptr) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    if (desc == nullptr || outer != nullptr || desc->dwSize != sizeof(DDSURFACEDESC2))
        return DDERR_INVALIDPARAMS;
    if (cooperative_flags == 0) return DDERR_NOCOOPERATIVELEVELSET;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) != 0 ? desc->ddsCaps.dwCaps : 0;
    Surface* made = nullptr;
    HRESULT result = DD_OK;
    try {
        if ((caps & DDSCAPS_PRIMARYSURFACE) != 0)
            result = create_primary(*desc, &made);
        else
            result = create_offscreen(*desc, &made);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    if (result == DD_OK) *surface = made;
    return result;
}

} // namespace

HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* object, REFIID iid, IUnknown* outer) {
    if (object == nullptr) return DDERR_INVALIDPARAMS;
    *object = nullptr;
    if (guid != nullptr) return DDERR_INVALIDDIRECTDRAWGUID;
    if (!(iid == IID_IDirectDraw7) || outer != nullptr) return DDERR_INVALIDPARAMS;
    if (!sdl_video_ready()) return DDERR_NODIRECTDRAWHW;
    *object = static_cast<IDirectDraw7*>(new (std::nothrow) Device);
    return *object != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
}
