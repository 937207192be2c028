// The software blitter behind IDirectDrawSurface::Blt: nearest-neighbour stretching and
// solid fills over plain pixel buffers, drawn only inside a list of clip rectangles.
// Knows nothing of COM or the screen, so it is tested on its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/common/pixel_buffer.h"

namespace vrel::ddraw {

// Buffers one destination keeps between blits, so that steady-state blits allocate nothing.
struct BlitScratch {
    std::vector<int32_t> sourceColumns;  // source x for each column of the drawn area
    std::vector<int32_t> sourceRows;     // source y for each row of the drawn area
    std::vector<uint32_t> sourceCopy;    // the source area, when it overlaps the destination
    std::vector<RECT> clips;             // the clip list of the blit in progress
};

// The whole of `dst` shows the whole of `src`: destination pixel i (counted from the
// rectangle's edge) takes source pixel i * srcSize / dstSize, per axis, exactly.
// `dst` may reach outside the destination buffer (a clipped blit); only what lies inside
// the buffer and the clip rectangles is drawn, with the mapping of the whole rectangle.
struct StretchMap {
    RECT dst;
    RECT src;
};

// Draws `map` from `src` into `dst`. `src` and `dst` may share pixels, overlapping or not.
// False (and nothing drawn) when map.src is empty or not inside `src`, or map.dst is empty.
bool StretchBlit(const PixelBuffer& dst, const PixelBuffer& src, const StretchMap& map,
                 std::span<const RECT> clips, BlitScratch* scratch);

// Fills the part of `area` inside both `dst` and the clip rectangles with `color`.
void FillRects(const PixelBuffer& dst, const RECT& area, std::span<const RECT> clips,
               uint32_t color);

// *out = every rectangle of `region` cut to `area`, empty pieces left out.
void ClipRegion(std::span<const RECT> region, const RECT& area, std::vector<RECT>* out);

}  // namespace vrel::ddraw
