// What other runtime services need from the window manager.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace vrel::user {

// The window's rectangle in screen coordinates; false when there is no such window.
bool GetScreenRect(HWND window, RECT* rect);

// The part of the window the user can see: its screen rectangle minus every visible window
// above it in the z-order (a message box, say), cut to the screen. Empty for a hidden or
// unknown window. Disjoint rectangles, screen coordinates.
std::vector<RECT> VisibleRegion(HWND window);
// The same into `out`, reusing its storage and that of `scratch`: a caller that keeps both
// vectors makes no allocation per call (the per-frame blit does this).
void VisibleRegion(HWND window, std::vector<RECT>* out, std::vector<RECT>* scratch);

// The first visible top-level window that is not a message box: where a close request from
// the real window or a signal goes. Null when there is none.
HWND MainWindow();

// Thread-safe: answers the message box that is open on top (IDOK, IDYES or IDNO). False
// when no box is open or the box has no such button.
bool AnswerMessageBox(int answer);

struct OpenBoxSummary {
    std::string caption;
    std::string text;
    UINT type;  // MB_OK, MB_OKCANCEL or MB_YESNO
};
// Thread-safe: the message box open on top, if any.
std::optional<OpenBoxSummary> TopMessageBox();

struct TopLevelWindow {
    HWND handle;
    std::string className;
    std::string title;
};
// Thread-safe: the visible top-level windows that are not message boxes, top first.
std::vector<TopLevelWindow> TopLevelWindows();

// Runs on the creating thread right after each window is made. The process sets it once,
// before its first window (the message port starts from it); null: nothing runs.
void SetWindowCreatedHook(void (*hook)());

struct CrossThreadSend;

// A message sent to a window from another thread than the window's own, for a sender that
// waits in slices and may give up. Thread-safe.
class OutsideSend {
  public:
    // Queues the message for the window's thread and wakes it.
    OutsideSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True with the window procedure's result once it returned; waits at most timeoutMs
    // (negative: for ever).
    bool WaitForAnswer(int timeoutMs, LRESULT* result);
    // Takes the message back if the window's thread has not taken it yet (it then never
    // runs): true when so.
    bool Withdraw();

  private:
    std::shared_ptr<CrossThreadSend> send_;
};

// Thread-safe, for other threads than the windows' own: has the window's thread run the
// window procedure (inside its message loop or a box's) and waits for the result at most
// timeoutMs (negative: for ever). False when the window does not exist or time ran out; a
// send that timed out before the window's thread took it is dropped and never runs.
bool SendFromOtherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                         LRESULT* result);

}  // namespace vrel::user
