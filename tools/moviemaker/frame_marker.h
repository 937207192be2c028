// The frame marker: a frame's index drawn as big black and white cells at the bottom of the
// picture, so it survives lossy coding and scaling and can be read back from any surface.
//
// Layout (scales with the picture): the bottom sixth of the picture is two rows of 16 cells
// spanning the full width. The upper row holds the index's 16 bits, most significant first
// (white = 1); the lower row holds their complement, which lets the reader tell a marker from
// anything else. Header-only so tests and tools can use it without linking the movie maker.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrel::moviemaker {

constexpr int kMarkerBits = 16;
constexpr int kMarkerMaxIndex = (1 << kMarkerBits) - 1;

struct MarkerCell {
    int left;
    int top;
    int right;  // exclusive
    int bottom;
};

// The cell for `bit` (0 = most significant) in `row` (0 = value, 1 = complement).
inline MarkerCell FrameMarkerCell(int width, int height, int row, int bit) {
    int rowHeight = height / 12;
    int top = height - (2 - row) * rowHeight;
    return MarkerCell{bit * width / kMarkerBits, top, (bit + 1) * width / kMarkerBits,
                      top + rowHeight};
}

// The top of the marker band: pictures keep their content above it.
inline int FrameMarkerTop(int width, int height) {
    return FrameMarkerCell(width, height, 0, 0).top;
}

// Draws `index` (0..kMarkerMaxIndex) into 32-bit XRGB pixels.
inline void DrawFrameMarker(uint32_t* xrgb, int width, int height, int pitchPixels, int index) {
    for (int row = 0; row < 2; ++row) {
        for (int bit = 0; bit < kMarkerBits; ++bit) {
            bool one = ((index >> (kMarkerBits - 1 - bit)) & 1) != (row == 1);
            uint32_t color = one ? 0x00FFFFFFu : 0x00000000u;
            MarkerCell c = FrameMarkerCell(width, height, row, bit);
            for (int y = c.top; y < c.bottom; ++y) {
                for (int x = c.left; x < c.right; ++x) {
                    xrgb[static_cast<std::ptrdiff_t>(y) * pitchPixels + x] = color;
                }
            }
        }
    }
}

namespace detail {

// Mean brightness (0..255) of the inner half of a cell, away from edges that coding blurs.
inline int CellBrightness(const uint32_t* xrgb, int pitchPixels, const MarkerCell& c) {
    int marginX = (c.right - c.left) / 4;
    int marginY = (c.bottom - c.top) / 4;
    long sum = 0;
    long count = 0;
    for (int y = c.top + marginY; y < c.bottom - marginY; ++y) {
        for (int x = c.left + marginX; x < c.right - marginX; ++x) {
            uint32_t p = xrgb[static_cast<std::ptrdiff_t>(y) * pitchPixels + x];
            sum += (((p >> 16) & 0xFF) + 2 * ((p >> 8) & 0xFF) + (p & 0xFF)) / 4;
            ++count;
        }
    }
    return count == 0 ? -1 : static_cast<int>(sum / count);
}

// 1 for a clearly white cell, 0 for a clearly black one, -1 for anything in between.
inline int CellBit(const uint32_t* xrgb, int pitchPixels, const MarkerCell& c) {
    int brightness = CellBrightness(xrgb, pitchPixels, c);
    if (brightness < 0) {
        return -1;
    }
    if (brightness >= 160) {
        return 1;
    }
    return brightness <= 96 ? 0 : -1;
}

}  // namespace detail

// The index shown in a picture of width x height XRGB pixels (xrgb points at its top-left),
// or -1 when no readable marker is there.
inline int ReadFrameMarker(const uint32_t* xrgb, int width, int height, int pitchPixels) {
    if (xrgb == nullptr || width < 4 * kMarkerBits || height < 48 || pitchPixels < width) {
        return -1;
    }
    int index = 0;
    for (int bit = 0; bit < kMarkerBits; ++bit) {
        int value = detail::CellBit(xrgb, pitchPixels, FrameMarkerCell(width, height, 0, bit));
        int check = detail::CellBit(xrgb, pitchPixels, FrameMarkerCell(width, height, 1, bit));
        if (value < 0 || check < 0 || value == check) {
            return -1;
        }
        index = (index << 1) | value;
    }
    return index;
}

}  // namespace vrel::moviemaker
