// Pixel work for GDI: clipped rectangle fills and coverage blending into XRGB buffers.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "runtime/common/pixel_buffer.h"

namespace vrel::gdi {

// The part of [left, right) × [top, bottom) inside clip. Takes 64-bit coordinates so that
// logical coordinates plus an origin never overflow; empty (all zero) when nothing is left.
RECT ClipBox(int64_t left, int64_t top, int64_t right, int64_t bottom, const RECT& clip);

// Fills an already clipped rectangle.
void FillClipped(const PixelBuffer& target, const RECT& box, uint32_t xrgb);

// Mixes src over dst with coverage 0..255 per channel, rounded; 255 gives src exactly.
// Red and blue travel together in one word (each lane's product fits in 16 bits), and
// (t + (t >> 8)) >> 8 with t = x + 128 is x / 255 rounded for every x up to 255 × 255.
constexpr uint32_t BlendXrgb(uint32_t src, uint32_t dst, uint32_t coverage) {
    const uint32_t inverse = 255 - coverage;
    uint32_t rb = (src & 0x00FF00FFu) * coverage + (dst & 0x00FF00FFu) * inverse + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t g = ((src >> 8) & 0xFFu) * coverage + ((dst >> 8) & 0xFFu) * inverse + 0x80u;
    g = (g + (g >> 8)) >> 8;
    return rb | (g << 8);
}

// A coverage bitmap (width × height bytes, rows packed) to draw with its top-left at (x, y).
struct CoverageImage {
    const uint8_t* coverage;
    int width;
    int height;
};

// Draws the image in `xrgb`, blending partly covered pixels; only pixels inside clip change.
void BlendCoverage(const PixelBuffer& target, const RECT& clip, int64_t x, int64_t y,
                   const CoverageImage& image, uint32_t xrgb);

}  // namespace vrel::gdi
