// Shared fixture for window-manager tests: a clean desktop per test, a recording window
// procedure and helpers to make windows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace vrel::test {

struct Recorded {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message a recording window receives, in order.
std::vector<Recorded>& MessageLog();
// Messages of one kind from the log.
std::vector<Recorded> LoggedOf(UINT message);

// Records the message, answers WM_USER + 1 with 100 + wParam, passes the rest on.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Records the message and handles everything itself (never calls DefWindowProcA).
LRESULT CALLBACK SwallowingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class UserTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A registered class of that procedure and a visible 640 × 480 top-most popup at (0, 0).
    HWND MakeWindow(WNDPROC proc = RecordingProc, const char* className = "TestWindow",
                    DWORD style = WS_POPUP | WS_VISIBLE);
    // Takes every waiting message with PeekMessageA(PM_REMOVE) and dispatches it; returns
    // how many there were (WM_QUIT stops the drain and is counted).
    int Drain();
};

}  // namespace vrel::test
