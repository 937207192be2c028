#include "runtime/ddraw/direct_draw.h"

#include <new>

#include "runtime/ddraw/clipper.h"
#include "runtime/ddraw/surface.h"
#include "runtime/ddraw/surface_desc.h"
#include "runtime/screen/screen.h"

namespace vrel::ddraw {
namespace {

// The virtual screen's limits (see Screen::SetMode).
constexpr DWORD kMaxModeSide = 4096;

bool ValidMode(DWORD width, DWORD height, DWORD bpp) {
    return bpp == 32 && width >= 1 && height >= 1 && width <= kMaxModeSide &&
           height <= kMaxModeSide;
}

}  // namespace

bool ValidCooperativeLevel(DWORD level) {
    const bool normal = (level & DDSCL_NORMAL) != 0;
    const bool fullscreen = (level & DDSCL_FULLSCREEN) != 0;
    const bool exclusive = (level & DDSCL_EXCLUSIVE) != 0;
    return normal ? !fullscreen && !exclusive : fullscreen && exclusive;
}

HRESULT DirectDraw::Create(IDirectDraw** out) {
    auto* created = new (std::nothrow) DirectDraw;
    *out = created;
    return created != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
}

void DirectDraw::PrimaryGone(const Surface* surface) {
    std::lock_guard lock(mutex_);
    if (primary_ == surface) {
        primary_ = nullptr;
    }
}

HRESULT DirectDraw::CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
    if (clipper == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *clipper = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (flags != 0) {
        return DDERR_INVALIDPARAMS;
    }
    return Clipper::Create(clipper);
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) {
    if (surface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *surface = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (desc == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    SurfaceRequest request;
    if (HRESULT hr = ParseSurfaceRequest(*desc, &request); FAILED(hr)) {
        return hr;
    }
    if (request.primary) {
        return CreatePrimary(surface);
    }
    Surface* created = nullptr;
    HRESULT hr = Surface::Create(this, request, &created);
    *surface = created;
    return hr;
}

HRESULT DirectDraw::CreatePrimary(LPDIRECTDRAWSURFACE* out) {
    std::lock_guard lock(mutex_);
    if (primary_ != nullptr) {
        return DDERR_PRIMARYSURFACEALREADYEXISTS;
    }
    SurfaceRequest request;
    request.primary = true;
    request.caps = DDSCAPS_PRIMARYSURFACE;
    HRESULT hr = Surface::Create(this, request, &primary_);
    *out = primary_;
    return hr;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    DescribeSurface(screen::Screen::Get().Framebuffer(), 0, desc);
    desc->dwFlags &= ~DDSD_CAPS;
    return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND /*window*/, DWORD flags) {
    return ValidCooperativeLevel(flags) ? DD_OK : DDERR_INVALIDPARAMS;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bpp) {
    if (!ValidMode(width, height, bpp)) {
        return DDERR_INVALIDMODE;
    }
    std::lock_guard lock(mutex_);
    bool changed = false;
    auto change = [&] {
        changed = screen::Screen::Get().SetMode(static_cast<int>(width), static_cast<int>(height),
                                                static_cast<int>(bpp));
    };
    // The framebuffer is replaced: nobody may be holding the old one's pixels.
    if (primary_ == nullptr) {
        change();
    } else if (!primary_->RunWhileIdle(change)) {
        return DDERR_SURFACEBUSY;
    }
    return changed ? DD_OK : DDERR_UNSUPPORTEDMODE;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD /*refreshRate*/,
                                   DWORD flags) {
    // The refresh rate is the real display's business; no flag is known to us.
    if (flags != 0) {
        return DDERR_INVALIDPARAMS;
    }
    return SetDisplayMode(width, height, bpp);
}

}  // namespace vrel::ddraw
