// IDirectDrawSurface::Blt: checks, clipping and presentation around the software blitter.
#include "runtime/common/rect.h"
#include "runtime/common/trace.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/ddraw/surface.h"

namespace vrel::ddraw {
namespace {

// Timing hints mean nothing to a synchronous blitter; any other flag asks for an effect
// we do not draw.
constexpr DWORD kBltAsync = 0x00000200;
constexpr DWORD kBltDoNotWait = 0x08000000;
constexpr DWORD kAcceptedBltFlags = DDBLT_WAIT | DDBLT_COLORFILL | kBltAsync | kBltDoNotWait;

// The pixels a foreign surface handed out through Lock; empty when they make no sense.
PixelBuffer ViewOfLocked(const DDSURFACEDESC& desc) {
    const bool sane = desc.lpSurface != nullptr && desc.dwWidth >= 1 &&
                      desc.dwWidth <= kMaxSurfaceSide && desc.dwHeight >= 1 &&
                      desc.dwHeight <= kMaxSurfaceSide && desc.lPitch % 4 == 0 &&
                      desc.lPitch >= static_cast<LONG>(desc.dwWidth * 4);
    if (!sane) {
        return {};
    }
    return {static_cast<uint32_t*>(desc.lpSurface), static_cast<int>(desc.dwWidth),
            static_cast<int>(desc.dwHeight), desc.lPitch / 4};
}

}  // namespace

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT srcRect, DWORD flags,
                     LPDDBLTFX fx) {
    if ((flags & ~kAcceptedBltFlags) != 0) {
        return DDERR_UNSUPPORTED;
    }
    if ((flags & DDBLT_COLORFILL) != 0) {
        return ColorFill(destRect, fx);
    }
    if (source == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (com::ComPtr<Surface> own = FromInterface(source)) {
        return BltFromOwn(*own.Get(), destRect, srcRect);
    }
    return BltFromForeign(source, destRect, srcRect);
}

HRESULT Surface::BltFromOwn(Surface& source, const RECT* destRect, const RECT* srcRect) {
    std::unique_lock mine(mutex_, std::defer_lock);
    std::unique_lock theirs(source.mutex_, std::defer_lock);
    if (&source == this) {
        mine.lock();
    } else {
        std::lock(mine, theirs);  // in either order without deadlock
    }
    if (locked_ || source.locked_) {
        return DDERR_SURFACEBUSY;
    }
    // Every surface made here is XRGB, so the formats always agree.
    return StretchLocked(source.Pixels(), destRect, srcRect);
}

// A surface from elsewhere (a test double, say) is read through its own Lock.
HRESULT Surface::BltFromForeign(IDirectDrawSurface* source, const RECT* destRect,
                                const RECT* srcRect) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(format);
    if (FAILED(source->GetPixelFormat(&format))) {
        return DDERR_INVALIDOBJECT;
    }
    if (!SamePixelFormat(format, XrgbPixelFormat())) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(source->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        return DDERR_SURFACEBUSY;
    }
    const PixelBuffer from = ViewOfLocked(desc);
    HRESULT hr = DDERR_INVALIDOBJECT;
    if (!from.Empty()) {
        std::lock_guard lock(mutex_);
        hr = locked_ ? DDERR_SURFACEBUSY : StretchLocked(from, destRect, srcRect);
    }
    source->Unlock(desc.lpSurface);
    return hr;
}

HRESULT Surface::StretchLocked(const PixelBuffer& from, const RECT* destRect, const RECT* srcRect) {
    const PixelBuffer to = Pixels();
    const StretchMap map{destRect != nullptr ? *destRect : to.Bounds(),
                         srcRect != nullptr ? *srcRect : from.Bounds()};
    if (IsEmptyRect(map.dst) || IsEmptyRect(map.src) || !RectContains(from.Bounds(), map.src)) {
        return DDERR_INVALIDRECT;
    }
    // Without a clipper the destination must fit; with one it is cut to what may be drawn.
    if (!clipper_ && !RectContains(to.Bounds(), map.dst)) {
        return DDERR_INVALIDRECT;
    }
    CollectClipsLocked(to.Bounds());
    if (scratch_.clips.empty()) {
        return DD_OK;  // fully clipped: nothing to draw or show
    }
    if (!StretchBlit(to, from, map, scratch_.clips, &scratch_)) {
        return DDERR_INVALIDRECT;
    }
    if (primary_) {
        Trace("blit");
    }
    PresentIfPrimary();
    return DD_OK;
}

HRESULT Surface::ColorFill(const RECT* destRect, const DDBLTFX* fx) {
    if (fx == nullptr || fx->dwSize != sizeof(DDBLTFX)) {
        return DDERR_INVALIDPARAMS;
    }
    std::lock_guard lock(mutex_);
    if (locked_) {
        return DDERR_SURFACEBUSY;
    }
    const PixelBuffer to = Pixels();
    const RECT area = destRect != nullptr ? *destRect : to.Bounds();
    if (IsEmptyRect(area) || (!clipper_ && !RectContains(to.Bounds(), area))) {
        return DDERR_INVALIDRECT;
    }
    CollectClipsLocked(to.Bounds());
    if (scratch_.clips.empty()) {
        return DD_OK;
    }
    FillRects(to, area, scratch_.clips, fx->dwFillColor);
    PresentIfPrimary();
    return DD_OK;
}

void Surface::CollectClipsLocked(const RECT& bounds) {
    if (clipper_) {
        clipper_->ClipList(bounds, &scratch_.clips);
    } else {
        scratch_.clips.assign(1, bounds);
    }
}

}  // namespace vrel::ddraw
