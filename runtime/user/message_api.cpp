// The message queue's platform functions and the default window procedure.
#include <memory>

#include "runtime/common/trace.h"
#include "runtime/screen/screen.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/user_runtime.h"
#include "runtime/user/window_manager.h"

using vrel::user::WindowManager;

namespace {

constexpr LPARAM kAltDownBit = LPARAM{1} << 29;  // key messages: Alt was held

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return msg;
}

LRESULT SendAcrossThreads(const MSG& msg) {
    LRESULT result = 0;
    vrel::user::SendFromOtherThread(msg.hwnd, msg.message, msg.wParam, msg.lParam, -1, &result);
    return result;
}

LRESULT EraseBackground(HWND window, HDC dc) {
    auto info = WindowManager::Get().Find(window);
    if (!info || info->background == nullptr) {
        return 0;
    }
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, info->background);
    return 1;
}

}  // namespace

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowManager& wm = WindowManager::Get();
    if (window != nullptr && !wm.Exists(window)) {
        return FALSE;
    }
    if (!wm.Queue().Post(MakeMessage(window, message, wParam, lParam))) {
        return FALSE;
    }
    if (!wm.IsWindowThread()) {
        vrel::user::WakeWindowThread();
    }
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowManager& wm = WindowManager::Get();
    if (!wm.Exists(window)) {
        return 0;
    }
    if (!wm.IsWindowThread()) {
        return SendAcrossThreads(MakeMessage(window, message, wParam, lParam));
    }
    return vrel::user::CallWindowProcedure(window, message, wParam, lParam);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    vrel::user::PumpInput();
    vrel::user::DispatchCrossThreadSends();
    vrel::user::MessageQueue& queue = WindowManager::Get().Queue();
    const bool removeIt = (remove & PM_REMOVE) != 0;
    if (auto posted = queue.TakePosted(window, filterMin, filterMax, removeIt)) {
        *msg = *posted;
        return TRUE;
    }
    // Painting comes after posted messages, as on the platform.
    vrel::user::PaintPendingWindows();
    if (auto quit = queue.TakeQuit(removeIt)) {
        *msg = *quit;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) {
        return -1;
    }
    while (!PeekMessageA(msg, window, filterMin, filterMax, PM_REMOVE)) {
        vrel::user::WaitForWork();
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI WaitMessage() {
    // Input handled here may have changed what the caller waits for (a WM_ACTIVATE sent
    // while pumping): the caller looks again before anything sleeps.
    if (!vrel::user::PumpInput()) {
        vrel::user::WaitForWork();
    }
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg == nullptr) {
        return FALSE;
    }
    // Key messages are understood as they are; no character messages are made.
    return msg->message >= WM_KEYDOWN && msg->message <= WM_SYSKEYUP ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) {
        return 0;
    }
    if (msg->message == WM_COMMAND) {
        vrel::Trace("command", static_cast<int64_t>(msg->wParam));  // outside → procedure
    }
    return vrel::user::CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    WindowManager& wm = WindowManager::Get();
    wm.Queue().PostQuit(exitCode);
    if (!wm.IsWindowThread()) {
        vrel::user::WakeWindowThread();
    }
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & kAltDownBit) != 0) {
                SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                SendMessageA(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_ERASEBKGND:
            return EraseBackground(window, reinterpret_cast<HDC>(wParam));
        default:
            return 0;
    }
}

namespace vrel::user {

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = WindowManager::Get().Procedure(window);
    return proc == nullptr ? 0 : proc(window, message, wParam, lParam);
}

bool SendFromOtherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                         LRESULT* result) {
    if (!WindowManager::Get().Exists(window)) {
        return false;
    }
    OutsideSend send(window, message, wParam, lParam);
    if (send.WaitForAnswer(timeoutMs, result)) {
        return true;
    }
    // Nobody waits for it any more: it must not run late, or pile up behind a stuck window.
    if (!send.Withdraw()) {
        return send.WaitForAnswer(0, result);  // taken just now; it may have answered
    }
    return false;
}

// Shared: a sender that gives up while the procedure runs leaves the slot to the window's
// thread.
OutsideSend::OutsideSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    : send_(std::make_shared<CrossThreadSend>()) {
    send_->msg = MakeMessage(window, message, wParam, lParam);
    WindowManager::Get().Queue().PushSend(send_);
    WakeWindowThread();
}

bool OutsideSend::WaitForAnswer(int timeoutMs, LRESULT* result) {
    return send_->WaitForAnswer(timeoutMs, result);
}

bool OutsideSend::Withdraw() {
    return WindowManager::Get().Queue().Withdraw(send_);
}

void DispatchCrossThreadSends() {
    MessageQueue& queue = WindowManager::Get().Queue();
    while (auto send = queue.PopSend()) {
        const MSG& m = send->msg;
        send->Answer(CallWindowProcedure(m.hwnd, m.message, m.wParam, m.lParam));
    }
}

void WaitForWork() {
    // The screen must exist before the check, or a wake from another thread could be lost.
    screen::Screen& screen = screen::Screen::Get();
    if (WindowManager::Get().Queue().HasWork()) {
        return;
    }
    screen.WaitForInput(-1);
}

void WakeWindowThread() {
    screen::Screen::WakeCurrent();
}

}  // namespace vrel::user
