// A surface from outside the runtime (as a test double of another component would be): its
// own pixels and pixel format, reachable only through Lock/Unlock and GetPixelFormat.
#pragma once

#include <cstdint>
#include <vector>

#include "common/surface_double_base.h"
#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::ddraw::testing {

// Everything but Lock, Unlock and GetPixelFormat is of no use to a blit source.
class FakeSurface final : public test::SurfaceDoubleBase {
  public:
    FakeSurface(int width, int height, const DDPIXELFORMAT& format)
        : width_(width), height_(height), format_(format), pixels_(width * height) {
        com::LiveObjects::Created();
    }

    void Fill(uint32_t (*value)(int x, int y)) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                pixels_[y * width_ + x] = value(x, y);
            }
        }
    }
    int locks = 0;
    int unlocks = 0;

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
    HRESULT STDMETHODCALLTYPE Lock(LPRECT, LPDDSURFACEDESC desc, DWORD, HANDLE) override {
        ++locks;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE;
        desc->dwWidth = width_;
        desc->dwHeight = height_;
        desc->lPitch = width_ * 4;
        desc->lpSurface = pixels_.data();
        desc->ddpfPixelFormat = format_;
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
    std::vector<uint32_t> pixels_;
};

}  // namespace vrel::ddraw::testing
