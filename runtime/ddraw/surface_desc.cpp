#include "runtime/ddraw/surface_desc.h"

#include <cstring>

namespace vrel::ddraw {
namespace {

// Memory placement hints are accepted and ignored: every surface lives in CPU memory.
constexpr DWORD kMemoryCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY;

HRESULT CheckCaps(DWORD caps, bool primary) {
    const DWORD kind = primary ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN;
    if ((caps & ~(kind | kMemoryCaps)) != 0 || (caps & kMemoryCaps) == kMemoryCaps) {
        return DDERR_INVALIDCAPS;
    }
    return DD_OK;
}

HRESULT ParsePrimary(const DDSURFACEDESC& desc, DWORD caps, SurfaceRequest* request) {
    // The primary is the screen: its size and format come from the display mode.
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (HRESULT hr = CheckCaps(caps, true); FAILED(hr)) {
        return hr;
    }
    *request = {true, 0, 0, DDSCAPS_PRIMARYSURFACE};
    return DD_OK;
}

bool ValidSide(DWORD side) {
    return side >= 1 && side <= kMaxSurfaceSide;
}

HRESULT ParseOffscreen(const DDSURFACEDESC& desc, DWORD caps, SurfaceRequest* request) {
    constexpr DWORD kSize = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc.dwFlags & kSize) != kSize || !ValidSide(desc.dwWidth) || !ValidSide(desc.dwHeight)) {
        return DDERR_INVALIDPARAMS;
    }
    if (HRESULT hr = CheckCaps(caps, false); FAILED(hr)) {
        return hr;
    }
    if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0 &&
        !SamePixelFormat(desc.ddpfPixelFormat, XrgbPixelFormat())) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    *request = {false, static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY};
    return DD_OK;
}

}  // namespace

DDPIXELFORMAT XrgbPixelFormat() {
    return {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
}

bool SamePixelFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    return a.dwSize == b.dwSize && a.dwFlags == b.dwFlags && a.dwFourCC == b.dwFourCC &&
           a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask &&
           a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask &&
           a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask;
}

HRESULT ParseSurfaceRequest(const DDSURFACEDESC& desc, SurfaceRequest* request) {
    if (desc.dwSize != sizeof(DDSURFACEDESC) || (desc.dwFlags & DDSD_LPSURFACE) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    // Without DDSD_CAPS the caps are zero, which asks for a plain offscreen surface.
    const DWORD caps = (desc.dwFlags & DDSD_CAPS) != 0 ? desc.ddsCaps.dwCaps : 0;
    if ((caps & DDSCAPS_PRIMARYSURFACE) != 0) {
        return ParsePrimary(desc, caps, request);
    }
    return ParseOffscreen(desc, caps, request);
}

void DescribeSurface(const PixelBuffer& pixels, DWORD caps, DDSURFACEDESC* desc) {
    const DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof(DDSURFACEDESC));
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(pixels.width);
    desc->dwHeight = static_cast<DWORD>(pixels.height);
    desc->lPitch = static_cast<LONG>(pixels.pitch * sizeof(uint32_t));
    desc->ddsCaps.dwCaps = caps;
    desc->ddpfPixelFormat = XrgbPixelFormat();
}

}  // namespace vrel::ddraw
