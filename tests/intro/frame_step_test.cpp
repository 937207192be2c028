// The frame step and the colour cycle: what each frame calls, the text drawn in the right
// colour at the right place (read back from the surface's pixels), how each update result
// and failure ends, and that the overlay font is made once.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/shutdown.h"
#include "display/display_setup.h"
#include "present/color_table.h"
#include "present/frame_step.h"
#include "runtime/com/unknown.h"
#include "runtime/common/pixel_buffer.h"
#include "runtime/gdi/font_cache.h"
#include "tests/intro/double_base_support.h"
#include "tests/intro/intro_fixture_support.h"

namespace intro_test {
namespace {

TEST(ColorTable, TheEntriesAsTheCycleGivesThem) {
    const struct {
        int entry;
        COLORREF colour;
    } expected[] = {
        {0, 0x00F80000},   {1, 0x00F80800},   {31, 0x00F8F800},  {32, 0x00F8F800},
        {33, 0x00F0F800},  {63, 0x0000F800},  {64, 0x0000F800},  {95, 0x0000F8F8},
        {96, 0x0000F8F8},  {127, 0x000000F8}, {128, 0x000000F8}, {159, 0x00F800F8},
        {160, 0x00F800F8}, {161, 0x00F800F0}, {187, 0x00F80020}, {188, 0x00F80018},
        {189, 0x00F80010}, {190, 0x00F80008}, {191, 0x00F80000},
    };
    g_app = AppState{};
    BuildColorTable();
    for (const auto& e : expected) {
        EXPECT_EQ(g_app.colorTable[e.entry], e.colour)
            << "entry " << e.entry << ": expected " << Hex(e.colour) << ", got "
            << Hex(g_app.colorTable[e.entry]);
    }
    g_app = AppState{};
}

// Between neighbours exactly one channel moves, by 8, except where a ramp ends on the
// colour the next one starts with; levels stay multiples of 8 up to 248.
TEST(ColorTable, NeighboursDifferInOneChannelByEightOrRepeatAtTheCorners) {
    g_app = AppState{};
    BuildColorTable();
    for (int k = 0; k < COLOR_TABLE_SIZE; ++k) {
        const COLORREF c = g_app.colorTable[k];
        const COLORREF next = g_app.colorTable[(k + 1) % COLOR_TABLE_SIZE];
        for (BYTE level : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
            EXPECT_EQ(level % 8, 0) << "entry " << k;
            EXPECT_LE(level, 248) << "entry " << k;
        }
        EXPECT_EQ(c >> 24, 0u) << "entry " << k;
        const int moved = (GetRValue(c) != GetRValue(next)) + (GetGValue(c) != GetGValue(next)) +
                          (GetBValue(c) != GetBValue(next));
        const bool corner = k % 32 == 31;
        EXPECT_EQ(moved, corner ? 0 : 1) << "entries " << k << " and " << (k + 1) % 192;
    }
    g_app = AppState{};
}

class FrameStep : public IntroTest {
  protected:
    // Display up and the movie opened and running, as the Open command leaves it.
    void Play(int x = 0, int y = 0) {
        MakeIntroWindow(x, y);
        ASSERT_EQ(InitDirectDraw(), S_OK);
        Command(IDM_OPEN);
        ASSERT_NE(g_app.sample, nullptr);
        CallLog::Clear();
    }
};

// The text's ink read back from the offscreen surface: entry 0 on the first frame, 191 on
// the 192nd, 0 again on the 193rd.
TEST_F(FrameStep, EachFrameDrawsTheTextInTheNextColourOfTheCycle) {
    Play();
    for (int frame = 0; frame < 193; ++frame) {
        RenderFrame();
    }
    const std::vector<uint32_t> ink = InkPerFrame();
    ASSERT_EQ(ink.size(), 193u);
    for (int frame = 0; frame < 193; ++frame) {
        const uint32_t expected = vrel::ColorRefToXrgb(g_app.colorTable[frame % 192]);
        EXPECT_EQ(ink[static_cast<size_t>(frame)], expected)
            << "frame " << frame + 1 << ": expected " << Hex(expected) << ", got "
            << Hex(ink[static_cast<size_t>(frame)]);
    }
    EXPECT_EQ(g_app.colorIndex, 1);
}

TEST_F(FrameStep, OneFrameUpdatesDrawsAndBlitsTheMovieOverTheWindow) {
    Play();
    RenderFrame();
    EXPECT_EQ(Log(), FrameEntries(1, 0)) << CompareLines(FrameEntries(1, 0), Log());
    const RECT screen = g_app.screenRect;
    EXPECT_EQ(RectText(&screen), "0,0,640,480");
    // "Kestrum ist doof" from (10, 10): a 20-pixel cell, some 150 pixels wide.
    const RECT ink = LastInkBounds();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.left, 13);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.top, 16);
    EXPECT_LE(ink.bottom, 30);
    EXPECT_GT(ink.right, 120);
    EXPECT_LT(ink.right, 200);
}

// The blit's destination is the client area in screen coordinates, wherever the window is.
TEST_F(FrameStep, TheBlitGoesToTheClientAreaOnTheScreen) {
    Play(100, 50);
    RenderFrame();
    const std::vector<std::string> expected = FrameEntries(1, 0, "100,50,740,530");
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
}

struct UpdateCase {
    const char* label;
    HRESULT result;
    bool ends;  // stops the stream and asks the loop to end
};

const UpdateCase kUpdateResults[] = {
    {"end of the movie", MS_S_ENDOFSTREAM, true},
    {"no update", MS_S_NOUPDATE, true},
    {"S_FALSE", S_FALSE, true},
    {"busy", MS_E_BUSY, true},
    {"failure", E_FAIL, true},
    {"not running", MS_E_NOTRUNNING, false},  // paused or stopped: Start carries on
};

TEST_F(FrameStep, AnUpdateThatIsNotAFrameEndsTheRunUnlessTheStreamIsMerelyStopped) {
    for (const UpdateCase& c : kUpdateResults) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        Play();
        const long live = vrel::com::LiveObjects::Count();
        Script().updates = {c.result};
        ::testing::internal::CaptureStderr();
        RenderFrame();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a box was shown";

        std::vector<std::string> expected = {"sample1.Update -> scripted " +
                                             Hex(static_cast<uint32_t>(c.result))};
        if (c.ends) {
            expected.push_back(Stream(1, "SetState(STOP)"));
        }
        EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
        EXPECT_EQ(g_app.active, 0);
        EXPECT_EQ(g_app.loaded, 1);
        EXPECT_EQ(QuitPending(), c.ends);
        EXPECT_EQ(g_app.colorIndex, 0);
        EXPECT_EQ(vrel::com::LiveObjects::Count(), live) << "the frame step released something";
        EXPECT_NE(g_app.mmStream, nullptr);
    }
}

TEST_F(FrameStep, AFailedGetDCShowsItsBoxTearsDownAndDrawsNothing) {
    Play();
    RenderFrame();
    CallLog::Clear();
    Script().results["offscreen.GetDC"] = DDERR_CANTCREATEDC;
    RenderFrame();
    std::vector<std::string> expected = {"sample1.Update -> frame 1", "offscreen.GetDC",
                                         BoxEntry("Error", "getdc failed")};
    Append(expected, StreamReleases(1));
    Append(expected, DisplayReleases());
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(g_app.colorIndex, 1) << "the index moved without a colour being set";
    EXPECT_TRUE(QuitPending());
}

// Any result but DD_OK (0) from GetDC counts as failure, success codes included.
TEST_F(FrameStep, AGetDCSuccessCodeOtherThanDdOkIsAFailure) {
    Play();
    Script().results["offscreen.GetDC"] = S_FALSE;
    RenderFrame();
    EXPECT_EQ(CallLog::Count(BoxEntry("Error", "getdc failed")), 1);
    EXPECT_EQ(CallLog::Count("offscreen.ReleaseDC"), 0);
}

TEST_F(FrameStep, AFailedBlitShowsItsBoxAndTearsDownAfterTheIndexMoved) {
    Play();
    Script().results["primary.Blt"] = DDERR_SURFACELOST;
    RenderFrame();
    std::vector<std::string> expected = FrameEntries(1, 0);
    expected.push_back(BoxEntry("Error", "Blt failed"));
    Append(expected, StreamReleases(1));
    Append(expected, DisplayReleases());
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(g_app.colorIndex, 1);
    EXPECT_TRUE(QuitPending());
}

// During an open and bind, or after teardown, a field is null: nothing is called.
TEST_F(FrameStep, ANullStreamOrSurfaceFieldMeansNoFrame) {
    Play();
    struct Field {
        const char* name;
        void** slot;
    } fields[] = {
        {"sample", reinterpret_cast<void**>(&g_app.sample)},
        {"mmStream", reinterpret_cast<void**>(&g_app.mmStream)},
        {"offscreenSurface", reinterpret_cast<void**>(&g_app.offscreenSurface)},
        {"primarySurface", reinterpret_cast<void**>(&g_app.primarySurface)},
    };
    for (const Field& field : fields) {
        void* held = *field.slot;
        *field.slot = nullptr;
        RenderFrame();
        *field.slot = held;
        EXPECT_EQ(Log(), std::vector<std::string>{}) << field.name << " null";
        EXPECT_EQ(g_app.colorIndex, 0) << field.name << " null";
    }
}

// One font for the whole run: thousands of frames leave the GDI object count where the
// first frame put it, and teardown gives that font back.
TEST_F(FrameStep, TheOverlayFontIsMadeOnceAndGivenBackAtTeardown) {
    const size_t before = vrel::gdi::testing::LiveHandles();
    Script().movieFrames = 5000;
    Play();
    RenderFrame();
    const size_t afterFirst = vrel::gdi::testing::LiveHandles();
    const HGDIOBJ font = g_app.overlayFont;
    EXPECT_EQ(afterFirst, before + 1) << "one object more: the font";
    vrel::gdi::FontMetrics metrics;
    ASSERT_TRUE(vrel::gdi::testing::QueryFontMetrics(font, &metrics));
    EXPECT_EQ(metrics.CellHeight(), 20);
    for (int frame = 1; frame < 5000; ++frame) {
        RenderFrame();
    }
    EXPECT_EQ(vrel::gdi::testing::LiveHandles(), afterFirst);
    EXPECT_EQ(g_app.overlayFont, font);
    EXPECT_EQ(InkPerFrame().size(), 5000u);
    Shutdown();
    EXPECT_EQ(vrel::gdi::testing::LiveHandles(), before);
    EXPECT_EQ(g_app.overlayFont, nullptr);
}

}  // namespace
}  // namespace intro_test
