#include "tests/recording_ddraw.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

DDrawRecording g_recording;
std::map<std::string, RecordingSurface*> g_live; // live surfaces by name

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIX64, value);
    return text;
}

HRESULT next_result(const std::string& key) {
    auto it = g_recording.scripted.find(key);
    if (it == g_recording.scripted.end() || it->second.empty()) return DD_OK;
    HRESULT result = it->second.front();
    it->second.pop_front();
    return result;
}

// Describes a surface request: the fields the device sets, and whether every other byte of
// the record is zero.
std::string describe(const DDSURFACEDESC2& desc) {
    DDSURFACEDESC2 rest;
    std::memcpy(&rest, &desc, sizeof rest);
    rest.dwSize = 0;
    rest.dwFlags = 0;
    rest.dwHeight = 0;
    rest.dwWidth = 0;
    rest.dwBackBufferCount = 0;
    rest.ddsCaps.dwCaps = 0;
    bool others_zero = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&rest);
    for (std::size_t i = 0; i < sizeof rest; ++i)
        if (bytes[i] != 0) others_zero = false;
    return "size=" + std::to_string(desc.dwSize) + " flags=" + hex(desc.dwFlags) +
           " caps=" + hex(desc.ddsCaps.dwCaps) +
           " backbuffers=" + std::to_string(desc.dwBackBufferCount) +
           " width=" + std::to_string(desc.dwWidth) + " height=" + std::to_string(desc.dwHeight) +
           (others_zero ? " rest=0" : " rest=set");
}

// Declared first in every call, so that it runs after everything else the call does.
struct CallEnd {
    std::size_t index = g_recording.calls.size(); // where this call's line will be
    CallEnd() = default;
    CallEnd(const CallEnd&) = delete;
    CallEnd& operator=(const CallEnd&) = delete;
    ~CallEnd() {
        if (g_recording.after_call && index < g_recording.calls.size())
            g_recording.after_call(g_recording.calls[index]);
    }
};

} // namespace

IDirectDrawSurface7* poison_surface();

struct RecordingSurface final : IDirectDrawSurface7 {
    std::string name;
    DWORD width = 0;
    DWORD height = 0;
    LONG pitch = 0;
    std::vector<unsigned char> pixels;
    bool locked = false;
    std::unique_ptr<RecordingSurface> attached; // a primary's back buffer
    ULONG references = 1;

    RecordingSurface(std::string surface_name, DWORD w, DWORD h) : name(std::move(surface_name)) {
        width = w;
        height = h;
        pitch = static_cast<LONG>(w * 4) + g_recording.extra_pitch;
        pixels.assign(static_cast<std::size_t>(pitch) * h, 0);
        g_live[name] = this;
    }
    ~RecordingSurface() {
        auto it = g_live.find(name);
        if (it != g_live.end() && it->second == this) g_live.erase(it);
    }
    RecordingSurface(const RecordingSurface&) = delete;
    RecordingSurface& operator=(const RecordingSurface&) = delete;

    HRESULT record(const std::string& method, const std::string& arguments) {
        g_recording.calls.push_back(name + "." + method + "(" + arguments + ")");
        return next_result(name + "." + method);
    }

    ULONG Release() override {
        CallEnd end;
        g_recording.calls.push_back(name + ".Release()");
        if (--references > 0) return references;
        --g_recording.live_surfaces;
        delete this;
        return 0;
    }

    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT rect,
                    DWORD flags) override {
        CallEnd end;
        std::string source_name =
            source != nullptr ? static_cast<RecordingSurface*>(source)->name : "null";
        std::string rect_text =
            rect != nullptr
                ? "{" + std::to_string(rect->left) + " " + std::to_string(rect->top) + " " +
                      std::to_string(rect->right) + " " + std::to_string(rect->bottom) + "}"
                : "null";
        return record("BltFast", std::to_string(x) + ", " + std::to_string(y) + ", " + source_name +
                                     ", " + rect_text + ", " + hex(flags));
    }

    HRESULT Flip(LPDIRECTDRAWSURFACE7 target, DWORD flags) override {
        CallEnd end;
        return record("Flip",
                      std::string(target != nullptr ? "target" : "null") + ", " + hex(flags));
    }

    HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* out) override {
        CallEnd end;
        HRESULT result =
            record("GetAttachedSurface", "caps=" + hex(caps->dwCaps) + " " + hex(caps->dwCaps2) +
                                             " " + hex(caps->dwCaps3) + " " + hex(caps->dwCaps4));
        if (result != DD_OK) {
            *out = poison_surface();
            return result;
        }
        if (!attached) attached = std::make_unique<RecordingSurface>("back", width, height);
        *out = attached.get();
        return DD_OK;
    }

    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override {
        CallEnd end;
        HRESULT result =
            record("Lock", std::string(rect != nullptr ? "rect" : "null") +
                               ", size=" + std::to_string(desc->dwSize) + ", " + hex(flags) + ", " +
                               (event != nullptr ? "event" : "null"));
        if (result != DD_OK) return result;
        if (desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof(DDSURFACEDESC2);
        desc->dwFlags =
            DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
        desc->dwWidth = width;
        desc->dwHeight = height;
        desc->lPitch = pitch;
        desc->lpSurface = pixels.data();
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc->ddpfPixelFormat.dwRGBBitCount = g_recording.bits_per_pixel;
        locked = true;
        return DD_OK;
    }

    HRESULT Restore() override {
        CallEnd end;
        return record("Restore", "");
    }

    HRESULT Unlock(LPRECT rect) override {
        CallEnd end;
        HRESULT result = record("Unlock", rect != nullptr ? "rect" : "null");
        if (result != DD_OK) return result;
        if (!locked) return DDERR_NOTLOCKED;
        locked = false;
        return DD_OK;
    }
};

namespace {

int g_offscreen_count = 0;

} // namespace

// Never released for real: whatever a confused device does to it, it stays valid.
IDirectDrawSurface7* poison_surface() {
    static RecordingSurface* poison = [] {
        auto* surface = new RecordingSurface("poison", 1, 1);
        surface->references = 1u << 30;
        return surface;
    }();
    return poison;
}

namespace {

struct RecordingDDraw final : IDirectDraw7 {
    ULONG references = 1;
    DWORD mode_width = 0;
    DWORD mode_height = 0;

    HRESULT record(const std::string& method, const std::string& arguments) {
        g_recording.calls.push_back("dd." + method + "(" + arguments + ")");
        return next_result("dd." + method);
    }

    ULONG Release() override {
        CallEnd end;
        g_recording.calls.push_back("dd.Release()");
        if (--references > 0) return references;
        --g_recording.live_devices;
        delete this;
        return 0;
    }

    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* out,
                          IUnknown* outer) override {
        CallEnd end;
        HRESULT result =
            record("CreateSurface", describe(*desc) + ", " + (outer != nullptr ? "outer" : "null"));
        if (result != DD_OK) {
            *out = poison_surface();
            return result;
        }
        RecordingSurface* surface = nullptr;
        if ((desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0)
            surface = new RecordingSurface("primary", mode_width, mode_height);
        else
            surface = new RecordingSurface(
                g_offscreen_count == 0   ? "one"
                : g_offscreen_count == 1 ? "two"
                                         : "three",
                g_recording.offscreen_width != 0 ? g_recording.offscreen_width : desc->dwWidth,
                g_recording.offscreen_height != 0 ? g_recording.offscreen_height : desc->dwHeight);
        if ((desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) == 0) ++g_offscreen_count;
        ++g_recording.live_surfaces;
        *out = surface;
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        CallEnd end;
        return record("SetCooperativeLevel",
                      hex(reinterpret_cast<std::uintptr_t>(window)) + ", " + hex(flags));
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh,
                           DWORD flags) override {
        CallEnd end;
        HRESULT result =
            record("SetDisplayMode", std::to_string(width) + ", " + std::to_string(height) + ", " +
                                         std::to_string(bits) + ", " + std::to_string(refresh) +
                                         ", " + hex(flags));
        if (result == DD_OK) {
            mode_width = width;
            mode_height = height;
        }
        return result;
    }
};

} // namespace

DDrawRecording& recording() {
    return g_recording;
}

void recording_reset() {
    int live_surfaces = g_recording.live_surfaces;
    int live_devices = g_recording.live_devices;
    g_recording = DDrawRecording{};
    g_recording.live_surfaces = live_surfaces;
    g_recording.live_devices = live_devices;
    g_offscreen_count = 0;
}

RecordingSurface* recording_surface(const std::string& name) {
    auto it = g_live.find(name);
    return it != g_live.end() ? it->second : nullptr;
}

RecordingSurfaceView recording_view(const std::string& name) {
    RecordingSurfaceView view;
    RecordingSurface* surface = recording_surface(name);
    if (surface == nullptr) return view;
    view.pixels = surface->pixels.data();
    view.pitch = surface->pitch;
    view.width = surface->width;
    view.height = surface->height;
    view.locked = surface->locked;
    return view;
}

HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* object, REFIID iid, IUnknown* outer) {
    CallEnd end;
    g_recording.calls.push_back(std::string("DirectDrawCreateEx(") +
                                (guid != nullptr ? "guid" : "null") + ", " +
                                (iid == IID_IDirectDraw7 ? "IID_IDirectDraw7" : "other iid") +
                                ", " + (outer != nullptr ? "outer" : "null") + ")");
    HRESULT result = next_result("DirectDrawCreateEx");
    if (result != DD_OK) {
        *object = nullptr;
        return result;
    }
    ++g_recording.live_devices;
    *object = static_cast<IDirectDraw7*>(new RecordingDDraw);
    return DD_OK;
}
