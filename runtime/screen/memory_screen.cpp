#include "runtime/screen/memory_screen.h"

#include <chrono>

namespace vrel::screen {

namespace {
constexpr int kMaxSide = 4096;
}

FramebufferScreen::FramebufferScreen() : pixels_(static_cast<size_t>(640) * 480, 0) {}

PixelBuffer FramebufferScreen::Framebuffer() {
    return PixelBuffer{pixels_.data(), width_, height_, width_};
}

bool FramebufferScreen::SetMode(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 32 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return false;
    }
    pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    width_ = width;
    height_ = height;
    ModeChanged();
    return true;
}

bool MemoryScreen::PollInput(InputEvent* event) {
    std::lock_guard lock(mutex_);
    if (input_.empty()) {
        return false;
    }
    *event = input_.front();
    input_.pop_front();
    return true;
}

void MemoryScreen::Inject(const InputEvent& event) {
    {
        std::lock_guard lock(mutex_);
        if (input_.size() >= kMaxInput) {
            return;  // a real window's queue drops input too when nobody reads it
        }
        input_.push_back(event);
    }
    woken_.notify_all();
}

void MemoryScreen::SetLook(const WindowLook& look) {
    std::lock_guard lock(mutex_);
    look_ = look;
}

WindowLook MemoryScreen::Look() {
    std::lock_guard lock(mutex_);
    return look_;
}

void MemoryScreen::WaitForInput(int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto woken = [this] { return wakePending_ || !input_.empty(); };
    if (timeoutMs < 0) {
        woken_.wait(lock, woken);
    } else {
        woken_.wait_for(lock, std::chrono::milliseconds(timeoutMs), woken);
    }
    wakePending_ = false;
}

void MemoryScreen::Wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    woken_.notify_all();
}

}  // namespace vrel::screen
