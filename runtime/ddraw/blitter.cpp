#include "runtime/ddraw/blitter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Copies a row of pixels. Not through memcpy: for rows this long glibc's memcpy uses
// `rep movsb`, which on some processors (an AMD EPYC here) runs ten times slower when the
// destination lies 1 to 31 bytes past the source modulo 4 KiB. Two heap blocks of the
// same page-multiple size (a 640 x 480 framebuffer and surface) sit exactly 16 bytes apart
// that way. A plain vector loop has no such case and is as fast otherwise.
void CopyRow(uint32_t* out, const uint32_t* in, size_t count) {
#if defined(__SSE2__)
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), b);
    }
    for (; i < count; ++i) {
        out[i] = in[i];
    }
#else
    std::memcpy(out, in, count * sizeof(uint32_t));
#endif
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
        CopyRow(copy.Row(y), src.Row(r.top + y) + r.left, static_cast<size_t>(width));
    }
    return copy;
}

// out[i] = in[columns[i]]. The pointers never alias; saying so lets the compiler keep the
// table in registers instead of reloading it after every store.
void GatherRow(uint32_t* __restrict out, const uint32_t* __restrict in,
               const int32_t* __restrict columns, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        out[i] = in[columns[i]];
    }
}

// GatherRow for a table that doubles every source pixel (destination twice as wide as
// the source): each source pixel is loaded once and stored twice, four at a time.
void DoubleRow(uint32_t* out, const uint32_t* in, const int32_t* columns, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    if (count >= 2 && columns[0] != columns[1]) {
        out[0] = in[columns[0]];  // the clip starts on the second pixel of a pair
        i = 1;
    }
    if (i + 8 <= count) {
        for (const uint32_t* from = in + columns[i]; i + 8 <= count; i += 8, from += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi32(four, four));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4),
                             _mm_unpackhi_epi32(four, four));
        }
    }
#endif
    GatherRow(out + i, in, columns + i, count - i);
}

// Source coordinates for the drawn area, as built by BuildIndexTable.
struct SourceIndex {
    const int32_t* columns;
    const int32_t* rows;
    RECT drawn;              // the area the tables cover
    bool contiguousColumns;  // 1:1 horizontally: a row is one straight copy
    bool doubledColumns;     // 1:2 horizontally: every source pixel twice
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
            CopyRow(out, dst.Row(y - 1) + part.left, width);
            continue;
        }
        previousRow = sourceRow;
        const uint32_t* in = from.Row(sourceRow);
        if (index.contiguousColumns) {
            CopyRow(out, in + columns[0], width);
            continue;
        }
        if (index.doubledColumns) {
            DoubleRow(out, in, columns, width);
        } else {
            GatherRow(out, in, columns, width);
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
    const int64_t srcWidth = RectWidth(srcRect);
    const SourceIndex index{scratch->sourceColumns.data(), scratch->sourceRows.data(), drawn,
                            dstWidth == srcWidth, dstWidth == 2 * srcWidth};
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
