#include "runtime/ddraw/blitter.h"

#include <algorithm>
#include <cstring>

#include "runtime/common/rect.h"

namespace vrel::ddraw {
namespace {

// Rectangle sides may be anywhere in LONG's range, so lengths are taken in 64 bits.
int64_t Length(LONG from, LONG to) {
    return int64_t{to} - int64_t{from};
}

// The smallest rectangle holding every clip rectangle's part inside `area`.
RECT DrawnBounds(std::span<const RECT> clips, const RECT& area) {
    RECT box{0, 0, 0, 0};
    for (const RECT& clip : clips) {
        RECT part = IntersectRects(clip, area);
        if (IsEmptyRect(part)) {
            continue;
        }
        if (IsEmptyRect(box)) {
            box = part;
            continue;
        }
        box = {std::min(box.left, part.left), std::min(box.top, part.top),
               std::max(box.right, part.right), std::max(box.bottom, part.bottom)};
    }
    return box;
}

// (*table)[k] = srcStart + (first + k - dstStart) * srcLen / dstLen for first + k in
// [first, last), stepped without a division per entry but with the same exact result.
void BuildIndexTable(LONG dstStart, int64_t dstLen, LONG srcStart, int64_t srcLen, LONG first,
                     LONG last, std::vector<int32_t>* table) {
    table->resize(static_cast<size_t>(Length(first, last)));
    const int64_t scaled = Length(dstStart, first) * srcLen;
    int64_t index = scaled / dstLen;
    int64_t remainder = scaled % dstLen;
    const int64_t wholeStep = srcLen / dstLen;
    const int64_t partStep = srcLen % dstLen;
    for (int32_t& entry : *table) {
        entry = static_cast<int32_t>(srcStart + index);
        index += wholeStep;
        remainder += partStep;
        if (remainder >= dstLen) {
            remainder -= dstLen;
            ++index;
        }
    }
}

struct AddressRange {
    uintptr_t first;
    uintptr_t last;  // one past the end
};

AddressRange RangeOf(const PixelBuffer& buffer, const RECT& r) {
    auto a = reinterpret_cast<uintptr_t>(buffer.Row(r.top) + r.left);
    auto b = reinterpret_cast<uintptr_t>(buffer.Row(r.bottom - 1) + r.right);
    return {std::min(a, b), std::max(a, b)};
}

bool MayOverlap(const PixelBuffer& a, const RECT& ra, const PixelBuffer& b, const RECT& rb) {
    AddressRange x = RangeOf(a, ra);
    AddressRange y = RangeOf(b, rb);
    return x.first < y.last && y.first < x.last;
}

// Copies `r` of `src` into `store` and returns it as a buffer of its own.
PixelBuffer CopyArea(const PixelBuffer& src, const RECT& r, std::vector<uint32_t>* store) {
    const int width = RectWidth(r);
    const int height = RectHeight(r);
    store->resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    PixelBuffer copy{store->data(), width, height, width};
    for (int y = 0; y < height; ++y) {
        std::memcpy(copy.Row(y), src.Row(r.top + y) + r.left, sizeof(uint32_t) * width);
    }
    return copy;
}

// Source coordinates for the drawn area, as built by BuildIndexTable.
struct SourceIndex {
    const int32_t* columns;
    const int32_t* rows;
    RECT drawn;              // the area the tables cover
    bool contiguousColumns;  // 1:1 horizontally: a row is one memcpy
};

// Draws one clip rectangle (inside the drawn area). Destination rows that repeat the
// previous source row are copied from the row just drawn.
void DrawPart(const PixelBuffer& dst, const PixelBuffer& from, const RECT& part,
              const SourceIndex& index) {
    const size_t width = static_cast<size_t>(RectWidth(part));
    const int32_t* columns = index.columns + (part.left - index.drawn.left);
    int32_t previousRow = -1;
    for (LONG y = part.top; y < part.bottom; ++y) {
        uint32_t* out = dst.Row(y) + part.left;
        const int32_t sourceRow = index.rows[y - index.drawn.top];
        if (sourceRow == previousRow) {
            std::memcpy(out, dst.Row(y - 1) + part.left, sizeof(uint32_t) * width);
            continue;
        }
        previousRow = sourceRow;
        const uint32_t* in = from.Row(sourceRow);
        if (index.contiguousColumns) {
            std::memcpy(out, in + columns[0], sizeof(uint32_t) * width);
            continue;
        }
        for (size_t i = 0; i < width; ++i) {
            out[i] = in[columns[i]];
        }
    }
}

}  // namespace

bool StretchBlit(const PixelBuffer& dst, const PixelBuffer& src, const StretchMap& map,
                 std::span<const RECT> clips, BlitScratch* scratch) {
    if (IsEmptyRect(map.dst) || IsEmptyRect(map.src) || src.Empty() ||
        !RectContains(src.Bounds(), map.src)) {
        return false;
    }
    if (dst.Empty()) {
        return true;
    }
    const RECT area = IntersectRects(map.dst, dst.Bounds());
    const RECT drawn = DrawnBounds(clips, area);
    if (IsEmptyRect(drawn)) {
        return true;
    }
    PixelBuffer from = src;
    RECT srcRect = map.src;
    if (MayOverlap(src, srcRect, dst, drawn)) {
        from = CopyArea(src, srcRect, &scratch->sourceCopy);
        srcRect = from.Bounds();
    }
    const int64_t dstWidth = Length(map.dst.left, map.dst.right);
    BuildIndexTable(map.dst.left, dstWidth, srcRect.left, RectWidth(srcRect), drawn.left,
                    drawn.right, &scratch->sourceColumns);
    BuildIndexTable(map.dst.top, Length(map.dst.top, map.dst.bottom), srcRect.top,
                    RectHeight(srcRect), drawn.top, drawn.bottom, &scratch->sourceRows);
    const SourceIndex index{scratch->sourceColumns.data(), scratch->sourceRows.data(), drawn,
                            dstWidth == RectWidth(srcRect)};
    for (const RECT& clip : clips) {
        const RECT part = IntersectRects(clip, area);
        if (!IsEmptyRect(part)) {
            DrawPart(dst, from, part, index);
        }
    }
    return true;
}

void FillRects(const PixelBuffer& dst, const RECT& area, std::span<const RECT> clips,
               uint32_t color) {
    const RECT inside = IntersectRects(area, dst.Bounds());
    for (const RECT& clip : clips) {
        const RECT part = IntersectRects(clip, inside);
        for (LONG y = part.top; y < part.bottom; ++y) {
            std::fill_n(dst.Row(y) + part.left, RectWidth(part), color);
        }
    }
}

void ClipRegion(std::span<const RECT> region, const RECT& area, std::vector<RECT>* out) {
    out->clear();
    for (const RECT& r : region) {
        const RECT part = IntersectRects(r, area);
        if (!IsEmptyRect(part)) {
            out->push_back(part);
        }
    }
}

}  // namespace vrel::ddraw
