// A surface's device context: GDI drawing straight into its pixels (the screen's, for the
// primary), one context at a time.
#include "runtime/ddraw/surface.h"
#include "runtime/gdi/gdi_runtime.h"

namespace vrel::ddraw {

HRESULT Surface::GetDC(HDC* dc) {
    if (dc == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    std::lock_guard lock(mutex_);
    if (dc_ != nullptr) {
        return DDERR_DCALREADYCREATED;
    }
    if (locked_) {
        return DDERR_SURFACEBUSY;
    }
    const PixelBuffer pixels = Pixels();
    dc_ = gdi::CreateDeviceContext(pixels, POINT{0, 0}, pixels.Bounds());
    if (dc_ == nullptr) {
        return DDERR_CANTCREATEDC;
    }
    *dc = dc_;
    return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
    std::lock_guard lock(mutex_);
    if (dc_ == nullptr) {
        return DDERR_NODC;
    }
    if (dc != dc_) {
        return DDERR_INVALIDPARAMS;
    }
    gdi::DeleteDeviceContext(dc_);
    dc_ = nullptr;
    PresentIfPrimary();
    return DD_OK;
}

void Surface::DropDC() {
    if (dc_ != nullptr) {
        gdi::DeleteDeviceContext(dc_);
        dc_ = nullptr;
    }
}

}  // namespace vrel::ddraw
