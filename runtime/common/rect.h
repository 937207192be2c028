// Rectangle arithmetic shared by window regions and blit clipping. Rectangles are
// half-open: right and bottom are outside.
#pragma once

#include <vector>

#include "platform/win32.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace vrel {

inline bool IsEmptyRect(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
inline LONG RectWidth(const RECT& r) {
    return r.right - r.left;
}
inline LONG RectHeight(const RECT& r) {
    return r.bottom - r.top;
}

// The common part of a and b; empty (all zero) when they do not meet.
RECT IntersectRects(const RECT& a, const RECT& b);
// True when inner lies wholly inside outer.
bool RectContains(const RECT& outer, const RECT& inner);
// Removes `hole` from every rectangle of `region`; the result stays a set of disjoint
// rectangles.
std::vector<RECT> SubtractRect(const std::vector<RECT>& region, const RECT& hole);
// The same into `out` (cleared first), reusing its storage: no allocation once it is big
// enough.
void SubtractRectInto(const std::vector<RECT>& region, const RECT& hole, std::vector<RECT>* out);

}  // namespace vrel
