// Painting: background erase with the class brush, window device contexts, and what shows
// through when a window goes away.
#include <algorithm>

#include "runtime/common/rect.h"
#include "runtime/gdi/gdi_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/user_runtime.h"
#include "runtime/user/window_manager.h"

namespace vrel::user {

void PaintWindow(HWND window) {
    WindowManager& wm = WindowManager::Get();
    wm.SetNeedsPaint(window, false);
    if (HDC dc = GetDC(window)) {
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(window, dc);
    }
    SendMessageA(window, WM_PAINT, 0, 0);
}

void PaintPendingWindows() {
    for (HWND window : WindowManager::Get().WindowsNeedingPaint()) {
        PaintWindow(window);
    }
}

void UncoverScreenRect(const RECT& rect) {
    screen::Screen& screen = screen::Screen::Get();
    PixelBuffer fb = screen.Framebuffer();
    RECT area = IntersectRects(rect, fb.Bounds());
    for (LONG y = area.top; y < area.bottom; ++y) {
        uint32_t* row = fb.Row(y);
        std::fill(row + area.left, row + area.right, 0u);
    }
    for (const WindowInfo& w : WindowManager::Get().VisibleTopDown()) {
        if (!w.isMessageBox && !IsEmptyRect(IntersectRects(w.rect, area))) {
            WindowManager::Get().SetNeedsPaint(w.handle, true);
        }
    }
    screen.Present();
}

}  // namespace vrel::user

HDC WINAPI GetDC(HWND window) {
    RECT rect{};
    if (window == nullptr) {
        window = GetDesktopWindow();
    }
    if (!vrel::user::GetScreenRect(window, &rect)) {
        return nullptr;
    }
    vrel::PixelBuffer fb = vrel::screen::Screen::Get().Framebuffer();
    return vrel::gdi::CreateDeviceContext(fb, POINT{rect.left, rect.top}, rect);
}

int WINAPI ReleaseDC(HWND /*window*/, HDC dc) {
    if (!vrel::gdi::DeleteDeviceContext(dc)) {
        return 0;
    }
    // Whatever was drawn through a window's context is on the screen now.
    vrel::screen::Screen::Get().Present();
    return 1;
}
