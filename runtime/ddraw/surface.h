// A DirectDraw surface in CPU memory: the primary (the virtual screen's framebuffer, at
// whatever size the display mode has now) or an offscreen surface with pixels of its own.
#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/ddraw.h"
#include "runtime/com/unknown.h"
#include "runtime/common/pixel_buffer.h"
#include "runtime/ddraw/blitter.h"
#include "runtime/ddraw/clipper.h"
#include "runtime/ddraw/surface_desc.h"

namespace vrel::ddraw {

class DirectDraw;

class Surface final : public com::Object<Surface, IDirectDrawSurface> {
  public:
    // Answers QueryInterface only on surfaces made here, so a pointer can be recognised.
    static constexpr IID kImplIid = {
        0x7a3c1e52, 0x2f0b, 0x4d8e, {0x9a, 0x41, 0x6c, 0x0d, 0x15, 0x8e, 0x72, 0x02}};

    // A new surface holding a reference to its DirectDraw object; one reference for the
    // caller. DDERR_OUTOFMEMORY when its pixels cannot be allocated.
    static HRESULT Create(DirectDraw* owner, const SurfaceRequest& request, Surface** out);
    // The surface behind `surface` with a new reference, or null when it is not one of ours.
    static com::ComPtr<Surface> FromInterface(IDirectDrawSurface* surface);

    // Runs `action` while nobody holds the pixels (no Lock, no DC, no blit in progress) and
    // returns true; false, without running it, while they are held.
    bool RunWhileIdle(const std::function<void()>& action);

    // Stretching copy or colour fill; see platform/ddraw.h. Defined in surface_blt.cpp.
    HRESULT STDMETHODCALLTYPE Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT srcRect,
                                  DWORD flags, LPDDBLTFX fx) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS caps) override;
    // DDERR_NOCLIPPERATTACHED when none.
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
    // DDERR_DCALREADYCREATED while one is out, DDERR_SURFACEBUSY while locked.
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override { return DD_OK; }  // memory is never lost
    // One lock at a time (DDERR_SURFACEBUSY); the rectangle must lie inside the surface.
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    // DDERR_NODC when no DC is out, DDERR_INVALIDPARAMS for another DC. The primary presents.
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
    HRESULT STDMETHODCALLTYPE Restore() override { return DD_OK; }
    // Holds a reference to the clipper; null detaches it.
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
    // DDERR_NOTLOCKED when not locked. The primary presents.
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID surfaceData) override;

    // Not needed by the intro: attachments, flipping, overlays, colour keys, palettes.
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD, LPDDCOLORKEY) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD, LPDDCOLORKEY) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD,
                                            LPDDOVERLAYFX) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE) override {
        return DDERR_UNSUPPORTED;
    }

  private:
    friend Object;
    std::array<com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IDirectDrawSurface, this}, {&kImplIid, this}}};
    }
    Surface(DirectDraw* owner, const SurfaceRequest& request);
    ~Surface();
    void DropDC();  // the destructor's: deletes a context still out

    // The pixels now: the framebuffer for the primary, the surface's own otherwise.
    PixelBuffer Pixels();
    void PresentIfPrimary() const;

    // Blit helpers (surface_blt.cpp). Those named *Locked expect mutex_ held.
    HRESULT BltFromOwn(Surface& source, const RECT* destRect, const RECT* srcRect);
    HRESULT BltFromForeign(IDirectDrawSurface* source, const RECT* destRect, const RECT* srcRect);
    HRESULT StretchLocked(const PixelBuffer& from, const RECT* destRect, const RECT* srcRect);
    HRESULT ColorFill(const RECT* destRect, const DDBLTFX* fx);
    void CollectClipsLocked(const RECT& bounds);

    DirectDraw* const owner_;  // one reference, given back in the destructor
    const bool primary_;
    const DWORD caps_;
    const int width_;  // offscreen only
    const int height_;
    std::vector<uint32_t> storage_;  // offscreen pixels, width_ x height_

    std::mutex mutex_;  // guards everything below, and the pixels during a blit
    bool locked_ = false;
    HDC dc_ = nullptr;  // the context GetDC handed out (surface_dc.cpp)
    com::ComPtr<Clipper> clipper_;
    BlitScratch scratch_;
};

}  // namespace vrel::ddraw
