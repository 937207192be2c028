#include "app/shutdown.h"

#include "app/app_state.h"

void Shutdown() {
    // Stream objects first (releasing a running stream stops it), DirectDraw last.
    ReleaseInterface(g_app.mmStream);
    ReleaseInterface(g_app.sample);
    ReleaseInterface(g_app.ddStream);
    ReleaseInterface(g_app.videoStream);
    ReleaseInterface(g_app.ddFactory);
    ReleaseInterface(g_app.primarySurface);
    ReleaseInterface(g_app.offscreenSurface);
    ReleaseInterface(g_app.clipper);
    ReleaseInterface(g_app.directDraw3);
    ReleaseInterface(g_app.directDraw);

    // The surface device contexts it was selected into are long given back.
    if (g_app.overlayFont != nullptr) {
        DeleteObject(g_app.overlayFont);
        g_app.overlayFont = nullptr;
    }

    PostQuitMessage(0);

    if (g_app.comInitialised) {
        CoUninitialize();
        g_app.comInitialised = 0;
    }
}
