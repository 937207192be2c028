// DirectDraw with the DirectDrawEx factory: the interfaces, structures, flags and result
// codes the intro and its stream use, in the platform's vtable order.
#pragma once

#include "com.h"

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;

// Structures only passed through (never filled by the intro) stay incomplete.
struct DDCAPS;
struct DDBLTFX;
struct DDBLTBATCH;
struct DDOVERLAYFX;
struct RGNDATA;
struct PALETTEENTRY;
using LPDDCAPS = DDCAPS*;
using LPDDBLTFX = DDBLTFX*;
using LPDDBLTBATCH = DDBLTBATCH*;
using LPDDOVERLAYFX = DDOVERLAYFX*;
using LPRGNDATA = RGNDATA*;
using LPPALETTEENTRY = PALETTEENTRY*;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};
using LPDDCOLORKEY = DDCOLORKEY*;

struct DDSCAPS {
    DWORD dwCaps;
};
using LPDDSCAPS = DDSCAPS*;

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

// 108 bytes with 32-bit pointers, 120 with 64-bit ones: always set dwSize with sizeof.
struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;  // bytes from one row to the next
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;  // the pixels while locked
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};
using LPDDSURFACEDESC = DDSURFACEDESC*;

static_assert(sizeof(DDCOLORKEY) == 8);
static_assert(sizeof(DDSCAPS) == 4);
static_assert(sizeof(DDPIXELFORMAT) == 32);
static_assert(sizeof(DDSURFACEDESC) == (sizeof(void*) == 4 ? 108 : 120),
              "the surface description matches the platform's layout");

using LPDDENUMMODESCALLBACK = HRESULT (*)(LPDDSURFACEDESC, LPVOID);
using LPDDENUMSURFACESCALLBACK = HRESULT (*)(LPDIRECTDRAWSURFACE, LPDDSURFACEDESC, LPVOID);
using LPDDENUMCALLBACKA = BOOL (*)(GUID*, LPSTR, LPSTR, LPVOID);

// ---- Result codes. ----
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_INVALIDCAPS = static_cast<HRESULT>(0x88760064);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091);
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096);
constexpr HRESULT DDERR_NOCLIPLIST = static_cast<HRESULT>(0x887600CD);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AE);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234);
constexpr HRESULT DDERR_CLIPPERISUSINGHWND = static_cast<HRESULT>(0x88760237);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = static_cast<HRESULT>(0x88760238);
constexpr HRESULT DDERR_NOHWND = static_cast<HRESULT>(0x88760239);
constexpr HRESULT DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023B);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x88760249);
constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x8876024A);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = static_cast<HRESULT>(0x8876024E);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026C);

// ---- Flags. ----
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_LPSURFACE = 0x00000800;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDPF_RGB = 0x00000040;
constexpr DWORD DDBLT_COLORFILL = 0x00000400;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDLOCK_WAIT = 0x00000001;
constexpr DWORD DDLOCK_READONLY = 0x00000010;
constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;

// ---- GUIDs. ----
inline constexpr CLSID CLSID_DirectDrawFactory = {
    0x4FD2A832, 0x86C8, 0x11D0, {0x8F, 0xCA, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawFactory = {
    0x4FD2A833, 0x86C8, 0x11D0, {0x8F, 0xCA, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDraw3 = {
    0x618F8AD4, 0x8B7A, 0x11D0, {0x8F, 0xCC, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawSurface = {
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDrawClipper = {
    0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDrawPalette = {
    0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

// ---- Interfaces. Methods the intro never calls may answer E_NOTIMPL. ----
struct IDirectDrawPalette : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDWORD caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEntries(DWORD flags, DWORD base, DWORD count,
                                                 LPPALETTEENTRY entries) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW dd, DWORD flags,
                                                 LPPALETTEENTRY table) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEntries(DWORD flags, DWORD start, DWORD count,
                                                 LPPALETTEENTRY entries) = 0;
};

// Clips blits to a window's visible region on the screen.
struct IDirectDrawClipper : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClipList(LPRECT rect, LPRGNDATA clipList,
                                                  LPDWORD size) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW dd, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL* changed) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA clipList, DWORD flags) = 0;
    // Clipping follows the window's visible area from now on.
    virtual HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) = 0;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE attached) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT rect) = 0;
    // Stretching copy (nearest neighbour) of srcRect of source into destRect of this
    // surface; a null rectangle means the whole surface. Clipped by an attached clipper.
    virtual HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source,
                                          LPRECT srcRect, DWORD flags, LPDDBLTFX fx) = 0;
    virtual HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH batch, DWORD count, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source,
                                              LPRECT srcRect, DWORD trans) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD flags,
                                                            LPDIRECTDRAWSURFACE attached) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context,
                                                           LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD flags, LPVOID context,
                                                         LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE target, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS caps,
                                                         LPDIRECTDRAWSURFACE* attached) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* clipper) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
    // A GDI device context drawing into the surface until ReleaseDC.
    virtual HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG x, LPLONG y) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE* palette) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) = 0;
    // Refuses a dwSize other than sizeof(DDSURFACEDESC).
    virtual HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW dd, LPDDSURFACEDESC desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLost() = 0;
    // Fills desc (lpSurface, lPitch, size, format) for direct access until Unlock.
    virtual HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                           HANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG x, LONG y) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE palette) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID surfaceData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT srcRect, LPDIRECTDRAWSURFACE dest,
                                                    LPRECT destRect, DWORD flags,
                                                    LPDDOVERLAYFX fx) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD flags,
                                                          LPDIRECTDRAWSURFACE reference) = 0;
};

// The first twenty methods of IDirectDraw and IDirectDraw3, in order; only SetDisplayMode's
// arguments differ between the two.
#define VREL_DIRECTDRAW_COMMON_METHODS                                                             \
    virtual HRESULT STDMETHODCALLTYPE Compact() = 0;                                               \
    virtual HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper,     \
                                                    IUnknown* outer) = 0;                          \
    virtual HRESULT STDMETHODCALLTYPE CreatePalette(                                               \
        DWORD flags, LPPALETTEENTRY table, LPDIRECTDRAWPALETTE* palette, IUnknown* outer) = 0;     \
    virtual HRESULT STDMETHODCALLTYPE CreateSurface(                                               \
        LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) = 0;                  \
    virtual HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE surface,                \
                                                       LPDIRECTDRAWSURFACE* duplicate) = 0;        \
    virtual HRESULT STDMETHODCALLTYPE EnumDisplayModes(                                            \
        DWORD flags, LPDDSURFACEDESC desc, LPVOID context, LPDDENUMMODESCALLBACK callback) = 0;    \
    virtual HRESULT STDMETHODCALLTYPE EnumSurfaces(                                                \
        DWORD flags, LPDDSURFACEDESC desc, LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0; \
    virtual HRESULT STDMETHODCALLTYPE FlipToGDISurface() = 0;                                      \
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS driverCaps, LPDDCAPS helCaps) = 0;          \
    virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) = 0;                    \
    virtual HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) = 0;            \
    virtual HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE* surface) = 0;             \
    virtual HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) = 0;                  \
    virtual HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD scanLine) = 0;                           \
    virtual HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL* inBlank) = 0;                \
    virtual HRESULT STDMETHODCALLTYPE Initialize(GUID* guid) = 0;                                  \
    virtual HRESULT STDMETHODCALLTYPE RestoreDisplayMode() = 0;                                    \
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) = 0;

struct IDirectDraw : IUnknown {
    VREL_DIRECTDRAW_COMMON_METHODS
    // DD_OK once the mode is in force; DDERR_INVALIDMODE/DDERR_UNSUPPORTEDMODE otherwise.
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
};

struct IDirectDraw3 : IUnknown {
    VREL_DIRECTDRAW_COMMON_METHODS
    virtual HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp,
                                                     DWORD refreshRate, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total,
                                                         LPDWORD free) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC dc, LPDIRECTDRAWSURFACE* surface) = 0;
};
#undef VREL_DIRECTDRAW_COMMON_METHODS

// The DirectDrawEx factory: makes DirectDraw objects for a device and window.
struct IDirectDrawFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateDirectDraw(GUID* device, HWND window, DWORD coopLevel,
                                                       DWORD reserved, IUnknown* outer,
                                                       IDirectDraw** directDraw) = 0;
    virtual HRESULT STDMETHODCALLTYPE DirectDrawEnumerate(LPDDENUMCALLBACKA callback,
                                                          LPVOID context) = 0;
};
