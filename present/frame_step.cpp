#include "present/frame_step.h"

#include "app/app_state.h"
#include "app/shutdown.h"

namespace {

constexpr const char OVERLAY_TEXT[] = "Kestrum ist doof";
constexpr int OVERLAY_X = 10;
constexpr int OVERLAY_Y = 10;
constexpr int OVERLAY_FONT_HEIGHT = 20;

// Made once and kept: a font per frame would be thousands of GDI objects per movie.
HFONT OverlayFont() {
    if (g_app.overlayFont == nullptr) {
        g_app.overlayFont = CreateFontA(OVERLAY_FONT_HEIGHT, 0, 0, 0, FW_DONTCARE, FALSE, FALSE,
                                        FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                        CLIP_DEFAULT_PRECIS, DRAFT_QUALITY, DEFAULT_PITCH, "Arial");
    }
    return g_app.overlayFont;
}

// The client area in screen coordinates: the blit's destination.
void UpdateScreenRect() {
    GetClientRect(g_app.mainWindow, &g_app.screenRect);
    POINT topLeft = {g_app.screenRect.left, g_app.screenRect.top};
    POINT bottomRight = {g_app.screenRect.right, g_app.screenRect.bottom};
    ClientToScreen(g_app.mainWindow, &topLeft);
    ClientToScreen(g_app.mainWindow, &bottomRight);
    g_app.screenRect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

// Draws the text in the next colour of the cycle and advances the cycle.
void DrawOverlay(HDC dc) {
    HGDIOBJ previousFont = SelectObject(dc, OverlayFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, g_app.colorTable[g_app.colorIndex]);
    g_app.colorIndex = (g_app.colorIndex + 1) % COLOR_TABLE_SIZE;
    TextOutA(dc, OVERLAY_X, OVERLAY_Y, OVERLAY_TEXT, lstrlenA(OVERLAY_TEXT));
    // The kept font must not stay selected into a context that goes away.
    if (previousFont != nullptr && previousFont != HGDI_ERROR) {
        SelectObject(dc, previousFont);
    }
}

void FailFrame(const char* text) {
    MessageBoxA(g_app.mainWindow, text, "Error", MB_OK);
    Shutdown();
}

}  // namespace

void RenderFrame() {
    if (g_app.sample == nullptr || g_app.mmStream == nullptr || g_app.offscreenSurface == nullptr ||
        g_app.primarySurface == nullptr) {
        return;  // torn down, or an open and bind is under way
    }
    // Blocks until the next frame is due: the loop's only pacing.
    HRESULT update = g_app.sample->Update(0, nullptr, nullptr, 0);
    if (update == MS_E_NOTRUNNING) {
        g_app.active = 0;  // paused or stopped, not finished: Start carries on
        return;
    }
    if (update != S_OK) {
        // The end of the movie: stop and quit, keeping every object for process exit.
        g_app.active = 0;
        g_app.mmStream->SetState(STREAMSTATE_STOP);
        PostQuitMessage(0);
        return;
    }
    UpdateScreenRect();
    HDC dc = nullptr;
    if (g_app.offscreenSurface->GetDC(&dc) != DD_OK) {
        FailFrame("getdc failed");
        return;
    }
    DrawOverlay(dc);
    g_app.offscreenSurface->ReleaseDC(dc);
    if (FAILED(g_app.primarySurface->Blt(&g_app.screenRect, g_app.offscreenSurface,
                                         &g_app.movieRect, DDBLT_WAIT, nullptr))) {
        FailFrame("Blt failed");
    }
}
