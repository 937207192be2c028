#include "runtime/ddraw/clipper.h"

#include <new>

#include "runtime/ddraw/blitter.h"
#include "runtime/user/user_runtime.h"

namespace vrel::ddraw {

HRESULT Clipper::Create(IDirectDrawClipper** out) {
    *out = new (std::nothrow) Clipper;
    return *out != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
}

com::ComPtr<Clipper> Clipper::FromInterface(IDirectDrawClipper* clipper) {
    void* own = nullptr;
    if (clipper == nullptr || FAILED(clipper->QueryInterface(kImplIid, &own))) {
        return {};
    }
    return com::ComPtr<Clipper>(static_cast<Clipper*>(static_cast<IDirectDrawClipper*>(own)));
}

void Clipper::ClipList(const RECT& bounds, std::vector<RECT>* out) const {
    const HWND window = window_.load();
    RECT windowRect;
    if (window == nullptr || !user::GetScreenRect(window, &windowRect)) {
        out->assign(1, bounds);
        return;
    }
    // Kept per thread so the per-frame blit reuses the storage instead of allocating.
    thread_local std::vector<RECT> visible;
    thread_local std::vector<RECT> scratch;
    user::VisibleRegion(window, &visible, &scratch);
    ClipRegion(visible, bounds, out);
}

HRESULT Clipper::GetHWnd(HWND* window) {
    if (window == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *window = window_.load();
    return DD_OK;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window) {
    if (flags != 0) {
        return DDERR_INVALIDPARAMS;
    }
    RECT rect;
    if (window != nullptr && !user::GetScreenRect(window, &rect)) {
        return DDERR_INVALIDPARAMS;
    }
    window_.store(window);
    return DD_OK;
}

}  // namespace vrel::ddraw
