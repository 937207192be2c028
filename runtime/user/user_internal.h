// Pieces of the window manager shared between its files.
#pragma once

#include "platform/win32.h"
#include "runtime/common/pixel_buffer.h"

namespace vrel::user {

// The platform's dialog class: windows of this class are message boxes.
inline constexpr char kDialogClassName[] = "#32770";

// Calls the window's procedure (outside any lock); 0 for an unknown window.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves activation: WM_ACTIVATE(WA_INACTIVE) to the old window, WA_ACTIVE to the new one,
// as long as the real window has input focus.
void ActivateWindow(HWND next);
// The real window gained or lost input focus.
void HandleFocusChange(bool focused);

// Turns waiting input of the real window into messages; true when there was any (it may
// have posted messages or sent WM_ACTIVATE).
bool PumpInput();
// Runs the window procedure for every message another thread sent, and answers it.
void DispatchCrossThreadSends();
// Erases and paints every visible window marked as needing it.
void PaintPendingWindows();
void PaintWindow(HWND window);
// Shows the desktop (black) where a window was, and marks windows below for repainting.
void UncoverScreenRect(const RECT& rect);
// The screen's pixels, which windows draw into, and showing what was drawn.
PixelBuffer ScreenPixels();
void ShowScreen();
// Sleeps until a message, a send, a quit request or input is waiting.
void WaitForWork();
// Thread-safe: ends the window thread's wait.
void WakeWindowThread();

}  // namespace vrel::user
