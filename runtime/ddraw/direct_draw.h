// The DirectDraw object: one object answering as IDirectDraw and IDirectDraw3 (two
// vtables, one reference count). Makes surfaces and clippers and sets the display mode.
#pragma once

#include <array>
#include <mutex>

#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::ddraw {

class Surface;

// True for the levels we accept: DDSCL_NORMAL, or DDSCL_FULLSCREEN with DDSCL_EXCLUSIVE.
bool ValidCooperativeLevel(DWORD level);

class DirectDraw final : public com::Object<DirectDraw, IDirectDraw, IDirectDraw3> {
  public:
    // One reference for the caller, as IDirectDraw; DDERR_OUTOFMEMORY.
    static HRESULT Create(IDirectDraw** out);

    // Called by the primary surface as it dies, so another one may be made.
    void PrimaryGone(const Surface* surface);

    // Flags must be 0; a clipper without a window.
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper,
                                            IUnknown* outer) override;
    // The primary (one at a time: DDERR_PRIMARYSURFACEALREADYEXISTS) or an offscreen
    // surface; errors as ParseSurfaceRequest reports them.
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                            IUnknown* outer) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC desc) override;
    // Checks the level; every level behaves the same on the virtual screen.
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    // DDERR_INVALIDMODE for anything but 32 bits and sides of 1 to 4096; DDERR_SURFACEBUSY
    // while the primary is locked or has a DC out.
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp,
                                             DWORD refreshRate, DWORD flags) override;

    // Not needed by the intro.
    HRESULT STDMETHODCALLTYPE Compact() override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                                            IUnknown*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID,
                                               LPDDENUMMODESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID,
                                           LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD, LPDWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(WINBOOL*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS, LPDWORD, LPDWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC, LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }

  private:
    friend Object;
    // One IUnknown, shared by both interfaces.
    std::array<com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IDirectDraw, static_cast<IDirectDraw*>(this)},
                 {&IID_IDirectDraw3, static_cast<IDirectDraw3*>(this)}}};
    }
    DirectDraw() = default;
    ~DirectDraw() = default;

    HRESULT CreatePrimary(LPDIRECTDRAWSURFACE* out);

    std::mutex mutex_;            // guards the members below
    Surface* primary_ = nullptr;  // the live primary, not owned (it owns a reference to us)
};

}  // namespace vrel::ddraw
