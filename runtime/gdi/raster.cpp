#include "runtime/gdi/raster.h"

#include <algorithm>

namespace vrel::gdi {

RECT ClipBox(int64_t left, int64_t top, int64_t right, int64_t bottom, const RECT& clip) {
    left = std::max<int64_t>(left, clip.left);
    top = std::max<int64_t>(top, clip.top);
    right = std::min<int64_t>(right, clip.right);
    bottom = std::min<int64_t>(bottom, clip.bottom);
    if (right <= left || bottom <= top) {
        return RECT{0, 0, 0, 0};
    }
    return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                static_cast<LONG>(bottom)};
}

void FillClipped(const PixelBuffer& target, const RECT& box, uint32_t xrgb) {
    for (LONG y = box.top; y < box.bottom; ++y) {
        uint32_t* row = target.Row(y);
        std::fill(row + box.left, row + box.right, xrgb);
    }
}

void BlendCoverage(const PixelBuffer& target, const RECT& clip, int64_t x, int64_t y,
                   const CoverageImage& image, uint32_t xrgb) {
    const RECT box = ClipBox(x, y, x + image.width, y + image.height, clip);
    for (LONG row = box.top; row < box.bottom; ++row) {
        uint32_t* dst = target.Row(row);
        const uint8_t* src = image.coverage + (row - y) * image.width + (box.left - x);
        for (LONG col = box.left; col < box.right; ++col, ++src) {
            if (*src == 255) {
                dst[col] = xrgb;
            } else if (*src != 0) {
                dst[col] = BlendXrgb(xrgb, dst[col], *src);
            }
        }
    }
}

}  // namespace vrel::gdi
