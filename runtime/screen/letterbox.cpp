#include "runtime/screen/letterbox.h"

#include <algorithm>

namespace vrel::screen {

int WholeFactor(int pictureLength, int sourceLength) {
    return std::max(1, pictureLength / sourceLength);
}

std::vector<Tap> ScaleTaps(int pictureLength, int sourceLength) {
    // The whole-factor step makes a virtual source of `grown` pixels, each framebuffer pixel
    // repeated `factor` times; the linear step samples it at picture pixel centres, as a
    // graphics card's linear filter does, in 1/256ths of a pixel.
    const int factor = WholeFactor(pictureLength, sourceLength);
    const int64_t grown = static_cast<int64_t>(sourceLength) * factor;
    std::vector<Tap> taps(static_cast<size_t>(pictureLength));
    for (int i = 0; i < pictureLength; ++i) {
        const int64_t centre = ((2 * i + 1) * grown - pictureLength) * 256 / (2 * pictureLength);
        const int64_t at = std::clamp<int64_t>(centre, 0, (grown - 1) * 256);
        const int64_t left = at / 256;
        const int64_t right = std::min(left + 1, grown - 1);
        Tap& tap = taps[static_cast<size_t>(i)];
        tap.first = static_cast<int>(left / factor);
        tap.second = static_cast<int>(right / factor);
        tap.weight = tap.first == tap.second ? 0 : static_cast<uint32_t>(at % 256);
    }
    return taps;
}

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
