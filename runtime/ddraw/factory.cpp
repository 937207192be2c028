// The DirectDrawEx factory: the class CoCreateInstance makes for CLSID_DirectDrawFactory.
#include <array>
#include <new>

#include "runtime/com/unknown.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/ddraw/direct_draw.h"

namespace vrel::ddraw {
namespace {

class DirectDrawFactory final : public com::Object<DirectDrawFactory, IDirectDrawFactory> {
  public:
    // Only the default display exists (no device GUID); no aggregation.
    HRESULT STDMETHODCALLTYPE CreateDirectDraw(GUID* device, HWND /*window*/, DWORD coopLevel,
                                               DWORD reserved, IUnknown* outer,
                                               IDirectDraw** directDraw) override {
        if (directDraw == nullptr) {
            return DDERR_INVALIDPARAMS;
        }
        *directDraw = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        if (device != nullptr || reserved != 0 || !ValidCooperativeLevel(coopLevel)) {
            return DDERR_INVALIDPARAMS;
        }
        return DirectDraw::Create(directDraw);
    }

    HRESULT STDMETHODCALLTYPE DirectDrawEnumerate(LPDDENUMCALLBACKA, LPVOID) override {
        return DDERR_UNSUPPORTED;
    }

  private:
    friend Object;
    ~DirectDrawFactory() = default;
    std::array<com::InterfaceEntry, 1> Interfaces() { return {{{&IID_IDirectDrawFactory, this}}}; }
};

}  // namespace

HRESULT CreateDirectDrawFactory(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    auto* factory = new (std::nothrow) DirectDrawFactory;
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

}  // namespace vrel::ddraw
