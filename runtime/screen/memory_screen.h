// A screen with no real window: the framebuffer lives in memory, input arrives only when a
// test injects it, and waits sleep on a condition variable until woken.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "runtime/screen/screen.h"

namespace vrel::screen {

// The framebuffer and display mode, shared by every kind of screen.
class FramebufferScreen : public Screen {
  public:
    FramebufferScreen();
    PixelBuffer Framebuffer() override;
    bool SetMode(int width, int height, int bitsPerPixel) override;

  protected:
    int width() const { return width_; }
    int height() const { return height_; }
    const uint32_t* pixels() const { return pixels_.data(); }
    // Called after the framebuffer changed size.
    virtual void ModeChanged() {}

  private:
    std::vector<uint32_t> pixels_;
    int width_ = 640;
    int height_ = 480;
};

class MemoryScreen final : public FramebufferScreen {
  public:
    void Present() override {}
    bool Headless() const override { return true; }
    bool PollInput(InputEvent* event) override;
    void WaitForInput(int timeoutMs) override;
    void Wake() override;
    void TakeFocus() override {}
    void SetLook(const WindowLook& look) override;

    // Thread-safe: input as a real window would deliver it (tests).
    void Inject(const InputEvent& event);
    WindowLook Look();

  private:
    static constexpr size_t kMaxInput = 256;

    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakePending_ = false;
    std::deque<InputEvent> input_;
    WindowLook look_;
};

}  // namespace vrel::screen
