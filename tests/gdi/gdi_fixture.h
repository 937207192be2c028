// Shared pieces of the GDI tests: pixel canvases with a guard border, owning wrappers for
// contexts and objects, and a fixture that checks every handle a test made is gone.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "runtime/common/pixel_buffer.h"
#include "runtime/common/rect.h"
#include "runtime/gdi/font_cache.h"
#include "runtime/gdi/gdi_runtime.h"

// Lets failing checks print rectangles readably.
inline void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace vrel::gdi::test {

// Never a value GDI writes: XRGB pixels keep the top byte zero.
constexpr uint32_t kGuardPixel = 0xDEADBEEF;

// A width × height XRGB image surrounded by `guard` pixels of kGuardPixel on every side,
// so writes outside the buffer GDI was given show up.
class Canvas {
  public:
    Canvas(int width, int height, uint32_t fill, int guard = 8)
        : width_(width),
          height_(height),
          guard_(guard),
          stride_(width + 2 * guard),
          pixels_(static_cast<size_t>(stride_) * (height + 2 * guard), kGuardPixel) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                At(x, y) = fill;
            }
        }
    }

    PixelBuffer Buffer() { return PixelBuffer{&At(0, 0), width_, height_, stride_}; }
    uint32_t& At(int x, int y) {
        return pixels_[static_cast<size_t>(y + guard_) * stride_ + x + guard_];
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

    bool GuardIntact() const {
        for (int y = 0; y < height_ + 2 * guard_; ++y) {
            for (int x = 0; x < stride_; ++x) {
                const bool inside =
                    x >= guard_ && x < guard_ + width_ && y >= guard_ && y < guard_ + height_;
                if (!inside && pixels_[static_cast<size_t>(y) * stride_ + x] != kGuardPixel) {
                    return false;
                }
            }
        }
        return true;
    }

    // Pixels that differ from `background`, with their bounding box.
    struct Changes {
        int count = 0;
        RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    };
    Changes ChangedFrom(uint32_t background) {
        Changes changes;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (At(x, y) != background) {
                    ++changes.count;
                    changes.box = {std::min<LONG>(changes.box.left, x),
                                   std::min<LONG>(changes.box.top, y),
                                   std::max<LONG>(changes.box.right, x + 1),
                                   std::max<LONG>(changes.box.bottom, y + 1)};
                }
            }
        }
        return changes;
    }

  private:
    int width_;
    int height_;
    int guard_;
    int stride_;
    std::vector<uint32_t> pixels_;
};

// Owns a device context made with CreateDeviceContext.
class ScopedDc {
  public:
    explicit ScopedDc(HDC dc) : dc_(dc) {}
    ScopedDc(const PixelBuffer& target, POINT origin, RECT clip)
        : dc_(CreateDeviceContext(target, origin, clip)) {}
    explicit ScopedDc(const PixelBuffer& target) : ScopedDc(target, POINT{0, 0}, target.Bounds()) {}
    ~ScopedDc() {
        if (dc_ != nullptr) {
            DeleteDeviceContext(dc_);
        }
    }
    ScopedDc(const ScopedDc&) = delete;
    ScopedDc& operator=(const ScopedDc&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

// Owns a font or brush; deletes it when the test ends.
class ScopedObject {
  public:
    explicit ScopedObject(HGDIOBJ object) : object_(object) {}
    ~ScopedObject() {
        if (object_ != nullptr) {
            DeleteObject(object_);
        }
    }
    ScopedObject(const ScopedObject&) = delete;
    ScopedObject& operator=(const ScopedObject&) = delete;
    HGDIOBJ Get() const { return object_; }

  private:
    HGDIOBJ object_;
};

// The font the intro draws its line with.
inline HFONT CreateIntroFont(int height = 20, LPCSTR face = "Arial", int weight = 0) {
    return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, DRAFT_QUALITY, 0,
                       face);
}

// Every test ends with as many live GDI handles as it started with.
class GdiTest : public ::testing::Test {
  protected:
    void SetUp() override { liveAtStart_ = vrel::gdi::testing::LiveHandles(); }
    void TearDown() override {
        EXPECT_EQ(vrel::gdi::testing::LiveHandles(), liveAtStart_)
            << "a context or object was not freed";
    }

  private:
    size_t liveAtStart_ = 0;
};

}  // namespace vrel::gdi::test
