// The pixel helpers under text and fills: blending and 64-bit clipping.
#include <gtest/gtest.h>

#include <climits>

#include "runtime/gdi/raster.h"
#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

TEST(BlendXrgb, CoverageMixesEachChannel) {
    struct Case {
        uint32_t src;
        uint32_t dst;
        uint32_t coverage;
        uint32_t expected;
    };
    const Case cases[] = {
        {0x00F80000, 0x00123456, 255, 0x00F80000},  // full coverage: the source exactly
        {0x00F80000, 0x00123456, 0, 0x00123456},    // none: the destination
        {0x00FFFFFF, 0x00000000, 128, 0x00808080},  // 255 × 128 / 255
        {0x00FFFFFF, 0x00000000, 1, 0x00010101},   {0x000000F8, 0x00000000, 128, 0x0000007C},
        {0x00000000, 0x00FFFFFF, 64, 0x00BFBFBF},  // (255 × 191 + 127) / 255 = 191
        {0x00FF0000, 0x0000FF00, 51, 0x0033CC00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BlendXrgb(c.src, c.dst, c.coverage), c.expected)
            << std::hex << c.src << " over " << c.dst << " at " << std::dec << c.coverage;
    }
}

TEST(ClipBox, CutsSixtyFourBitRectanglesToTheClip) {
    struct Case {
        int64_t left, top, right, bottom;
        RECT expected;
    };
    const RECT clip{10, 20, 110, 70};
    const Case cases[] = {
        {0, 0, 1000, 1000, {10, 20, 110, 70}},
        {30, 30, 40, 40, {30, 30, 40, 40}},
        {105, 65, 200, 200, {105, 65, 110, 70}},
        {110, 20, 120, 70, {0, 0, 0, 0}},  // touches the right edge only
        {0, 0, 10, 20, {0, 0, 0, 0}},
        {int64_t{INT_MAX} * 2, 0, int64_t{INT_MAX} * 3, 50, {0, 0, 0, 0}},
        {int64_t{INT_MIN} * 2, 25, 50, 30, {10, 25, 50, 30}},
        {50, 50, 40, 60, {0, 0, 0, 0}},  // inverted
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClipBox(c.left, c.top, c.right, c.bottom, clip), c.expected)
            << c.left << "," << c.top << "," << c.right << "," << c.bottom;
    }
}

TEST(BlendCoverage, DrawsOnlyCoveredPixelsInsideTheClip) {
    // A 3 × 2 image: full, partial, none / none, full, partial.
    const uint8_t coverage[] = {255, 128, 0, 0, 255, 64};
    Canvas canvas(8, 8, 0);
    const RECT clip{0, 0, 4, 8};  // cuts the image's last column at x = 4
    BlendCoverage(canvas.Buffer(), clip, 2, 3, {coverage, 3, 2}, 0x00FFFFFF);
    const uint32_t expected[2][3] = {{0x00FFFFFF, 0x00808080, 0}, {0, 0x00FFFFFF, 0}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(canvas.At(2 + x, 3 + y), expected[y][x]) << x << "," << y;
        }
    }
    EXPECT_EQ(canvas.ChangedFrom(0).count, 3);
    EXPECT_TRUE(canvas.GuardIntact());
}

}  // namespace
}  // namespace vrel::gdi::test
