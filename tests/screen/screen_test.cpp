// The virtual screen: display modes, waking, and how the framebuffer fits a real window.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/common/rect.h"
#include "runtime/screen/letterbox.h"
#include "runtime/screen/memory_screen.h"

namespace vrel::test {
namespace {

using screen::FitPicture;
using screen::Letterbox;

TEST(LetterboxTest, FitsWithAspectKeptAndCentred) {
    struct Case {
        int srcW, srcH, winW, winH;
        RECT picture;
        bool identity;
    };
    const Case cases[] = {
        {640, 480, 640, 480, {0, 0, 640, 480}, true},
        {640, 480, 1280, 960, {0, 0, 1280, 960}, false},
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}, false},  // bars left and right
        {640, 480, 1024, 1024, {0, 128, 1024, 896}, false},   // bars top and bottom
        {640, 480, 320, 240, {0, 0, 320, 240}, false},
        {320, 240, 641, 481, {0, 0, 641, 480}, false},
    };
    for (const Case& c : cases) {
        Letterbox box = FitPicture(c.srcW, c.srcH, c.winW, c.winH);
        EXPECT_EQ(box.picture, c.picture)
            << c.winW << "x" << c.winH << " got " << box.picture.left << "," << box.picture.top
            << "," << box.picture.right << "," << box.picture.bottom;
        EXPECT_EQ(box.identity, c.identity);
        EXPECT_EQ(box.srcX.size(), static_cast<size_t>(c.picture.right - c.picture.left));
        EXPECT_EQ(box.srcY.size(), static_cast<size_t>(c.picture.bottom - c.picture.top));
    }
}

TEST(LetterboxTest, DoublingMapsEachSourcePixelToATwoByTwoBlock) {
    Letterbox box = FitPicture(640, 480, 1280, 960);
    for (int i = 0; i < 1280; ++i) {
        ASSERT_EQ(box.srcX[static_cast<size_t>(i)], i / 2) << "column " << i;
    }
    int fx = 0;
    int fy = 0;
    ASSERT_TRUE(screen::WindowToFramebuffer(box, 640, 480, 1279, 959, &fx, &fy));
    EXPECT_EQ(fx, 639);
    EXPECT_EQ(fy, 479);
}

TEST(LetterboxTest, PointsOnTheBarsAreNotOnTheFramebuffer) {
    Letterbox box = FitPicture(640, 480, 1920, 1080);
    int fx = -1;
    int fy = -1;
    EXPECT_FALSE(screen::WindowToFramebuffer(box, 640, 480, 100, 500, &fx, &fy));
    EXPECT_TRUE(screen::WindowToFramebuffer(box, 640, 480, 240, 0, &fx, &fy));
    EXPECT_EQ(fx, 0);
    EXPECT_EQ(fy, 0);
}

TEST(MemoryScreenTest, SetModeAcceptsOnlyShowableModes) {
    screen::MemoryScreen s;
    struct Case {
        int w, h, bpp;
        bool ok;
    };
    const Case cases[] = {{640, 480, 32, true},   {800, 600, 32, true}, {640, 480, 16, false},
                          {640, 480, 24, false},  {0, 480, 32, false},  {640, -1, 32, false},
                          {5000, 480, 32, false}, {1, 1, 32, true}};
    for (const Case& c : cases) {
        PixelBuffer before = s.Framebuffer();
        EXPECT_EQ(s.SetMode(c.w, c.h, c.bpp), c.ok) << c.w << "x" << c.h << "x" << c.bpp;
        PixelBuffer after = s.Framebuffer();
        if (c.ok) {
            EXPECT_EQ(after.width, c.w);
            EXPECT_EQ(after.height, c.h);
            EXPECT_EQ(after.Row(c.h - 1)[c.w - 1], 0u) << "cleared to black";
        } else {
            EXPECT_EQ(after.width, before.width) << "a refused mode changes nothing";
        }
    }
}

TEST(MemoryScreenTest, WakeEndsAWaitAndIsNotLostWhenItComesFirst) {
    screen::MemoryScreen s;
    s.Wake();
    s.WaitForInput(-1);  // returns at once: the wake came before the wait
    std::thread waker([&s] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        s.Wake();
    });
    s.WaitForInput(-1);
    waker.join();
    auto start = std::chrono::steady_clock::now();
    s.WaitForInput(30);  // nothing pending: the timeout ends it
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

TEST(RectTest, SubtractLeavesDisjointPiecesOfTheRightArea) {
    struct Case {
        RECT from, hole;
        long area;
    };
    const Case cases[] = {
        {{0, 0, 100, 100}, {25, 25, 75, 75}, 10000 - 2500},
        {{0, 0, 100, 100}, {-10, -10, 200, 200}, 0},
        {{0, 0, 100, 100}, {100, 0, 150, 100}, 10000},  // touching is not overlapping
        {{0, 0, 100, 100}, {50, -5, 60, 200}, 9000},
    };
    for (const Case& c : cases) {
        auto pieces = SubtractRect({c.from}, c.hole);
        long area = 0;
        for (size_t i = 0; i < pieces.size(); ++i) {
            area += static_cast<long>(RectWidth(pieces[i])) * RectHeight(pieces[i]);
            EXPECT_TRUE(IsEmptyRect(IntersectRects(pieces[i], c.hole)));
            for (size_t j = i + 1; j < pieces.size(); ++j) {
                EXPECT_TRUE(IsEmptyRect(IntersectRects(pieces[i], pieces[j])));
            }
        }
        EXPECT_EQ(area, c.area);
    }
}

}  // namespace
}  // namespace vrel::test
