// Pixel buffers for blitter tests: every pixel distinct, surrounded by guard pixels that
// show any write outside the image.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/common/pixel_buffer.h"

namespace vrel::ddraw::testing {

class TestImage {
  public:
    static constexpr int kMargin = 4;
    static constexpr uint32_t kGuard = 0xA5A5A5A5u;

    TestImage(int width, int height, uint32_t fill = 0)
        : width_(width),
          height_(height),
          pitch_(width + 2 * kMargin),
          storage_(static_cast<size_t>(pitch_) * (height + 2 * kMargin), kGuard) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                Set(x, y, fill);
            }
        }
    }

    PixelBuffer View() {
        return {storage_.data() + kMargin * pitch_ + kMargin, width_, height_, pitch_};
    }
    uint32_t At(int x, int y) const { return storage_[Index(x, y)]; }
    void Set(int x, int y, uint32_t v) { storage_[Index(x, y)] = v; }

    // A value no other pixel of any test image has: 0x00YYYXXX plus one, never the guard.
    static uint32_t UniqueValue(int x, int y) {
        return 1u + (static_cast<uint32_t>(y) << 12) + static_cast<uint32_t>(x);
    }
    void FillUnique() {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                Set(x, y, UniqueValue(x, y));
            }
        }
    }

    // True when no pixel outside the image was written.
    bool GuardIntact() const {
        for (int y = -kMargin; y < height_ + kMargin; ++y) {
            for (int x = -kMargin; x < width_ + kMargin; ++x) {
                bool inside = x >= 0 && y >= 0 && x < width_ && y < height_;
                if (!inside && storage_[Index(x, y)] != kGuard) {
                    return false;
                }
            }
        }
        return true;
    }

    int width() const { return width_; }
    int height() const { return height_; }

  private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y + kMargin) * pitch_ + static_cast<size_t>(x + kMargin);
    }

    int width_;
    int height_;
    int pitch_;
    std::vector<uint32_t> storage_;
};

}  // namespace vrel::ddraw::testing
