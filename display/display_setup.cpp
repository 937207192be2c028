#include "display/display_setup.h"

#include "app/app_state.h"

namespace {

constexpr DWORD DISPLAY_WIDTH = 640;
constexpr DWORD DISPLAY_HEIGHT = 480;
constexpr DWORD DISPLAY_BITS_PER_PIXEL = 32;

HRESULT FailSetup(const char* text) {
    MessageBoxA(g_app.mainWindow, text, "Error", MB_OK);
    return E_FAIL;
}

HRESULT CreateDirectDrawObjects() {
    if (FAILED(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDirectDrawFactory,
                                reinterpret_cast<void**>(&g_app.ddFactory)))) {
        return FailSetup("Couldn't create DirectDrawFactory");
    }
    if (FAILED(g_app.ddFactory->CreateDirectDraw(nullptr, GetDesktopWindow(), DDSCL_NORMAL, 0,
                                                 nullptr, &g_app.directDraw))) {
        return FailSetup("Couldn't create DirectDraw object");
    }
    if (FAILED(g_app.directDraw->QueryInterface(IID_IDirectDraw3,
                                                reinterpret_cast<void**>(&g_app.directDraw3)))) {
        return FailSetup("Couldn't get IDirectDraw3");
    }
    // Any success code other than DD_OK means the mode may not be in force.
    if (g_app.directDraw->SetDisplayMode(DISPLAY_WIDTH, DISPLAY_HEIGHT, DISPLAY_BITS_PER_PIXEL) !=
        DD_OK) {
        return FailSetup("Couldn't set display mode");
    }
    return S_OK;
}

// The offscreen surface takes the primary's size and pixel format as the mode change left
// them, so every blit copies between identical formats.
HRESULT CreateSurfaces() {
    DDSURFACEDESC primaryDesc = {};
    primaryDesc.dwSize = sizeof(DDSURFACEDESC);
    primaryDesc.dwFlags = DDSD_CAPS;
    primaryDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(g_app.directDraw3->CreateSurface(&primaryDesc, &g_app.primarySurface, nullptr))) {
        return FailSetup("Couldn't create Primary Surface");
    }
    if (FAILED(g_app.primarySurface->GetSurfaceDesc(&primaryDesc))) {
        return FailSetup("Couldn't GetSurfaceDesc");
    }
    DDSURFACEDESC offscreenDesc = {};
    offscreenDesc.dwSize = sizeof(DDSURFACEDESC);
    offscreenDesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    offscreenDesc.dwHeight = primaryDesc.dwHeight;
    offscreenDesc.dwWidth = primaryDesc.dwWidth;
    offscreenDesc.ddpfPixelFormat = primaryDesc.ddpfPixelFormat;
    offscreenDesc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (FAILED(
            g_app.directDraw3->CreateSurface(&offscreenDesc, &g_app.offscreenSurface, nullptr))) {
        return FailSetup("Couldn't create Offscreen Surface");
    }
    return S_OK;
}

HRESULT AttachClipper() {
    if (FAILED(g_app.directDraw3->CreateClipper(0, &g_app.clipper, nullptr))) {
        return FailSetup("Couldn't create Clipper");
    }
    if (FAILED(g_app.primarySurface->SetClipper(g_app.clipper))) {
        return FailSetup("Call to SetClipper failed");
    }
    if (FAILED(g_app.clipper->SetHWnd(0, g_app.mainWindow))) {
        return FailSetup("Call to SetHWnd failed");
    }
    return S_OK;
}

}  // namespace

HRESULT InitDirectDraw() {
    // Also serves the stream objects made later on this thread; teardown undoes it.
    if (SUCCEEDED(CoInitialize(nullptr))) {
        g_app.comInitialised = 1;
    }
    if (FAILED(CreateDirectDrawObjects()) || FAILED(CreateSurfaces()) || FAILED(AttachClipper())) {
        return E_FAIL;
    }
    return S_OK;
}
