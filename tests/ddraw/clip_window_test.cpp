// Blits to the screen through a clipper that follows a window: windows above it (a message
// box, say) keep their pixels, a hidden window shows nothing, a destroyed one no longer clips.
#include <gtest/gtest.h>

#include "runtime/common/rect.h"
#include "runtime/user/testing.h"
#include "tests/ddraw/ddraw_fixture.h"

namespace vrel::ddraw::testing {
namespace {

class ClipWindowTest : public DirectDrawTest {
  protected:
    // The intro's arrangement: primary with a clipper on `window`, a 320 x 240 movie frame.
    void Arrange(HWND window) {
        OpenDirectDraw();
        primary = MakePrimary();
        movie = MakeOffscreen(320, 240);
        WritePixels(movie.Get(), UniqueValue);
        ComPtr<IDirectDrawClipper> clipper = MakeClipper(window);
        ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
        // The surface keeps the clipper alive; the app's reference may go.
    }
    HRESULT BlitFrame() {
        RECT screenRect{0, 0, 640, 480};
        RECT movieRect{0, 0, 320, 240};
        return primary->Blt(&screenRect, movie.Get(), &movieRect, DDBLT_WAIT, nullptr);
    }
    void ExpectFrameWhere(const Image& before, const std::function<bool(int, int)>& drawn,
                          const std::string& name) {
        ExpectBlitted(SnapshotScreen(), before, ReadPixels(movie.Get()), {0, 0, 640, 480},
                      {0, 0, 320, 240}, drawn, name);
    }
    void TearDown() override {
        movie.Reset();
        primary.Reset();
        DirectDrawTest::TearDown();
    }

    ComPtr<IDirectDrawSurface> primary;
    ComPtr<IDirectDrawSurface> movie;
};

struct CoverCase {
    const char* name;
    RECT main;
    std::vector<RECT> above;
};

TEST_F(ClipWindowTest, WindowsAboveKeepTheirPixels) {
    const CoverCase cases[] = {
        {"box in the middle", {0, 0, 640, 480}, {{100, 80, 300, 200}}},
        {"two boxes", {0, 0, 640, 480}, {{0, 0, 50, 50}, {600, 400, 640, 480}}},
        {"box hanging off the screen", {0, 0, 640, 480}, {{500, 300, 800, 600}}},
        {"smaller main window", {100, 100, 500, 400}, {{300, 50, 350, 450}}},
        {"main window past the screen", {-50, -50, 700, 300}, {}},
    };
    for (const CoverCase& c : cases) {
        user::testing::ResetWindowing();
        HWND main = MakeWindow(c.main);
        for (const RECT& r : c.above) {
            MakeWindow(r);
        }
        Arrange(main);
        const Image before = SnapshotScreen();
        ASSERT_EQ(BlitFrame(), DD_OK) << c.name;
        ExpectFrameWhere(
            before,
            [&](int x, int y) {
                for (const RECT& r : c.above) {
                    if (Inside(r, x, y)) {
                        return false;
                    }
                }
                return Inside(c.main, x, y);
            },
            c.name);
        movie.Reset();
        primary.Reset();
        dd3.Reset();
        dd.Reset();
        factory.Reset();
    }
}

// A real message box over the intro's window, blitted to while it is open.
TEST_F(ClipWindowTest, MessageBoxStaysWholeWhileFramesArrive) {
    HWND main = MakeWindow({0, 0, 640, 480});
    Arrange(main);
    bool asked = false;
    user::testing::SetMessageBoxHook([&](const user::testing::MessageBoxInfo& info) {
        asked = true;
        HWND box = FindWindowA("#32770", info.caption.c_str());
        RECT boxRect{};
        EXPECT_TRUE(box != nullptr && GetWindowRect(box, &boxRect)) << "the box is a window";
        EXPECT_FALSE(IsEmptyRect(boxRect));
        const Image before = SnapshotScreen();
        EXPECT_EQ(BlitFrame(), DD_OK);
        ExpectFrameWhere(
            before, [&](int x, int y) { return !Inside(boxRect, x, y); }, "under a message box");
        return IDOK;
    });
    EXPECT_EQ(MessageBoxA(main, "Paused", "Clip test", MB_OK), IDOK);
    EXPECT_TRUE(asked) << "the hook saw the box";
}

TEST_F(ClipWindowTest, HiddenWindowShowsNothing) {
    HWND main = MakeWindow({0, 0, 640, 480});
    Arrange(main);
    ShowWindow(main, SW_HIDE);
    const Image before = SnapshotScreen();
    EXPECT_EQ(BlitFrame(), DD_OK) << "a fully clipped blit succeeds";
    ExpectFrameWhere(
        before, [](int, int) { return false; }, "hidden window");
}

TEST_F(ClipWindowTest, DestroyedWindowNoLongerClips) {
    HWND main = MakeWindow({100, 100, 200, 200});
    Arrange(main);
    ASSERT_TRUE(DestroyWindow(main));
    const Image before = SnapshotScreen();
    EXPECT_EQ(BlitFrame(), DD_OK);
    ExpectFrameWhere(
        before, [](int, int) { return true; }, "window gone");
}

// The app lets its clipper reference go right after SetClipper; the surface's reference
// keeps it working, and detaching it later ends it.
TEST_F(ClipWindowTest, ReleasedClipperKeepsClipping) {
    HWND main = MakeWindow({0, 0, 640, 480});
    const RECT cover{200, 200, 260, 260};
    MakeWindow(cover);
    Arrange(main);
    const Image before = SnapshotScreen();
    ASSERT_EQ(BlitFrame(), DD_OK);
    ExpectFrameWhere(
        before, [&](int x, int y) { return !Inside(cover, x, y); }, "released");
    const long live = com::LiveObjects::Count();
    ASSERT_EQ(primary->SetClipper(nullptr), DD_OK);
    EXPECT_EQ(com::LiveObjects::Count(), live - 1) << "the clipper ends with the last reference";
}

}  // namespace
}  // namespace vrel::ddraw::testing
