// Where the framebuffer lands in a real window of another size: scaled to fit with its
// aspect kept, centred, black bars around it; and how each picture column and row is made
// from the framebuffer's, computed once per size change.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32.h"

namespace vrel::screen {

// One picture column (or row): a blend of two neighbouring framebuffer columns.
struct Tap {
    int first = 0;
    int second = 0;       // first + 1, or first itself at the edge
    uint32_t weight = 0;  // of `second`, out of 256; zero: `first` alone
};

// Scales the way pixel art stays crisp: by the largest whole factor with each pixel
// repeated, then by linear interpolation for the rest. A whole factor gives exact blocks;
// a factor below one interpolates between neighbours.
std::vector<Tap> ScaleTaps(int pictureLength, int sourceLength);

// The largest whole factor the first step uses (at least 1).
int WholeFactor(int pictureLength, int sourceLength);

struct Letterbox {
    RECT picture{};         // where the framebuffer goes, in window pixels
    bool identity = false;  // same size: a row copy does it
};

// Fits a sourceW × sourceH picture into a windowW × windowH window. Sizes must be positive.
Letterbox FitPicture(int sourceW, int sourceH, int windowW, int windowH);

// Maps a window point back to the framebuffer pixel under it; false when it falls on a bar.
bool WindowToFramebuffer(const Letterbox& box, int sourceW, int sourceH, int wx, int wy, int* fx,
                         int* fy);

}  // namespace vrel::screen
