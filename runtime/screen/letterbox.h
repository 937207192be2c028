// Where the framebuffer lands in a real window of another size: scaled to fit with its
// aspect kept, centred, black bars around it; plus the column and row lookup that a
// nearest-neighbour scaler needs, computed once per size change.
#pragma once

#include <vector>

#include "platform/win32.h"

namespace vrel::screen {

struct Letterbox {
    RECT picture{};         // where the framebuffer goes, in window pixels
    std::vector<int> srcX;  // for each picture column, the framebuffer column
    std::vector<int> srcY;  // for each picture row, the framebuffer row
    bool identity = false;  // same size: a row copy does it
};

// Fits a sourceW × sourceH picture into a windowW × windowH window. Sizes must be positive.
Letterbox FitPicture(int sourceW, int sourceH, int windowW, int windowH);

// Maps a window point back to the framebuffer; false when it falls on a bar.
bool WindowToFramebuffer(const Letterbox& box, int sourceW, int sourceH, int wx, int wy, int* fx,
                         int* fy);

}  // namespace vrel::screen
