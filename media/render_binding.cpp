#include "media/render_binding.h"

#include "app/app_state.h"

namespace {

HRESULT FailBinding() {
    MessageBoxA(g_app.mainWindow, "Initialization failure in InitRenderToSurface", "Error", MB_OK);
    return E_FAIL;
}

}  // namespace

HRESULT InitRenderToSurface() {
    if (g_app.mmStream == nullptr ||
        FAILED(g_app.mmStream->GetMediaStream(MSPID_PrimaryVideo, &g_app.videoStream))) {
        return FailBinding();
    }
    if (FAILED(g_app.videoStream->QueryInterface(IID_IDirectDrawMediaStream,
                                                 reinterpret_cast<void**>(&g_app.ddStream)))) {
        return FailBinding();
    }
    DDSURFACEDESC format = {};
    format.dwSize = sizeof(DDSURFACEDESC);
    if (FAILED(g_app.ddStream->GetFormat(&format, nullptr, nullptr, nullptr))) {
        return FailBinding();  // movieRect keeps what it held
    }
    // Frames land unscaled at the top-left; the blit stretches them to the window.
    g_app.movieRect = {0, 0, static_cast<LONG>(format.dwWidth), static_cast<LONG>(format.dwHeight)};
    if (FAILED(g_app.ddStream->CreateSample(g_app.offscreenSurface, &g_app.movieRect, 0,
                                            &g_app.sample))) {
        return FailBinding();
    }
    return S_OK;
}
