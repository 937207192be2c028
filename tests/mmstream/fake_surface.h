// A DirectDraw surface double: its own pixels in any pixel format, a description that can be
// made to fail, and counts of Lock and Unlock. Answers E_NOTIMPL for everything else.
#pragma once

#include <cstdint>
#include <vector>

#include "common/surface_double_base.h"
#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::mmstream::testing {

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue);

class FakeSurface final : public vrel::test::SurfaceDoubleBase {
  public:
    FakeSurface(int width, int height, const DDPIXELFORMAT& format);

    HRESULT describeResult = DD_OK;  // what GetSurfaceDesc answers
    HRESULT lockResult = DD_OK;      // what Lock answers
    int locks = 0;
    int unlocks = 0;
    std::vector<uint8_t> pixels;
    int pitch;  // bytes

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT STDMETHODCALLTYPE IsLost() override { return DD_OK; }
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags,
                                   HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID) override;

  private:
    ~FakeSurface();

    vrel::com::RefCount refs_;
    int width_;
    int height_;
    DDPIXELFORMAT format_;
};

}  // namespace vrel::mmstream::testing
