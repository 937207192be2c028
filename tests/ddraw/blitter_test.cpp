// The software blitter on plain buffers: the exact stretch mapping under clips, refused
// rectangles, clip regions. (Overlap, doubling and fills are owned by the Blt tests.)
#include "runtime/ddraw/blitter.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/common/rect.h"
#include "tests/ddraw/test_image.h"

namespace vrel::ddraw {
namespace {

using testing::TestImage;

constexpr uint32_t kUntouched = 0x00C0FFEEu;

// What Blt promises: offset i into a destination span of dstLen pixels shows offset
// i * srcLen / dstLen of the source span, in exact integer arithmetic.
int64_t SourceOffset(int64_t i, int64_t srcLen, int64_t dstLen) {
    return i * srcLen / dstLen;
}

bool InsideAny(const std::vector<RECT>& rects, int x, int y) {
    for (const RECT& r : rects) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            return true;
        }
    }
    return false;
}

std::string Describe(const RECT& r) {
    std::ostringstream s;
    s << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
    return s.str();
}

// Checks every destination pixel against the mapping (inside the rectangle and the clips)
// or kUntouched (outside), and the guard band; reports the first few differences.
void ExpectMapped(const TestImage& dst, const TestImage& src, const StretchMap& map,
                  const std::vector<RECT>& clips, const std::string& name) {
    const int64_t dw = int64_t{map.dst.right} - map.dst.left;
    const int64_t dh = int64_t{map.dst.bottom} - map.dst.top;
    int reported = 0;
    for (int y = 0; y < dst.height(); ++y) {
        for (int x = 0; x < dst.width(); ++x) {
            bool drawn = x >= map.dst.left && x < map.dst.right && y >= map.dst.top &&
                         y < map.dst.bottom && InsideAny(clips, x, y);
            uint32_t expected = kUntouched;
            if (drawn) {
                auto sx =
                    map.src.left + SourceOffset(x - int64_t{map.dst.left}, RectWidth(map.src), dw);
                auto sy =
                    map.src.top + SourceOffset(y - int64_t{map.dst.top}, RectHeight(map.src), dh);
                expected = src.At(static_cast<int>(sx), static_cast<int>(sy));
            }
            if (dst.At(x, y) != expected && reported++ < 5) {
                ADD_FAILURE() << name << ": pixel (" << x << "," << y << ") expected 0x" << std::hex
                              << expected << " actual 0x" << dst.At(x, y);
            }
        }
    }
    EXPECT_TRUE(dst.GuardIntact()) << name << ": wrote outside the destination";
}

struct StretchCase {
    const char* name;
    int srcWidth, srcHeight;
    RECT src;
    int dstWidth, dstHeight;
    RECT dst;
    std::vector<RECT> clips = {};  // empty: the whole destination buffer
};

const RECT kHoleInScreen{200, 150, 440, 330};

std::vector<StretchCase> StretchCases() {
    const std::vector<RECT> screen{{0, 0, 640, 480}};
    return {
        {"double 320x240 onto 640x480", 320, 240, {0, 0, 320, 240}, 640, 480, {0, 0, 640, 480}},
        {"copy 640x480", 640, 480, {0, 0, 640, 480}, 640, 480, {0, 0, 640, 480}},
        {"200x150 onto 640x480", 200, 150, {0, 0, 200, 150}, 640, 480, {0, 0, 640, 480}},
        {"shrink 640x480 to 200x150", 640, 480, {0, 0, 640, 480}, 200, 150, {0, 0, 200, 150}},
        {"odd ratio 7x5 onto 13x11", 7, 5, {0, 0, 7, 5}, 13, 11, {0, 0, 13, 11}},
        {"inner rectangles", 160, 120, {10, 20, 110, 70}, 320, 200, {5, 7, 305, 157}},
        {"one pixel over everything", 3, 3, {1, 1, 2, 2}, 40, 30, {0, 0, 40, 30}},
        {"one column widened", 1, 100, {0, 0, 1, 100}, 300, 50, {0, 0, 300, 50}},
        {"destination beyond top-left",
         320,
         240,
         {0, 0, 320, 240},
         640,
         480,
         {-100, -50, 540, 430}},
        {"destination beyond bottom-right", 100, 100, {0, 0, 100, 100}, 64, 48, {30, 20, 530, 420}},
        {"destination at LONG's extremes",
         64,
         48,
         {0, 0, 64, 48},
         64,
         48,
         {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
        {"clip list with a hole",
         320,
         240,
         {0, 0, 320, 240},
         640,
         480,
         {0, 0, 640, 480},
         SubtractRect(screen, kHoleInScreen)},
        {"clips partly off the buffer",
         320,
         240,
         {0, 0, 320, 240},
         640,
         480,
         {0, 0, 640, 480},
         {{-10, -10, 50, 50}, {600, 400, 700, 500}}},
        {"doubled, clips at odd columns",
         320,
         240,
         {0, 0, 320, 240},
         640,
         480,
         {0, 0, 640, 480},
         {{3, 5, 201, 77}, {0, 100, 1, 101}, {630, 200, 640, 210}, {7, 300, 16, 302}}},
        {"doubled, destination from an odd negative x",
         100,
         50,
         {0, 0, 100, 50},
         150,
         60,
         {-41, 0, 159, 100}},
        {"doubled inner rectangles", 64, 48, {7, 3, 40, 30}, 100, 80, {1, 2, 67, 56}},
        {"clip narrower than destination",
         200,
         150,
         {0, 0, 200, 150},
         640,
         480,
         {0, 0, 640, 480},
         {{123, 77, 129, 401}}},
    };
}

TEST(StretchBlitTest, EveryPixelFollowsTheMapping) {
    for (const StretchCase& c : StretchCases()) {
        TestImage src(c.srcWidth, c.srcHeight);
        src.FillUnique();
        TestImage dst(c.dstWidth, c.dstHeight, kUntouched);
        std::vector<RECT> clips = c.clips;
        if (clips.empty()) {
            clips.push_back(dst.View().Bounds());
        }
        BlitScratch scratch;
        StretchMap map{c.dst, c.src};
        ASSERT_TRUE(StretchBlit(dst.View(), src.View(), map, clips, &scratch)) << c.name;
        ExpectMapped(dst, src, map, clips, c.name);
    }
}

struct RefusedCase {
    const char* name;
    RECT src;
    RECT dst;
};

TEST(StretchBlitTest, RefusesBadRectanglesWithoutDrawing) {
    const RefusedCase cases[] = {
        {"empty source", {5, 5, 5, 10}, {0, 0, 10, 10}},
        {"inverted source", {10, 10, 5, 5}, {0, 0, 10, 10}},
        {"empty destination", {0, 0, 10, 10}, {4, 4, 4, 20}},
        {"inverted destination", {0, 0, 10, 10}, {20, 20, 4, 4}},
        {"source past the right edge", {0, 0, 33, 10}, {0, 0, 10, 10}},
        {"source above the top", {0, -1, 10, 10}, {0, 0, 10, 10}},
        {"source at LONG's extremes", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 10, 10}},
    };
    for (const RefusedCase& c : cases) {
        TestImage src(32, 24);
        src.FillUnique();
        TestImage dst(32, 24, kUntouched);
        BlitScratch scratch;
        RECT all = dst.View().Bounds();
        EXPECT_FALSE(
            StretchBlit(dst.View(), src.View(), {c.dst, c.src}, std::span(&all, 1), &scratch))
            << c.name;
        ExpectMapped(dst, src, {{0, 0, 0, 0}, {0, 0, 1, 1}}, {}, c.name);
    }
}

TEST(ClipRegionTest, CutsEachRectangleToTheArea) {
    struct Case {
        const char* name;
        std::vector<RECT> region;
        RECT area;
        std::vector<RECT> expected;
    };
    const Case cases[] = {
        {"inside", {{1, 1, 5, 5}}, {0, 0, 10, 10}, {{1, 1, 5, 5}}},
        {"cut", {{-5, -5, 5, 5}, {8, 8, 20, 20}}, {0, 0, 10, 10}, {{0, 0, 5, 5}, {8, 8, 10, 10}}},
        {"outside dropped", {{20, 20, 30, 30}, {1, 1, 2, 2}}, {0, 0, 10, 10}, {{1, 1, 2, 2}}},
        {"empty region", {}, {0, 0, 10, 10}, {}},
    };
    for (const Case& c : cases) {
        std::vector<RECT> out{{9, 9, 9, 9}};  // stale content must go
        ClipRegion(c.region, c.area, &out);
        ASSERT_EQ(out.size(), c.expected.size()) << c.name;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_TRUE(out[i] == c.expected[i])
                << c.name << " #" << i << ": expected " << Describe(c.expected[i]) << " actual "
                << Describe(out[i]);
        }
    }
}

}  // namespace
}  // namespace vrel::ddraw
