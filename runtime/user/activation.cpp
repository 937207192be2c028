// Activation and input: focus changes of the real window, keys and clicks as messages.
#include "runtime/screen/screen.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/window_manager.h"

namespace vrel::user {

namespace {

constexpr LPARAM kAltDownBit = LPARAM{1} << 29;
constexpr LPARAM kKeyUpBits = (LPARAM{1} << 30) | (LPARAM{1} << 31);

LPARAM PointParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                               static_cast<uint32_t>(x & 0xFFFF));
}

HWND WindowAt(int x, int y) {
    for (const WindowInfo& w : WindowManager::Get().VisibleTopDown()) {
        if (x >= w.rect.left && x < w.rect.right && y >= w.rect.top && y < w.rect.bottom) {
            return w.handle;
        }
    }
    return nullptr;
}

void PostKey(const screen::InputEvent& e) {
    HWND target = WindowManager::Get().Active();
    if (target == nullptr) {
        return;
    }
    const bool down = e.kind == screen::InputEvent::Kind::KeyDown;
    const bool system = e.alt || e.virtualKey == VK_MENU;
    UINT message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    LPARAM lParam = 1 | (e.alt ? kAltDownBit : 0) | (down ? 0 : kKeyUpBits);
    PostMessageA(target, message, e.virtualKey, lParam);
}

void PostClick(const screen::InputEvent& e) {
    HWND target = WindowAt(e.x, e.y);
    auto info = WindowManager::Get().Find(target);
    if (!info) {
        return;
    }
    const bool down = e.kind == screen::InputEvent::Kind::MouseDown;
    UINT message = e.button == 3 ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                                 : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
    PostMessageA(target, message, 0, PointParam(e.x - info->rect.left, e.y - info->rect.top));
}

void HandleInput(const screen::InputEvent& e) {
    using Kind = screen::InputEvent::Kind;
    switch (e.kind) {
        case Kind::FocusGained:
        case Kind::FocusLost:
            HandleFocusChange(e.kind == Kind::FocusGained);
            break;
        case Kind::CloseRequested:
            if (HWND main = WindowManager::Get().FirstMainWindow()) {
                PostMessageA(main, WM_CLOSE, 0, 0);
            }
            break;
        case Kind::KeyDown:
        case Kind::KeyUp:
            PostKey(e);
            break;
        case Kind::MouseDown:
        case Kind::MouseUp:
            PostClick(e);
            break;
    }
}

}  // namespace

void ActivateWindow(HWND next) {
    WindowManager& wm = WindowManager::Get();
    HWND previous = wm.Active();
    if (previous == next) {
        return;
    }
    wm.SetActive(next);
    if (!wm.Focused()) {
        return;  // in the background: the window learns it when focus comes back
    }
    if (previous != nullptr && wm.Exists(previous)) {
        SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(next));
    }
    if (next != nullptr) {
        SendMessageA(next, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    }
}

void HandleFocusChange(bool focused) {
    WindowManager& wm = WindowManager::Get();
    if (wm.Focused() == focused) {
        return;
    }
    wm.SetFocused(focused);
    if (HWND active = wm.Active()) {
        SendMessageA(active, WM_ACTIVATE, focused ? WA_ACTIVE : WA_INACTIVE, 0);
    }
}

bool PumpInput() {
    screen::Screen& screen = screen::Screen::Get();
    screen::InputEvent e{};
    bool handled = false;
    while (screen.PollInput(&e)) {
        HandleInput(e);
        handled = true;
    }
    return handled;
}

}  // namespace vrel::user
