// Not run by the headless suite: tests/e2e/ddraw_screenshot.sh starts this test on a real
// screen (VREL_SCREEN=fullscreen) with VREL_DDRAW_PROBE=<folder>, waits for "drawn", takes a
// screenshot, touches <folder>/done and compares the shot with <folder>/framebuffer.ppm.
// Nothing but Blt presents, so the shot shows whether a blit reaches the real window by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/ddraw/ddraw_support.h"

namespace vrel::ddraw::testing {
namespace {

using ScreenProbe = DirectDrawTest;

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
    ComPtr<IDirectDrawSurface> primary = Make(Desc()), movie = Make(Desc(320, 240));
    // Every source pixel differs from its neighbours in red and green: 2 x 2 blocks show.
    Pixels(movie.Get(),
           [](int x, int y) { return (x * 37 % 256u) << 16 | (y * 53 % 256u) << 8 | 0x40; });
    Pixels(primary.Get(), [](int, int) { return 0u; });  // black on the screen (Unlock presents)
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(primary->SetClipper(MakeClipper(main).Get()), DD_OK);
    RECT screenRect{0, 0, 640, 480};
    ASSERT_EQ(primary->Blt(&screenRect, movie.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);

    std::FILE* out = std::fopen((dir + "/framebuffer.ppm").c_str(), "wb");
    ASSERT_NE(out, nullptr) << dir;
    std::fprintf(out, "P6\n640 480\n255\n");
    for (uint32_t p : ScreenPixels().pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                      static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
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
