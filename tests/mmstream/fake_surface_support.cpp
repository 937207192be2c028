#include "fake_surface.h"

namespace vrel::mmstream::testing {

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    return format;
}

FakeSurface::FakeSurface(int width, int height, const DDPIXELFORMAT& format)
    : pitch(width * static_cast<int>(format.dwRGBBitCount / 8) + 16),  // rows padded on purpose
      width_(width),
      height_(height),
      format_(format) {
    pixels.assign(static_cast<size_t>(pitch) * height, 0xAB);
    vrel::com::LiveObjects::Created();
}

FakeSurface::~FakeSurface() {
    vrel::com::LiveObjects::Destroyed();
}

HRESULT FakeSurface::QueryInterface(REFIID iid, void** out) {
    return vrel::com::QueryFromTable({{&IID_IDirectDrawSurface, this}}, iid, out);
}

ULONG FakeSurface::Release() {
    ULONG left = refs_.Drop();
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT FakeSurface::GetPixelFormat(LPDDPIXELFORMAT format) {
    *format = format_;
    return DD_OK;
}

HRESULT FakeSurface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    if (FAILED(describeResult)) {
        return describeResult;
    }
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(width_);
    desc->dwHeight = static_cast<DWORD>(height_);
    desc->lPitch = pitch;
    desc->ddpfPixelFormat = format_;
    desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    return DD_OK;
}

HRESULT FakeSurface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD /*flags*/, HANDLE /*event*/) {
    if (rect != nullptr || FAILED(GetSurfaceDesc(desc))) {
        return DDERR_INVALIDPARAMS;
    }
    if (FAILED(lockResult)) {
        return lockResult;
    }
    ++locks;
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = pixels.data();
    return DD_OK;
}

HRESULT FakeSurface::Unlock(LPVOID) {
    ++unlocks;
    return DD_OK;
}

}  // namespace vrel::mmstream::testing
