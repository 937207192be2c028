#include "runtime/ddraw/surface.h"

#include <new>

#include "runtime/common/rect.h"
#include "runtime/ddraw/direct_draw.h"
#include "runtime/screen/screen.h"

namespace vrel::ddraw {

Surface::Surface(DirectDraw* owner, const SurfaceRequest& request)
    : owner_(owner),
      primary_(request.primary),
      caps_(request.caps),
      width_(request.width),
      height_(request.height),
      storage_(static_cast<size_t>(request.width) * static_cast<size_t>(request.height)) {
    owner_->AddRef();
}

Surface::~Surface() {
    DropDC();
    if (primary_) {
        owner_->PrimaryGone(this);
    }
    owner_->Release();
}

HRESULT Surface::Create(DirectDraw* owner, const SurfaceRequest& request, Surface** out) {
    try {
        *out = new Surface(owner, request);
        return DD_OK;
    } catch (const std::bad_alloc&) {
        *out = nullptr;
        return DDERR_OUTOFMEMORY;
    }
}

com::ComPtr<Surface> Surface::FromInterface(IDirectDrawSurface* surface) {
    void* own = nullptr;
    if (surface == nullptr || FAILED(surface->QueryInterface(kImplIid, &own))) {
        return {};
    }
    return com::ComPtr<Surface>(static_cast<Surface*>(static_cast<IDirectDrawSurface*>(own)));
}

bool Surface::RunWhileIdle(const std::function<void()>& action) {
    std::lock_guard lock(mutex_);
    if (locked_ || dc_ != nullptr) {
        return false;
    }
    action();
    return true;
}

PixelBuffer Surface::Pixels() {
    if (primary_) {
        return screen::Screen::Get().Framebuffer();
    }
    return {storage_.data(), width_, height_, width_};
}

void Surface::PresentIfPrimary() const {
    if (primary_) {
        screen::Screen::Get().Present();
    }
}

HRESULT Surface::GetCaps(LPDDSCAPS caps) {
    if (caps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    caps->dwCaps = caps_;
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (format == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *format = XrgbPixelFormat();
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    DescribeSurface(Pixels(), caps_, desc);
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD /*flags*/, HANDLE /*event*/) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    std::lock_guard lock(mutex_);
    if (locked_ || dc_ != nullptr) {
        return DDERR_SURFACEBUSY;
    }
    const PixelBuffer pixels = Pixels();
    const RECT area = rect != nullptr ? *rect : pixels.Bounds();
    if (IsEmptyRect(area) || !RectContains(pixels.Bounds(), area)) {
        return DDERR_INVALIDPARAMS;
    }
    DescribeSurface(pixels, caps_, desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = pixels.Row(area.top) + area.left;
    locked_ = true;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID /*surfaceData*/) {
    std::lock_guard lock(mutex_);
    if (!locked_) {
        return DDERR_NOTLOCKED;
    }
    locked_ = false;
    PresentIfPrimary();
    return DD_OK;
}

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
    com::ComPtr<Clipper> own = Clipper::FromInterface(clipper);
    if (clipper != nullptr && !own) {
        return DDERR_INVALIDOBJECT;
    }
    std::lock_guard lock(mutex_);
    clipper_ = std::move(own);
    return DD_OK;
}

HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper) {
    if (clipper == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    std::lock_guard lock(mutex_);
    if (!clipper_) {
        *clipper = nullptr;
        return DDERR_NOCLIPPERATTACHED;
    }
    clipper_->AddRef();
    *clipper = clipper_.Get();
    return DD_OK;
}

}  // namespace vrel::ddraw
