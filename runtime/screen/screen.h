// The virtual screen: one 32-bit XRGB framebuffer the size of the display mode, shown in a
// real SDL window (borderless over the desktop, letterboxed) or kept in memory only.
//
// Settings (environment):
//   VREL_SCREEN=fullscreen  borderless window covering the desktop (default)
//   VREL_SCREEN=window      a plain window of the framebuffer's size, for development
//   VREL_SCREEN=none        no window at all; the framebuffer lives in memory (tests)
// Without a usable display the screen says so once on standard error and runs as `none`.
//
// Only the thread that runs the message loop draws and presents; Wake() may be called from
// any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/common/pixel_buffer.h"

namespace vrel::screen {

// Input from the real window, already mapped to framebuffer coordinates.
struct InputEvent {
    enum class Kind { FocusGained, FocusLost, CloseRequested, KeyDown, KeyUp, MouseDown, MouseUp };
    Kind kind;
    UINT virtualKey = 0;  // VK_* for key events
    bool alt = false;     // Alt held during a key event
    int x = 0;            // framebuffer coordinates for mouse events
    int y = 0;
    int button = 0;  // 1 left, 3 right
};

// How the program's main window asks to be shown: the real window takes it on.
struct WindowLook {
    std::string title;         // in the platform's 8-bit code page (Windows-1252)
    bool alwaysOnTop = false;  // WS_EX_TOPMOST
    bool arrowCursor = false;  // the window class names the arrow
};

class Screen {
  public:
    // The one screen; created (and its window opened) on first use.
    static Screen& Get();
    // Process exit: closes the window and SDL video. Nothing may hold on to the old screen.
    static void Shutdown();
    // Thread-safe: wakes the screen's wait if a screen is open; never opens one.
    static void WakeCurrent();

    virtual ~Screen() = default;

    // The framebuffer; its size changes only through SetMode.
    virtual PixelBuffer Framebuffer() = 0;
    // Only 32 bits per pixel and sizes from 1 to 4096; false otherwise. Clears to black.
    virtual bool SetMode(int width, int height, int bitsPerPixel) = 0;
    // Shows the framebuffer now (no vsync wait). Nothing to do without a window.
    virtual void Present() = 0;
    // True when there is no real window (VREL_SCREEN=none or no display).
    virtual bool Headless() const = 0;

    // Takes one waiting input event; false when none.
    virtual bool PollInput(InputEvent* event) = 0;
    // Sleeps in the kernel until input arrives, Wake() is called or the timeout passes
    // (negative: no timeout).
    virtual void WaitForInput(int timeoutMs) = 0;
    // Thread-safe: ends a WaitForInput in progress, or the next one.
    virtual void Wake() = 0;
    // Shows the real window (hidden until the program shows one of its own) and gives it
    // input focus: windows shown by the program take focus.
    virtual void TakeFocus() = 0;
    // The program's main window was shown with this title and style.
    virtual void SetLook(const WindowLook& look) = 0;
};

}  // namespace vrel::screen
