// The window manager's state: window classes, windows with their screen rectangles and
// z-order, activation and the message queue. Everything here is guarded by one mutex and
// never calls a window procedure; the platform functions (window_api.cpp, message_api.cpp) do that,
// outside the lock.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "runtime/user/message_queue.h"

namespace vrel::user {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct WindowInfo {
    HWND handle = nullptr;
    std::string className;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // screen coordinates; the client area is the whole window (no frame)
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
    HWND owner = nullptr;
    bool visible = false;
    bool needsPaint = false;
    bool isMessageBox = false;
};

class WindowManager {
  public:
    static WindowManager& Get();

    // Classes. False when the name is taken.
    bool AddClass(const WindowClass& cls);
    std::optional<WindowClass> FindClass(const std::string& name) const;

    // Windows. New windows go on top of their band (top-most windows above the others).
    HWND AddWindow(WindowInfo info);
    void RemoveWindow(HWND window);
    std::optional<WindowInfo> Find(HWND window) const;
    // The window's screen rectangle and procedure without copying the whole record.
    bool ScreenRect(HWND window, RECT* rect) const;
    WNDPROC Procedure(HWND window) const;
    // The rectangles of the visible windows above `window` (reusing the vector's storage) and
    // its own; false when the window is unknown or hidden.
    bool CoveringRects(HWND window, RECT* own, std::vector<RECT>* above) const;
    bool Exists(HWND window) const;
    void SetVisible(HWND window, bool visible);
    void SetNeedsPaint(HWND window, bool needsPaint);
    std::vector<HWND> WindowsNeedingPaint() const;
    // Visible windows from the top of the z-order down.
    std::vector<WindowInfo> VisibleTopDown() const;
    HWND FindByName(const char* className, const char* title) const;
    HWND FirstMainWindow() const;
    HWND Desktop() const { return desktop_; }

    // Activation: which window is active, and whether the real window has input focus.
    HWND Active() const;
    void SetActive(HWND window);
    bool Focused() const;
    void SetFocused(bool focused);

    // The thread whose queue the windows use: the one that made the first window.
    bool IsWindowThread() const;
    void ClaimWindowThread();

    MessageQueue& Queue() { return queue_; }
    void Reset();

  private:
    WindowManager();

    mutable std::mutex mutex_;
    std::map<std::string, WindowClass> classes_;
    std::map<HWND, WindowInfo> windows_;
    std::vector<HWND> zOrder_;  // top first
    std::vector<HWND> creationOrder_;
    HWND desktop_;
    HWND active_ = nullptr;
    bool focused_ = true;
    uintptr_t nextHandle_ = 0x10020;
    std::optional<std::thread::id> windowThread_;
    MessageQueue queue_;
};

}  // namespace vrel::user
