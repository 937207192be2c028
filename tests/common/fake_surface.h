// The one surface double from outside the runtime: its own pixels (rows padded on purpose) in
// any pixel format, reachable only through GetSurfaceDesc, Lock/Unlock and GetPixelFormat; a
// description or lock that can be made to fail; counts of Lock and Unlock.
#pragma once

#include <cstdint>
#include <vector>

#include "common/surface_double_base.h"
#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::test {

inline DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    return format;
}

class FakeSurface final : public SurfaceDoubleBase {
  public:
    FakeSurface(int width, int height, const DDPIXELFORMAT& format)
        : pitch(width * static_cast<int>(format.dwRGBBitCount / 8) + 16),
          width_(width),
          height_(height),
          format_(format) {
        pixels.assign(static_cast<size_t>(pitch) * height, 0xAB);
        com::LiveObjects::Created();
    }

    HRESULT describeResult = DD_OK;  // what GetSurfaceDesc answers
    HRESULT lockResult = DD_OK;      // what Lock answers
    int locks = 0;
    int unlocks = 0;
    std::vector<uint8_t> pixels;
    int pitch;  // bytes

    template <typename Pixel>
    Pixel& At(int x, int y) {
        return reinterpret_cast<Pixel*>(pixels.data() + static_cast<size_t>(y) * pitch)[x];
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return com::QueryFromTable({{&IID_IDirectDrawSurface, this}}, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = refs_.Drop();
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override {
        *format = format_;
        return DD_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
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
    HRESULT STDMETHODCALLTYPE IsLost() override { return DD_OK; }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) override {
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
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override {
        ++unlocks;
        return DD_OK;
    }

  private:
    ~FakeSurface() { com::LiveObjects::Destroyed(); }
    com::RefCount refs_;
    int width_;
    int height_;
    DDPIXELFORMAT format_;
};

}  // namespace vrel::test
