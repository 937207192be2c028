// The virtual screen: how the framebuffer fits a real window, and waking its input wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "runtime/common/rect.h"
#include "runtime/screen/gpu_presenter.h"
#include "runtime/screen/letterbox.h"
#include "runtime/screen/memory_screen.h"
#include "runtime/screen/picture_scaler.h"

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
        if (on) {
            EXPECT_EQ(got.x, c.expected.x);
            EXPECT_EQ(got.y, c.expected.y);
        }
    }
}

// A one-pixel checkerboard scaled to the picture, which sits in a larger target whose
// pixels around it must stay untouched.
struct ScaledBoard {
    static constexpr uint32_t kUntouched = 0xDEADBEEF;
    int pitch;
    std::vector<uint32_t> target;

    ScaledBoard(int sourceW, int sourceH, int w, int h) : pitch(w + 2) {
        std::vector<uint32_t> board(static_cast<size_t>(sourceW) * sourceH);
        for (size_t i = 0; i < board.size(); ++i) {
            board[i] = (i % sourceW + i / sourceW) % 2 ? 0xFFFFFF : 0;
        }
        target.assign(static_cast<size_t>(pitch) * (h + 2), kUntouched);
        screen::PictureScaler scaler;
        scaler.Fit(sourceW, sourceH, w, h);
        scaler.Draw(board.data(), reinterpret_cast<uint8_t*>(&target[pitch + 1]), pitch * 4);
    }
    uint32_t At(int x, int y) const { return target[static_cast<size_t>(y + 1) * pitch + x + 1]; }
    size_t Untouched() const { return std::count(target.begin(), target.end(), kUntouched); }
};

// Whole factors give exact blocks; other factors keep every board edge where it belongs
// (within a fifth of a pixel) and as sharp as the whole-factor step allows: no wider than
// one framebuffer pixel's share of the linear step. Nothing outside the picture is written.
TEST(PictureScalerTest, ScalesCrispAndEvenAtAnySize) {
    struct Case {
        int sourceW, sourceH, w, h;
    };
    const Case cases[] = {{640, 480, 1, 1},       {640, 480, 3, 2},       {640, 480, 320, 240},
                          {640, 480, 1280, 960},  {640, 480, 1440, 1080}, {640, 480, 2880, 2160},
                          {640, 480, 5760, 4320}, {640, 480, 7680, 4320}, {320, 240, 723, 542},
                          {1, 1, 7, 5},           {3, 2, 7680, 4320}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.sourceW << "x" << c.sourceH << " to " << c.w << "x" << c.h);
        const ScaledBoard board(c.sourceW, c.sourceH, c.w, c.h);
        EXPECT_EQ(board.Untouched(), board.target.size() - static_cast<size_t>(c.w) * c.h);
        const double scale = static_cast<double>(c.w) / c.sourceW;
        if (scale < 2) {
            continue;  // below two the blend is as wide as a framebuffer pixel: no edges to see
        }
        const int factor = c.w / c.sourceW;
        const int factorY = c.h / c.sourceH;
        if (c.w % c.sourceW == 0 && c.h % c.sourceH == 0) {
            for (int y = 0; y < c.h; y += 7) {
                for (int x = 0; x < c.w; ++x) {
                    ASSERT_EQ(board.At(x, y), (x / factor + y / factorY) % 2 ? 0xFFFFFFu : 0u)
                        << x << "," << y;
                }
            }
            continue;
        }
        // Across the middle of framebuffer row 0, then down the middle of column 0: where
        // blue crosses half.
        auto edgesAlong = [&](int length, bool across, double step, int whole) {
            int edge = 1;
            int blended = 0;
            for (int i = 1; i < length; ++i) {
                const double before =
                    (across ? board.At(i - 1, factorY / 2) : board.At(factor / 2, i - 1)) & 0xFF;
                const double after =
                    (across ? board.At(i, factorY / 2) : board.At(factor / 2, i)) & 0xFF;
                blended += before != 0 && before != 255;
                if ((before < 128) == (after < 128)) {
                    continue;
                }
                const double crossing = i - 1 + (127.5 - before) / (after - before);
                EXPECT_NEAR(crossing, edge * step - 0.5, 0.2) << "edge " << edge;
                EXPECT_LE(blended, static_cast<int>(std::ceil(step / whole))) << "edge " << edge;
                ++edge;
                blended = 0;
            }
            return edge;
        };
        EXPECT_EQ(edgesAlong(c.w, true, scale, factor), c.sourceW);
        EXPECT_EQ(edgesAlong(c.h, false, static_cast<double>(c.h) / c.sourceH, factorY), c.sourceH);
    }
}

// Rows that repeat (a picture stretched into the framebuffer has them in pairs) are scaled
// once, and a row that differs only in its last pixel on its own: the picture is what the
// two steps give, written out pixel by pixel.
TEST(PictureScalerTest, RepeatedRowsComeOutAsIfEachWereScaled) {
    const int w = 64, h = 48, pictureW = 144, pictureH = 108;
    std::vector<uint32_t> source(w * h), picture(pictureW * pictureH);
    for (int i = 0; i < w * h; ++i) {
        source[i] = static_cast<uint32_t>(i / w / 2 * w + i % w) * 2654435761u;
    }
    for (int y = 3; y < h; y += 4) {
        source[y * w + w - 1] ^= 0x00FF00;
    }
    screen::PictureScaler scaler;
    scaler.Fit(w, h, pictureW, pictureH);
    scaler.Draw(source.data(), reinterpret_cast<uint8_t*>(picture.data()), pictureW * 4);
    const std::vector<screen::Tap> across = screen::ScaleTaps(pictureW, w);
    const std::vector<screen::Tap> down = screen::ScaleTaps(pictureH, h);
    auto mix = [](const screen::Tap& t, auto pixel) {
        return screen::MixXrgb(pixel(t.first), pixel(t.second), t.weight);
    };
    for (int y = 0; y < pictureH; ++y) {
        for (int x = 0; x < pictureW; ++x) {
            const uint32_t expected = mix(down[y], [&](int row) {
                return mix(across[x], [&](int column) { return source[row * w + column]; });
            });
            ASSERT_EQ(picture[y * pictureW + x] & 0xFFFFFF, expected) << x << "," << y;
        }
    }
}

// Only real graphics cards are chosen on their own: a software renderer costs more than ours.
TEST(GpuPresenterTest, SoftwareRenderersAreToldFromGraphicsCards) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"opengl", "llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"opengles2", "softpipe", true},
        {"software", "", true},
        {"opengl", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"opengles2", "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)", false},
    };
    for (const auto& [renderer, openGl, software] : cases) {
        EXPECT_EQ(screen::IsSoftwareRenderer(renderer, openGl), software) << openGl;
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
