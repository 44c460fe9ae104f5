// ddraw_api.h - the subset of DirectDraw 7 that the display device uses.
//
// On Windows this is <ddraw.h> itself. Elsewhere it declares stand-ins with the same names,
// record layouts, constants, result codes and method signatures, so display/display.cpp
// compiles unchanged on both. Two implementations of these declarations exist on Linux: the
// SDL2 one in platform/sdl/ (library kalv_platform_sdl) and a recording one in the tests; the
// choice is made at link time.
//
// Conventions, as in DirectDraw: every method but Release returns an HRESULT, DD_OK (0) for
// success or one of the DDERR_* codes below; Release returns the remaining reference count.
// Surfaces are 32-bit 0x00RRGGBB pixels in rows lPitch bytes apart, top row first. A
// DDSURFACEDESC2 must carry dwSize = sizeof(DDSURFACEDESC2) (124 bytes on 32-bit Windows,
// 136 where pointers are 8 bytes). Interfaces are owned by reference count; the stand-in
// never returns DDERR_WASSTILLDRAWING.
#pragma once

#include "platform/win32_api.h"

#ifdef _WIN32
#include <ddraw.h>
#else

#include <cstdint>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const IID&;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// {15E65EC0-3B9C-11D2-B92F-00609797EA5B}
inline constexpr GUID IID_IDirectDraw7 = {
    0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

struct IUnknown; // only ever passed as "no outer object"

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
    };
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    union {
        DWORD dwCaps4;
        DWORD dwVolumeDepth;
    };
};
using LPDDSCAPS2 = DDSCAPS2*;

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;

// Cooperative level
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x00000002;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x00000004;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
constexpr DWORD DDSCL_ALLOWMODEX = 0x00000040;

// SetDisplayMode
constexpr DWORD DDSDM_STANDARDVGAMODE = 0x00000001;

// DDSURFACEDESC2::dwFlags
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

// DDSCAPS2::dwCaps
constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_OVERLAY = 0x00000080;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_TEXTURE = 0x00001000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x00002000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDSCAPS_VISIBLE = 0x00008000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x00020000;
constexpr DWORD DDSCAPS_MIPMAP = 0x00400000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_HWCODEC = 0x00100000;

// DDPIXELFORMAT::dwFlags
constexpr DWORD DDPF_RGB = 0x00000040;

// Lock
constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x00000000;
constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDLOCK_EVENT = 0x00000002;
constexpr DWORD DDLOCK_READONLY = 0x00000010;
constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x00000800;

// BltFast
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x00000000;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x00000001;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x00000002;
constexpr DWORD DDBLTFAST_WAIT = 0x00000010;
constexpr DWORD DDBLTFAST_DONOTWAIT = 0x00000020;

// Flip
constexpr DWORD DDFLIP_WAIT = 0x00000001;
constexpr DWORD DDFLIP_NOVSYNC = 0x00000008;
constexpr DWORD DDFLIP_DONOTWAIT = 0x00000020;

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88760005u);
constexpr HRESULT DDERR_CANNOTATTACHSURFACE = static_cast<HRESULT>(0x8876000Au);
constexpr HRESULT DDERR_CANNOTDETACHSURFACE = static_cast<HRESULT>(0x88760014u);
constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = static_cast<HRESULT>(0x88760028u);
constexpr HRESULT DDERR_EXCEPTION = static_cast<HRESULT>(0x88760037u);
constexpr HRESULT DDERR_HEIGHTALIGN = static_cast<HRESULT>(0x8876005Au);
constexpr HRESULT DDERR_INCOMPATIBLEPRIMARY = static_cast<HRESULT>(0x8876005Fu);
constexpr HRESULT DDERR_INVALIDCAPS = static_cast<HRESULT>(0x88760064u);
constexpr HRESULT DDERR_INVALIDCLIPLIST = static_cast<HRESULT>(0x8876006Eu);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT DDERR_LOCKEDSURFACES = static_cast<HRESULT>(0x887600A0u);
constexpr HRESULT DDERR_NO3D = static_cast<HRESULT>(0x887600AAu);
constexpr HRESULT DDERR_NOALPHAHW = static_cast<HRESULT>(0x887600B4u);
constexpr HRESULT DDERR_NOCLIPLIST = static_cast<HRESULT>(0x887600CDu);
constexpr HRESULT DDERR_NOCOLORCONVHW = static_cast<HRESULT>(0x887600D2u);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = static_cast<HRESULT>(0x887600D4u);
constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7u);
constexpr HRESULT DDERR_NOCOLORKEYHW = static_cast<HRESULT>(0x887600DCu);
constexpr HRESULT DDERR_NODIRECTDRAWSUPPORT = static_cast<HRESULT>(0x887600DEu);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT DDERR_NOFLIPHW = static_cast<HRESULT>(0x887600E6u);
constexpr HRESULT DDERR_NOGDI = static_cast<HRESULT>(0x887600F0u);
constexpr HRESULT DDERR_NOMIRRORHW = static_cast<HRESULT>(0x887600FAu);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x88760104u);
constexpr HRESULT DDERR_NORASTEROPHW = static_cast<HRESULT>(0x88760118u);
constexpr HRESULT DDERR_NOROTATIONHW = static_cast<HRESULT>(0x88760122u);
constexpr HRESULT DDERR_NOSTRETCHHW = static_cast<HRESULT>(0x88760136u);
constexpr HRESULT DDERR_NOT4BITCOLOR = static_cast<HRESULT>(0x8876013Cu);
constexpr HRESULT DDERR_NOT4BITCOLORINDEX = static_cast<HRESULT>(0x8876013Du);
constexpr HRESULT DDERR_NOT8BITCOLOR = static_cast<HRESULT>(0x88760140u);
constexpr HRESULT DDERR_NOTEXTUREHW = static_cast<HRESULT>(0x8876014Au);
constexpr HRESULT DDERR_NOVSYNCHW = static_cast<HRESULT>(0x8876014Fu);
constexpr HRESULT DDERR_NOZBUFFERHW = static_cast<HRESULT>(0x88760154u);
constexpr HRESULT DDERR_NOZOVERLAYHW = static_cast<HRESULT>(0x8876015Eu);
constexpr HRESULT DDERR_OUTOFCAPS = static_cast<HRESULT>(0x88760168u);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT DDERR_OVERLAYCANTCLIP = static_cast<HRESULT>(0x8876017Eu);
constexpr HRESULT DDERR_OVERLAYCOLORKEYONLYONEACTIVE = static_cast<HRESULT>(0x88760180u);
constexpr HRESULT DDERR_PALETTEBUSY = static_cast<HRESULT>(0x88760183u);
constexpr HRESULT DDERR_COLORKEYNOTSET = static_cast<HRESULT>(0x88760190u);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = static_cast<HRESULT>(0x8876019Au);
constexpr HRESULT DDERR_SURFACEALREADYDEPENDENT = static_cast<HRESULT>(0x887601A4u);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_CANTLOCKSURFACE = static_cast<HRESULT>(0x887601B3u);
constexpr HRESULT DDERR_SURFACEISOBSCURED = static_cast<HRESULT>(0x887601B8u);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_SURFACENOTATTACHED = static_cast<HRESULT>(0x887601CCu);
constexpr HRESULT DDERR_TOOBIGHEIGHT = static_cast<HRESULT>(0x887601D6u);
constexpr HRESULT DDERR_TOOBIGSIZE = static_cast<HRESULT>(0x887601E0u);
constexpr HRESULT DDERR_TOOBIGWIDTH = static_cast<HRESULT>(0x887601EAu);
constexpr HRESULT DDERR_UNSUPPORTEDFORMAT = static_cast<HRESULT>(0x887601FEu);
constexpr HRESULT DDERR_UNSUPPORTEDMASK = static_cast<HRESULT>(0x88760208u);
constexpr HRESULT DDERR_VERTICALBLANKINPROGRESS = static_cast<HRESULT>(0x88760219u);
constexpr HRESULT DDERR_WASSTILLDRAWING = static_cast<HRESULT>(0x8876021Cu);
constexpr HRESULT DDERR_XALIGN = static_cast<HRESULT>(0x88760230u);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = static_cast<HRESULT>(0x88760231u);
constexpr HRESULT DDERR_DIRECTDRAWALREADYCREATED = static_cast<HRESULT>(0x88760232u);
constexpr HRESULT DDERR_NODIRECTDRAWHW = static_cast<HRESULT>(0x88760233u);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
constexpr HRESULT DDERR_NOEMULATION = static_cast<HRESULT>(0x88760235u);
constexpr HRESULT DDERR_REGIONTOOSMALL = static_cast<HRESULT>(0x88760236u);
constexpr HRESULT DDERR_CLIPPERISUSINGHWND = static_cast<HRESULT>(0x88760237u);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = static_cast<HRESULT>(0x88760238u);
constexpr HRESULT DDERR_NOHWND = static_cast<HRESULT>(0x88760239u);
constexpr HRESULT DDERR_HWNDSUBCLASSED = static_cast<HRESULT>(0x8876023Au);
constexpr HRESULT DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023Bu);
constexpr HRESULT DDERR_NOPALETTEATTACHED = static_cast<HRESULT>(0x8876023Cu);
constexpr HRESULT DDERR_NOPALETTEHW = static_cast<HRESULT>(0x8876023Du);
constexpr HRESULT DDERR_BLTFASTCANTCLIP = static_cast<HRESULT>(0x8876023Eu);
constexpr HRESULT DDERR_NOBLTHW = static_cast<HRESULT>(0x8876023Fu);
constexpr HRESULT DDERR_NODDROPSHW = static_cast<HRESULT>(0x88760240u);
constexpr HRESULT DDERR_OVERLAYNOTVISIBLE = static_cast<HRESULT>(0x88760241u);
constexpr HRESULT DDERR_NOOVERLAYDEST = static_cast<HRESULT>(0x88760242u);
constexpr HRESULT DDERR_INVALIDPOSITION = static_cast<HRESULT>(0x88760243u);
constexpr HRESULT DDERR_NOTAOVERLAYSURFACE = static_cast<HRESULT>(0x88760244u);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x88760246u);
constexpr HRESULT DDERR_CANTDUPLICATE = static_cast<HRESULT>(0x88760247u);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x88760249u);
constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x8876024Au);
constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
constexpr HRESULT DDERR_IMPLICITLYCREATED = static_cast<HRESULT>(0x8876024Cu);
constexpr HRESULT DDERR_NOTPALETTIZED = static_cast<HRESULT>(0x8876024Du);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = static_cast<HRESULT>(0x8876024Eu);
constexpr HRESULT DDERR_NOMIPMAPHW = static_cast<HRESULT>(0x8876024Fu);
constexpr HRESULT DDERR_INVALIDSURFACETYPE = static_cast<HRESULT>(0x88760250u);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026Cu);
constexpr HRESULT DDERR_CANTPAGELOCK = static_cast<HRESULT>(0x88760280u);
constexpr HRESULT DDERR_NOTPAGELOCKED = static_cast<HRESULT>(0x887602A8u);

struct IDirectDrawSurface7;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;

struct IDirectDrawSurface7 {
    virtual ULONG Release() = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT source_rect,
                            DWORD flags) = 0;
    virtual HRESULT Flip(LPDIRECTDRAWSURFACE7 target_override, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* attached) = 0;
    virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT Unlock(LPRECT rect) = 0;

  protected:
    ~IDirectDrawSurface7() = default; // only Release ends a surface
};

struct IDirectDraw7 {
    virtual ULONG Release() = 0;
    virtual HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface,
                                  IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits_per_pixel,
                                   DWORD refresh_rate, DWORD flags) = 0;

  protected:
    ~IDirectDraw7() = default;
};
using LPDIRECTDRAW7 = IDirectDraw7*;

// Creates the DirectDraw 7 object. guid must be null (the active display driver), iid must be
// IID_IDirectDraw7 and outer null; *object receives an IDirectDraw7*.
HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* object, REFIID iid, IUnknown* outer);

#endif

// DirectDraw refuses a record whose dwSize is not the one it was built with, and the device
// fills dwSize with sizeof. Checked after both branches, so the Windows builds measure the real
// <ddraw.h> as compiled here (packing and all) and the stand-in is held to the same layout.
static_assert(sizeof(DDSURFACEDESC2) == (sizeof(void*) == 4 ? 124 : 136),
              "DDSURFACEDESC2 must have the size DirectDraw expects: 124 bytes for 32-bit "
              "programs, 136 for 64-bit ones");
