#include "user/user_support.h"

#include "runtime/user/testing.h"

namespace vrel::test {

std::vector<Recorded>& MessageLog() {
    static std::vector<Recorded> log;
    return log;
}

std::vector<Recorded> LoggedOf(UINT message) {
    std::vector<Recorded> out;
    for (const Recorded& r : MessageLog()) {
        if (r.message == message) {
            out.push_back(r);
        }
    }
    return out;
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageLog().push_back({window, message, wParam, lParam});
    if (message == WM_USER + 1) {
        return static_cast<LRESULT>(100 + wParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK SwallowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageLog().push_back({window, message, wParam, lParam});
    return message == WM_NCCREATE ? TRUE : 0;
}

void UserTest::SetUp() {
    vrel::user::testing::ResetWindowing();
    MessageLog().clear();
}

void UserTest::TearDown() {
    vrel::user::testing::ResetWindowing();
    MessageLog().clear();
}

HWND UserTest::MakeWindow(WNDPROC proc, const char* className, DWORD style) {
    WNDCLASSA cls{};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = proc;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = className;
    RegisterClassA(&cls);
    return CreateWindowExA(WS_EX_TOPMOST, className, className, style, 0, 0, 640, 480, nullptr,
                           nullptr, nullptr, nullptr);
}

int UserTest::Drain() {
    int count = 0;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++count;
        if (msg.message == WM_QUIT) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return count;
}

}  // namespace vrel::test
