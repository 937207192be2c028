// A non-owning view of 32-bit XRGB pixels (0x00RRGGBB), the one pixel format of the screen,
// of every surface and of every device context.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

namespace vrel {

struct PixelBuffer {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;  // pixels from one row to the next

    uint32_t* Row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }
    bool Empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    RECT Bounds() const { return RECT{0, 0, width, height}; }
};

// COLORREF is 0x00BBGGRR; the pixels are 0x00RRGGBB.
constexpr uint32_t ColorRefToXrgb(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

}  // namespace vrel
