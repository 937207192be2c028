#include "runtime/screen/letterbox.h"

#include <cstdint>

namespace vrel::screen {

namespace {

std::vector<int> IndexTable(int dstLength, int srcLength) {
    std::vector<int> table(static_cast<size_t>(dstLength));
    for (int i = 0; i < dstLength; ++i) {
        table[static_cast<size_t>(i)] =
            static_cast<int>(static_cast<int64_t>(i) * srcLength / dstLength);
    }
    return table;
}

}  // namespace

Letterbox FitPicture(int sourceW, int sourceH, int windowW, int windowH) {
    Letterbox box;
    // Widest picture that fits: compare the aspect ratios with integers to avoid rounding.
    int pictureW = windowW;
    int pictureH = static_cast<int>(static_cast<int64_t>(windowW) * sourceH / sourceW);
    if (pictureH > windowH) {
        pictureH = windowH;
        pictureW = static_cast<int>(static_cast<int64_t>(windowH) * sourceW / sourceH);
    }
    int left = (windowW - pictureW) / 2;
    int top = (windowH - pictureH) / 2;
    box.picture = RECT{left, top, left + pictureW, top + pictureH};
    box.srcX = IndexTable(pictureW, sourceW);
    box.srcY = IndexTable(pictureH, sourceH);
    box.identity = pictureW == sourceW && pictureH == sourceH;
    return box;
}

bool WindowToFramebuffer(const Letterbox& box, int sourceW, int sourceH, int wx, int wy, int* fx,
                         int* fy) {
    const RECT& p = box.picture;
    if (wx < p.left || wy < p.top || wx >= p.right || wy >= p.bottom) {
        return false;
    }
    *fx = static_cast<int>(static_cast<int64_t>(wx - p.left) * sourceW / (p.right - p.left));
    *fy = static_cast<int>(static_cast<int64_t>(wy - p.top) * sourceH / (p.bottom - p.top));
    return true;
}

}  // namespace vrel::screen
