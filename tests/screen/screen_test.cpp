// The virtual screen: how the framebuffer fits a real window, and waking its input wait.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/common/rect.h"
#include "runtime/screen/letterbox.h"
#include "runtime/screen/memory_screen.h"

namespace vrel::test {
namespace {

// Aspect kept, centred, bars on the long side; a window point maps back to the framebuffer
// pixel under it (the pixel the scaler draws there), or to none on a bar.
TEST(LetterboxTest, FitsWithAspectKeptAndCentred) {
    struct Case {
        int srcW, srcH, winW, winH;
        RECT picture;
        bool identity;
        POINT probe;     // a window point
        POINT expected;  // its framebuffer pixel, {-1, -1} when on a bar
    };
    const Case cases[] = {
        {640, 480, 640, 480, {0, 0, 640, 480}, true, {639, 479}, {639, 479}},
        {640, 480, 1280, 960, {0, 0, 1280, 960}, false, {1279, 959}, {639, 479}},
        {640, 480, 1280, 960, {0, 0, 1280, 960}, false, {3, 5}, {1, 2}},  // 2 x 2 blocks
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}, false, {240, 0}, {0, 0}},
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}, false, {100, 500}, {-1, -1}},
        {640, 480, 1920, 1080, {240, 0, 1680, 1080}, false, {1680, 0}, {-1, -1}},  // right bar
        {640, 480, 1024, 1024, {0, 128, 1024, 896}, false, {512, 100}, {-1, -1}},
        {640, 480, 320, 240, {0, 0, 320, 240}, false, {319, 239}, {638, 478}},
        {320, 240, 641, 481, {0, 0, 641, 480}, false, {640, 479}, {319, 239}},
    };
    for (const Case& c : cases) {
        const screen::Letterbox box = screen::FitPicture(c.srcW, c.srcH, c.winW, c.winH);
        SCOPED_TRACE(testing::Message()
                     << c.winW << "x" << c.winH << " at " << c.probe.x << "," << c.probe.y);
        EXPECT_EQ(box.picture, c.picture);
        EXPECT_EQ(box.identity, c.identity);
        POINT got{-1, -1};
        const bool on =
            screen::WindowToFramebuffer(box, c.srcW, c.srcH, c.probe.x, c.probe.y, &got.x, &got.y);
        EXPECT_EQ(on, c.expected.x >= 0);
        if (on) {  // the scaler's tables agree with the mapping back
            EXPECT_EQ(got.x, c.expected.x);
            EXPECT_EQ(got.y, c.expected.y);
            EXPECT_EQ(box.srcX.at(static_cast<size_t>(c.probe.x - c.picture.left)), got.x);
            EXPECT_EQ(box.srcY.at(static_cast<size_t>(c.probe.y - c.picture.top)), got.y);
        }
    }
}

// Only 32-bit modes of a sane size are shown; a refused mode leaves the screen as it was.
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
        const int widthBefore = s.Framebuffer().width;
        EXPECT_EQ(s.SetMode(c.w, c.h, c.bpp), c.ok) << c.w << "x" << c.h << "x" << c.bpp;
        EXPECT_EQ(s.Framebuffer().width, c.ok ? c.w : widthBefore);
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
    s.WaitForInput(30);  // nothing pending: the timeout ends it, not sooner
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

}  // namespace
}  // namespace vrel::test
