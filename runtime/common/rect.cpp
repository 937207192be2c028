#include "runtime/common/rect.h"

#include <algorithm>

namespace vrel {

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return IsEmptyRect(r) ? RECT{0, 0, 0, 0} : r;
}

bool RectContains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

namespace {

// Splits r around the hole into up to four bands: above, below, left and right of it.
void AppendOutside(const RECT& r, const RECT& hole, std::vector<RECT>* out) {
    RECT cut = IntersectRects(r, hole);
    if (IsEmptyRect(cut)) {
        out->push_back(r);
        return;
    }
    auto add = [out](RECT piece) {
        if (!IsEmptyRect(piece)) {
            out->push_back(piece);
        }
    };
    add({r.left, r.top, r.right, cut.top});
    add({r.left, cut.bottom, r.right, r.bottom});
    add({r.left, cut.top, cut.left, cut.bottom});
    add({cut.right, cut.top, r.right, cut.bottom});
}

}  // namespace

std::vector<RECT> SubtractRect(const std::vector<RECT>& region, const RECT& hole) {
    std::vector<RECT> out;
    SubtractRectInto(region, hole, &out);
    return out;
}

void SubtractRectInto(const std::vector<RECT>& region, const RECT& hole, std::vector<RECT>* out) {
    out->clear();
    for (const RECT& r : region) {
        AppendOutside(r, hole, out);
    }
}

}  // namespace vrel
