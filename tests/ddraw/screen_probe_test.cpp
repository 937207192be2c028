// Not run by the headless suite: tests/e2e/ddraw_screenshot.sh starts this one test with a
// real screen (VREL_SCREEN=fullscreen on Xvfb) and VREL_DDRAW_PROBE=<folder>, then checks
// a screenshot against what is written here. Nothing but Blt presents the frame, so the
// screenshot shows whether a blit onto the primary reaches the real window by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "runtime/screen/screen.h"
#include "tests/ddraw/ddraw_fixture.h"

namespace vrel::ddraw::testing {
namespace {

using ScreenProbe = DirectDrawTest;

// The screen as a binary PPM, the format the end-to-end scripts compare.
void WriteScreen(const std::string& path) {
    const Image image = SnapshotScreen();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    std::fprintf(out, "P6\n%d %d\n255\n", image.width, image.height);
    for (uint32_t p : image.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                      static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
}

// A picture whose 2 x 2 blocks are easy to see: every source pixel differs from its
// neighbours in red and green.
uint32_t Pattern(int x, int y) {
    return (static_cast<uint32_t>(x * 37 % 256) << 16) |
           (static_cast<uint32_t>(y * 53 % 256) << 8) | 0x40u;
}

TEST_F(ScreenProbe, BlitShowsOnTheRealScreen) {
    const char* folder = std::getenv("VREL_DDRAW_PROBE");
    if (folder == nullptr || screen::Screen::Get().Headless()) {
        GTEST_SKIP() << "run by tests/e2e/ddraw_screenshot.sh on a real screen";
    }
    const std::string dir = folder;
    HWND main = MakeWindow({0, 0, 640, 480});
    MakeWindow({400, 300, 560, 400});  // a window above part of the picture
    OpenDirectDraw();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ComPtr<IDirectDrawSurface> movie = MakeOffscreen(320, 240);
    WritePixels(movie.Get(), Pattern);
    FillSolid(primary.Get(), 0);  // black on the screen (Unlock presents)
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    ComPtr<IDirectDrawClipper> clipper = MakeClipper(main);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
    RECT screenRect{0, 0, 640, 480};
    ASSERT_EQ(primary->Blt(&screenRect, movie.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    WriteScreen(dir + "/framebuffer.ppm");
    std::puts("drawn");
    std::fflush(stdout);

    // The script takes its screenshot now and says when it is done.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(dir + "/done") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(dir + "/done")) << "the script never finished";
}

}  // namespace
}  // namespace vrel::ddraw::testing
