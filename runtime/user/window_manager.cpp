#include "runtime/user/window_manager.h"

#include <algorithm>
#include <cstring>

namespace vrel::user {

WindowManager& WindowManager::Get() {
    static WindowManager manager;
    return manager;
}

// Handles are tokens, never addresses: a stale or forged handle is simply not found.
WindowManager::WindowManager() : desktop_(reinterpret_cast<HWND>(uintptr_t{0x10010})) {}

bool WindowManager::AddClass(const WindowClass& cls) {
    std::lock_guard lock(mutex_);
    return classes_.emplace(cls.name, cls).second;
}

std::optional<WindowClass> WindowManager::FindClass(const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(name);
    if (it == classes_.end()) {
        return std::nullopt;
    }
    return it->second;
}

HWND WindowManager::AddWindow(WindowInfo info) {
    std::lock_guard lock(mutex_);
    info.handle = reinterpret_cast<HWND>(nextHandle_);
    nextHandle_ += 4;
    const bool topmost = (info.exStyle & WS_EX_TOPMOST) != 0 || info.isMessageBox;
    auto insertAt = zOrder_.begin();
    if (!topmost) {
        insertAt = std::find_if(zOrder_.begin(), zOrder_.end(), [this](HWND h) {
            const WindowInfo& w = windows_.at(h);
            return (w.exStyle & WS_EX_TOPMOST) == 0 && !w.isMessageBox;
        });
    }
    zOrder_.insert(insertAt, info.handle);
    creationOrder_.push_back(info.handle);
    windows_.emplace(info.handle, info);
    return info.handle;
}

void WindowManager::RemoveWindow(HWND window) {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    std::erase(zOrder_, window);
    std::erase(creationOrder_, window);
    if (active_ == window) {
        active_ = nullptr;
    }
}

std::optional<WindowInfo> WindowManager::Find(HWND window) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool WindowManager::ScreenRect(HWND window, RECT* rect) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) {
        return false;
    }
    *rect = it->second.rect;
    return true;
}

WNDPROC WindowManager::Procedure(HWND window) const {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.proc;
}

bool WindowManager::CoveringRects(HWND window, RECT* own, std::vector<RECT>* above) const {
    std::lock_guard lock(mutex_);
    above->clear();
    for (HWND h : zOrder_) {
        const WindowInfo& w = windows_.at(h);
        if (h == window) {
            *own = w.rect;
            return w.visible;
        }
        if (w.visible) {
            above->push_back(w.rect);
        }
    }
    return false;
}

bool WindowManager::Exists(HWND window) const {
    std::lock_guard lock(mutex_);
    return windows_.count(window) != 0;
}

void WindowManager::SetVisible(HWND window, bool visible) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it != windows_.end()) {
        it->second.visible = visible;
    }
}

void WindowManager::SetNeedsPaint(HWND window, bool needsPaint) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window);
    if (it != windows_.end()) {
        it->second.needsPaint = needsPaint;
    }
}

std::vector<HWND> WindowManager::WindowsNeedingPaint() const {
    std::lock_guard lock(mutex_);
    std::vector<HWND> out;
    for (HWND h : creationOrder_) {
        const WindowInfo& w = windows_.at(h);
        if (w.visible && w.needsPaint) {
            out.push_back(h);
        }
    }
    return out;
}

std::vector<WindowInfo> WindowManager::VisibleTopDown() const {
    std::lock_guard lock(mutex_);
    std::vector<WindowInfo> out;
    for (HWND h : zOrder_) {
        const WindowInfo& w = windows_.at(h);
        if (w.visible) {
            out.push_back(w);
        }
    }
    return out;
}

HWND WindowManager::FindByName(const char* className, const char* title) const {
    std::lock_guard lock(mutex_);
    for (HWND h : zOrder_) {
        const WindowInfo& w = windows_.at(h);
        if ((className == nullptr || w.className == className) &&
            (title == nullptr || w.title == title)) {
            return h;
        }
    }
    return nullptr;
}

HWND WindowManager::FirstMainWindow() const {
    std::lock_guard lock(mutex_);
    for (HWND h : creationOrder_) {
        const WindowInfo& w = windows_.at(h);
        if (w.visible && !w.isMessageBox) {
            return h;
        }
    }
    return nullptr;
}

HWND WindowManager::Active() const {
    std::lock_guard lock(mutex_);
    return active_;
}

void WindowManager::SetActive(HWND window) {
    std::lock_guard lock(mutex_);
    active_ = window;
}

bool WindowManager::Focused() const {
    std::lock_guard lock(mutex_);
    return focused_;
}

void WindowManager::SetFocused(bool focused) {
    std::lock_guard lock(mutex_);
    focused_ = focused;
}

bool WindowManager::IsWindowThread() const {
    std::lock_guard lock(mutex_);
    return !windowThread_ || *windowThread_ == std::this_thread::get_id();
}

void WindowManager::ClaimWindowThread() {
    std::lock_guard lock(mutex_);
    if (!windowThread_) {
        windowThread_ = std::this_thread::get_id();
    }
}

void WindowManager::Reset() {
    {
        std::lock_guard lock(mutex_);
        classes_.clear();
        windows_.clear();
        zOrder_.clear();
        creationOrder_.clear();
        active_ = nullptr;
        focused_ = true;
        windowThread_.reset();
    }
    queue_.Clear();
}

}  // namespace vrel::user
