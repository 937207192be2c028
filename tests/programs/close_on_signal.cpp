// A minimal program in its message loop: reports the messages that end it, so a test can
// check that a termination signal arrives as WM_CLOSE and ends in WM_DESTROY.
#include <cstdio>

#include "platform/win32.h"

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        std::puts("WM_CLOSE");
    } else if (message == WM_DESTROY) {
        std::puts("WM_DESTROY");
        PostQuitMessage(0);
    }
    std::fflush(stdout);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Proc;
    cls.hInstance = instance;
    cls.lpszClassName = "SignalTest";
    RegisterClassA(&cls);
    CreateWindowExA(0, "SignalTest", "SignalTest", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                    nullptr, instance, nullptr);
    std::puts("ready");
    std::fflush(stdout);
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
