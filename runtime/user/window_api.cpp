// Window classes and windows: creation, destruction, visibility and geometry.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>

#include "runtime/common/rect.h"
#include "runtime/screen/screen.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/user_runtime.h"
#include "runtime/user/window_manager.h"

using vrel::user::WindowInfo;
using vrel::user::WindowManager;

namespace {

std::atomic<void (*)()> g_windowCreatedHook{nullptr};

bool ValidClassName(LPCSTR name) {
    return name != nullptr && !IS_INTRESOURCE(name) && name[0] != '\0';
}

RECT InitialRect(int x, int y, int width, int height) {
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    return RECT{x, y, x + width, y + height};
}

// The real window shows what the program's main window asks for; message boxes and owned
// windows only take focus.
void ShowOnScreen(const WindowInfo& info) {
    vrel::screen::Screen& screen = vrel::screen::Screen::Get();
    if (!info.isMessageBox && info.owner == nullptr) {
        auto cls = WindowManager::Get().FindClass(info.className);
        screen.SetLook(
            {info.title, (info.exStyle & WS_EX_TOPMOST) != 0, cls && cls->cursor != nullptr});
    }
    screen.TakeFocus();
}

// Windows whose WM_DESTROY is being handled: a second DestroyWindow from inside it is a
// no-op instead of a second round of messages.
std::set<HWND>& BeingDestroyed() {
    static std::set<HWND> windows;
    return windows;
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* wndClass) {
    if (wndClass == nullptr || wndClass->lpfnWndProc == nullptr ||
        !ValidClassName(wndClass->lpszClassName)) {
        return 0;
    }
    vrel::user::WindowClass cls{wndClass->lpszClassName, wndClass->style,
                                wndClass->lpfnWndProc,   wndClass->hInstance,
                                wndClass->hCursor,       wndClass->hbrBackground};
    static ATOM nextAtom = 0xC000;
    return WindowManager::Get().AddClass(cls) ? nextAtom++ : 0;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU /*menu*/,
                            HINSTANCE /*instance*/, LPVOID /*param*/) {
    WindowManager& wm = WindowManager::Get();
    if (!ValidClassName(className) || (parent != nullptr && !wm.Exists(parent))) {
        return nullptr;
    }
    auto cls = wm.FindClass(className);
    if (!cls) {
        return nullptr;
    }
    wm.ClaimWindowThread();
    WindowInfo info;
    info.className = className;
    info.title = windowName ? windowName : "";
    info.style = style;
    info.exStyle = exStyle;
    info.rect = InitialRect(x, y, width, height);
    info.proc = cls->proc;
    info.background = cls->background;
    info.owner = parent;
    info.isMessageBox = info.className == vrel::user::kDialogClassName;
    HWND window = wm.AddWindow(info);
    if (auto hook = g_windowCreatedHook.load()) {
        hook();
    }
    if (!SendMessageA(window, WM_NCCREATE, 0, 0) || SendMessageA(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(window, SW_SHOW);
    }
    return wm.Exists(window) ? window : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    WindowManager& wm = WindowManager::Get();
    auto info = wm.Find(window);
    if (!info || BeingDestroyed().count(window) != 0) {
        return FALSE;
    }
    BeingDestroyed().insert(window);
    if (info->visible) {
        wm.SetVisible(window, false);
        vrel::user::UncoverScreenRect(info->rect);
    }
    if (wm.Active() == window) {
        vrel::user::ActivateWindow(info->owner && wm.Exists(info->owner) ? info->owner : nullptr);
    }
    SendMessageA(window, WM_DESTROY, 0, 0);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    wm.RemoveWindow(window);
    wm.Queue().DropMessagesFor(window);
    BeingDestroyed().erase(window);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    return WindowManager::Get().Exists(window) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    WindowManager& wm = WindowManager::Get();
    auto info = wm.Find(window);
    if (!info) {
        return FALSE;
    }
    const bool show = showCommand != SW_HIDE;
    if (show && !info->visible) {
        wm.SetVisible(window, true);
        wm.SetNeedsPaint(window, true);
        ShowOnScreen(*info);
        vrel::user::ActivateWindow(window);
    } else if (!show && info->visible) {
        wm.SetVisible(window, false);
        vrel::user::UncoverScreenRect(info->rect);
    }
    return info->visible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    auto info = WindowManager::Get().Find(window);
    if (!info) {
        return FALSE;
    }
    if (info->visible && info->needsPaint) {
        vrel::user::PaintWindow(window);
    }
    return TRUE;
}

HWND WINAPI GetDesktopWindow() {
    return WindowManager::Get().Desktop();
}

HWND WINAPI GetActiveWindow() {
    return WindowManager::Get().Active();
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    return WindowManager::Get().FindByName(className, windowName);
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    return vrel::user::GetScreenRect(window, rect) ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    RECT screen{};
    if (rect == nullptr || !vrel::user::GetScreenRect(window, &screen)) {
        return FALSE;
    }
    *rect = RECT{0, 0, screen.right - screen.left, screen.bottom - screen.top};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, LPPOINT point) {
    RECT screen{};
    if (point == nullptr || !vrel::user::GetScreenRect(window, &screen)) {
        return FALSE;
    }
    point->x += screen.left;
    point->y += screen.top;
    return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the stock cursors exist; the arrow is the one any window here shows.
    if (instance != nullptr || name != IDC_ARROW) {
        return nullptr;
    }
    static int arrow;
    return reinterpret_cast<HCURSOR>(&arrow);
}

namespace vrel::user {

void SetWindowCreatedHook(void (*hook)()) {
    g_windowCreatedHook.store(hook);
}

bool GetScreenRect(HWND window, RECT* rect) {
    WindowManager& wm = WindowManager::Get();
    if (window == wm.Desktop()) {
        PixelBuffer fb = screen::Screen::Get().Framebuffer();
        *rect = fb.Bounds();
        return true;
    }
    return wm.ScreenRect(window, rect);
}

std::vector<RECT> VisibleRegion(HWND window) {
    std::vector<RECT> region;
    std::vector<RECT> scratch;
    VisibleRegion(window, &region, &scratch);
    return region;
}

void VisibleRegion(HWND window, std::vector<RECT>* out, std::vector<RECT>* scratch) {
    WindowManager& wm = WindowManager::Get();
    out->clear();
    RECT screenRect{};
    if (!GetScreenRect(wm.Desktop(), &screenRect)) {
        return;
    }
    if (window == wm.Desktop()) {
        out->push_back(screenRect);
        return;
    }
    // Kept per thread, like the caller's vectors, so that steady use allocates nothing.
    thread_local std::vector<RECT> covers;
    RECT own{};
    if (!wm.CoveringRects(window, &own, &covers)) {
        return;
    }
    out->push_back(IntersectRects(own, screenRect));
    for (const RECT& cover : covers) {
        SubtractRectInto(*out, cover, scratch);
        out->swap(*scratch);
    }
    std::erase_if(*out, [](const RECT& r) { return IsEmptyRect(r); });
}

HWND MainWindow() {
    return WindowManager::Get().FirstMainWindow();
}

std::vector<TopLevelWindow> TopLevelWindows() {
    std::vector<TopLevelWindow> out;
    for (const WindowInfo& w : WindowManager::Get().VisibleTopDown()) {
        if (!w.isMessageBox && w.owner == nullptr) {
            out.push_back({w.handle, w.className, w.title});
        }
    }
    return out;
}

}  // namespace vrel::user
