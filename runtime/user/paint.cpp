// Painting: background erase with the class brush, and what shows through when a window
// goes away.
#include <algorithm>

#include "runtime/common/rect.h"
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

PixelBuffer ScreenPixels() {
    return screen::Screen::Get().Framebuffer();
}

void ShowScreen() {
    screen::Screen::Get().Present();
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
