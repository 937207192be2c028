#include "tools/moviemaker/yuv.h"

#include <cstddef>

namespace vrel::moviemaker {
namespace {

struct Rgb {
    int r, g, b;
};

Rgb Split(uint32_t p) {
    return Rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
               static_cast<int>(p & 0xFF)};
}

uint8_t Luma(Rgb c) {
    return static_cast<uint8_t>(((66 * c.r + 129 * c.g + 25 * c.b + 128) >> 8) + 16);
}

uint8_t ChromaU(Rgb c) {
    return static_cast<uint8_t>(((-38 * c.r - 74 * c.g + 112 * c.b + 128) >> 8) + 128);
}

uint8_t ChromaV(Rgb c) {
    return static_cast<uint8_t>(((112 * c.r - 94 * c.g - 18 * c.b + 128) >> 8) + 128);
}

// The mean colour of the (up to) 2 x 2 block whose top-left is (x, y).
Rgb BlockMean(const uint32_t* xrgb, int width, int height, int pitchPixels, int x, int y) {
    Rgb sum{0, 0, 0};
    int count = 0;
    for (int dy = 0; dy < 2 && y + dy < height; ++dy) {
        for (int dx = 0; dx < 2 && x + dx < width; ++dx) {
            Rgb c = Split(xrgb[static_cast<std::ptrdiff_t>(y + dy) * pitchPixels + x + dx]);
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
            ++count;
        }
    }
    return Rgb{sum.r / count, sum.g / count, sum.b / count};
}

}  // namespace

void XrgbToYuv420(const uint32_t* xrgb, int width, int height, int pitchPixels, AVFrame* frame) {
    for (int y = 0; y < height; ++y) {
        uint8_t* out = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        const uint32_t* in = xrgb + static_cast<std::ptrdiff_t>(y) * pitchPixels;
        for (int x = 0; x < width; ++x) {
            out[x] = Luma(Split(in[x]));
        }
    }
    for (int y = 0; y < height; y += 2) {
        uint8_t* u = frame->data[1] + static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[1];
        uint8_t* v = frame->data[2] + static_cast<std::ptrdiff_t>(y / 2) * frame->linesize[2];
        for (int x = 0; x < width; x += 2) {
            Rgb mean = BlockMean(xrgb, width, height, pitchPixels, x, y);
            u[x / 2] = ChromaU(mean);
            v[x / 2] = ChromaV(mean);
        }
    }
}

}  // namespace vrel::moviemaker
