// Window device contexts: GDI drawing into the window's part of the screen.
#include "runtime/gdi/gdi_runtime.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/user_runtime.h"

HDC WINAPI GetDC(HWND window) {
    RECT rect{};
    if (window == nullptr) {
        window = GetDesktopWindow();
    }
    if (!vrel::user::GetScreenRect(window, &rect)) {
        return nullptr;
    }
    vrel::PixelBuffer fb = vrel::user::ScreenPixels();
    return vrel::gdi::CreateDeviceContext(fb, POINT{rect.left, rect.top}, rect);
}

int WINAPI ReleaseDC(HWND /*window*/, HDC dc) {
    if (!vrel::gdi::DeleteDeviceContext(dc)) {
        return 0;
    }
    // Whatever was drawn through a window's context is on the screen now.
    vrel::user::ShowScreen();
    return 1;
}
