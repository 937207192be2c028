// A minimal program in its message loop: reports the messages that end it, so a test can
// check that a termination signal arrives as WM_CLOSE and ends in WM_DESTROY. With `stuck`
// its window procedure never comes back from WM_CLOSE; with `pipe` it first writes into a
// pipe nobody reads.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/win32.h"

namespace {

bool g_stuck = false;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        std::puts("WM_CLOSE");
        std::fflush(stdout);
        while (g_stuck) {
            pause();
        }
    } else if (message == WM_DESTROY) {
        std::puts("WM_DESTROY");
        PostQuitMessage(0);
    }
    std::fflush(stdout);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_stuck = std::string_view(commandLine) == "stuck";
    if (std::string_view(commandLine) == "pipe") {
        int fds[2];
        if (pipe(fds) == 0 && close(fds[0]) == 0 && write(fds[1], "x", 1) < 0 && errno == EPIPE) {
            std::puts("EPIPE");
        }
    }
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
