// A minimal program in its message loop: says when it is ready and which messages end it, so
// a test can check that a termination signal arrives as WM_CLOSE and ends in WM_DESTROY. With
// `stuck` its window procedure never comes back from WM_CLOSE; with `pipe` it first writes
// into a pipe nobody reads; with `port` it only says where its first window started a port.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/win32.h"
#include "runtime/port/service.h"

namespace {

bool g_stuck = false;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || message == WM_DESTROY) {
        std::puts(message == WM_CLOSE ? "WM_CLOSE" : "WM_DESTROY");
        std::fflush(stdout);
        while (message == WM_CLOSE && g_stuck) {
            pause();
        }
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const std::string mode = commandLine;
    g_stuck = mode == "stuck";
    int fds[2];
    if (mode == "pipe" && pipe(fds) == 0 && close(fds[0]) == 0) {
        [[maybe_unused]] ssize_t n = write(fds[1], "x", 1);
    }
    WNDCLASSA cls{};
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "SignalTest";
    RegisterClassA(&cls);
    CreateWindowExA(0, "SignalTest", "SignalTest", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                    nullptr, instance, nullptr);
    if (mode == "port") {
        const std::string path = vrel::port::ListeningPath();
        std::puts(path.empty() ? "no port" : path.c_str());
        return 0;
    }
    std::printf("ready %d\n", static_cast<int>(getpid()));
    std::fflush(stdout);
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
