#include "tools/moviemaker/picture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "tools/moviemaker/frame_marker.h"

namespace vrel::moviemaker {
namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t Rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

uint32_t* Row(uint32_t* xrgb, int pitchPixels, int y) {
    return xrgb + static_cast<std::ptrdiff_t>(y) * pitchPixels;
}

// A smooth cycle through saturated colours, for the plasma.
std::vector<uint32_t> MakePalette() {
    std::vector<uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) {
        double a = 2 * kPi * i / 256.0;
        int r = static_cast<int>(127.5 + 127.5 * std::sin(a));
        int g = static_cast<int>(127.5 + 127.5 * std::sin(a + 2 * kPi / 3));
        int b = static_cast<int>(127.5 + 127.5 * std::sin(a + 4 * kPi / 3));
        palette[i] = Rgb(r, g, b);
    }
    return palette;
}

std::vector<uint8_t> MakeSine() {
    std::vector<uint8_t> sine(256);
    for (int i = 0; i < 256; ++i) {
        sine[i] = static_cast<uint8_t>(127.5 + 127.5 * std::sin(2 * kPi * i / 256.0));
    }
    return sine;
}

}  // namespace

PatchRect TestPatternPatch(int width, int height, int which) {
    int top = height / 12;
    int bottom = height / 3;
    return PatchRect{which * width / 3 + width / 24, top, (which + 1) * width / 3 - width / 24,
                     bottom};
}

PicturePainter::PicturePainter(const PictureSettings& settings)
    : settings_(settings),
      contentBottom_(settings.marker ? FrameMarkerTop(settings.width, settings.height)
                                     : settings.height),
      sine_(MakeSine()),
      palette_(MakePalette()) {}

bool PicturePainter::IsFlashFrame(int index) const {
    return settings_.flashes && settings_.fps > 0 && index % settings_.fps == 0;
}

void PicturePainter::Paint(int index, uint32_t* xrgb, int pitchPixels) const {
    if (IsFlashFrame(index)) {
        FillAboveMarker(0x00FFFFFF, xrgb, pitchPixels);
    } else if (settings_.kind == PictureKind::Plasma) {
        PaintPlasma(index, xrgb, pitchPixels);
        PaintBalls(index, xrgb, pitchPixels);
    } else {
        PaintTestPattern(index, xrgb, pitchPixels);
    }
    if (settings_.marker) {
        DrawFrameMarker(xrgb, settings_.width, settings_.height, pitchPixels,
                        index & kMarkerMaxIndex);
    }
}

void PicturePainter::FillAboveMarker(uint32_t color, uint32_t* xrgb, int pitchPixels) const {
    for (int y = 0; y < contentBottom_; ++y) {
        std::fill_n(Row(xrgb, pitchPixels, y), settings_.width, color);
    }
}

// A dim background that changes with the frame, three solid patches and a bar that moves
// one step per frame: enough motion for the encoder, known colours for the tests.
void PicturePainter::PaintTestPattern(int index, uint32_t* xrgb, int pitchPixels) const {
    const int w = settings_.width;
    for (int y = 0; y < contentBottom_; ++y) {
        uint32_t* row = Row(xrgb, pitchPixels, y);
        for (int x = 0; x < w; ++x) {
            row[x] = Rgb(40 + (x * 80 / w), 40 + ((y + index) % 64), 90);
        }
    }
    const uint32_t patchColors[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    for (int which = 0; which < 3; ++which) {
        PatchRect p = TestPatternPatch(w, settings_.height, which);
        for (int y = p.top; y < p.bottom; ++y) {
            std::fill(Row(xrgb, pitchPixels, y) + p.left, Row(xrgb, pitchPixels, y) + p.right,
                      patchColors[which]);
        }
    }
    int barWidth = std::max(4, w / 20);
    int barLeft = (index * 4) % std::max(1, w - barWidth);
    for (int y = settings_.height / 3 + 8; y < contentBottom_ - 8; ++y) {
        std::fill_n(Row(xrgb, pitchPixels, y) + barLeft, barWidth, 0x00E0E040u);
    }
}

// The classic sum-of-sines plasma, scrolled through the palette over time.
void PicturePainter::PaintPlasma(int index, uint32_t* xrgb, int pitchPixels) const {
    const int w = settings_.width;
    const int h = settings_.height;
    for (int y = 0; y < contentBottom_; ++y) {
        uint32_t* row = Row(xrgb, pitchPixels, y);
        int sy = sine_[(y * 256 / h + index * 2) & 255];
        for (int x = 0; x < w; ++x) {
            int sx = sine_[(x * 512 / w + index * 3) & 255];
            int sxy = sine_[((x + y) * 256 / (w + h) * 3 - index * 5) & 255];
            int sr =
                sine_[(((x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2)) / 64 + index * 4) &
                      255];
            row[x] = palette_[(sx + sy + sxy + sr + index) / 4 & 255];
        }
    }
}

// Three balls circling over the plasma.
void PicturePainter::PaintBalls(int index, uint32_t* xrgb, int pitchPixels) const {
    const int w = settings_.width;
    const int h = settings_.height;
    const int radius = std::max(4, h / 12);
    const uint32_t colors[3] = {0x00FFFFFF, 0x00FFD040, 0x0040D0FF};
    for (int ball = 0; ball < 3; ++ball) {
        double angle = 2 * kPi * (index / 150.0 + ball / 3.0);
        int cx = w / 2 + static_cast<int>(std::cos(angle) * w / 3);
        int cy = contentBottom_ / 2 + static_cast<int>(std::sin(2 * angle) * contentBottom_ / 4);
        for (int y = std::max(0, cy - radius); y < std::min(contentBottom_, cy + radius); ++y) {
            for (int x = std::max(0, cx - radius); x < std::min(w, cx + radius); ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) {
                    Row(xrgb, pitchPixels, y)[x] = colors[ball];
                }
            }
        }
    }
}

}  // namespace vrel::moviemaker
