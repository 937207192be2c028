// The intro run whole through WinMain, as the process runs it: start-up, the loop as the
// frame clock, the window and its class, closing, Exit and About, and the exit code.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/commands.h"
#include "app/main.h"
#include "runtime/com/com_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/window_manager.h"
#include "tests/intro/double_base_support.h"
#include "tests/intro/intro_fixture_support.h"

namespace intro_test {
namespace {

constexpr const char kIntroName[] = "Vrel Roru Intro by Tarrow/Senmar";
constexpr LPARAM kAltHeld = LPARAM{1} << 29;

std::vector<std::string> Frames(int first, int last) {
    std::vector<std::string> entries;
    for (int frame = first; frame <= last; ++frame) {
        Append(entries, FrameEntries(1, frame));
    }
    return entries;
}

std::string FrameUpdate(int frame) {
    return "sample1.Update -> frame " + std::to_string(frame);
}

// Runs `action` when the log reaches `entry`.
void At(const std::string& entry, std::function<void()> action) {
    Script().onCall = [entry, action](const std::string& logged) {
        if (logged == entry) {
            action();
        }
    };
}

int CountUpdates() {
    int updates = 0;
    for (const std::string& entry : CallLog::Entries()) {
        updates += entry.rfind("sample1.Update", 0) == 0 ? 1 : 0;
    }
    return updates;
}

using IntroRun = IntroTest;

// Without any input the posted Open starts the movie; it plays to its end, the stream is
// stopped, nothing is released (that is left to process exit) and the exit code is 0.
TEST_F(IntroRun, PlaysByItselfToTheEndAndExitsWithZero) {
    Script().movieFrames = 5;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a box was shown";
    std::vector<std::string> expected = DisplaySetupCalls();
    Append(expected, OpenCalls(1));
    Append(expected, BindCalls(1));
    expected.push_back(Stream(1, "SetState(RUN)"));
    Append(expected, Frames(0, 4));
    Append(expected, {"sample1.Update -> end", Stream(1, "SetState(STOP)")});
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(g_app.colorIndex, 5);
    EXPECT_EQ(g_app.active, 0);
    EXPECT_NE(g_app.mmStream, nullptr) << "the end of the movie released the stream";
    EXPECT_TRUE(IsWindow(g_app.mainWindow));
}

// Seen from inside the run (when the clipper is tied to the window): the class and the
// window as start-up makes them, and the activation that came with the window left
// `active` at 0 because nothing is loaded yet.
TEST_F(IntroRun, TheWindowClassAndTheWindowAreAsGiven) {
    Script().movieFrames = 1;
    bool looked = false;
    At("clipper.SetHWnd(0,main)", [&] {
        looked = true;
        auto& wm = vrel::user::WindowManager::Get();
        auto cls = wm.FindClass(kIntroName);
        ASSERT_TRUE(cls.has_value());
        EXPECT_EQ(cls->style, CS_HREDRAW | CS_VREDRAW);
        EXPECT_EQ(cls->proc, &WindowProc);
        EXPECT_NE(cls->instance, nullptr);
        EXPECT_EQ(cls->cursor, LoadCursorA(nullptr, IDC_ARROW));
        EXPECT_EQ(cls->background, GetStockObject(BLACK_BRUSH));
        auto window = wm.Find(g_app.mainWindow);
        ASSERT_TRUE(window.has_value());
        EXPECT_EQ(window->className, kIntroName);
        EXPECT_EQ(window->title, kIntroName);
        EXPECT_EQ(window->style, WS_POPUP | WS_VISIBLE);
        EXPECT_EQ(window->exStyle, WS_EX_TOPMOST);
        EXPECT_EQ(RectText(&window->rect), "0,0,640,480");
        EXPECT_EQ(window->owner, nullptr);
        EXPECT_TRUE(window->visible);
        EXPECT_EQ(GetActiveWindow(), g_app.mainWindow) << "the window was activated";
        EXPECT_EQ(g_app.active, 0) << "activation before any Open";
        EXPECT_EQ(g_app.instance, cls->instance);
    });
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_TRUE(looked);
}

// UpdateWindow paints the window (black, the class brush) before the loop starts: the
// Open the loop takes first already finds the screen black. Without it, painting would
// come only after the posted Open.
TEST_F(IntroRun, TheWindowIsShownAndPaintedBeforeTheFirstCommand) {
    Script().movieFrames = 1;
    vrel::PixelBuffer screen = vrel::screen::Screen::Get().Framebuffer();
    for (int y = 0; y < screen.height; ++y) {
        std::fill(screen.Row(y), screen.Row(y) + screen.width, 0x00FF00FFu);
    }
    int unpainted = -1;
    At("streamclass.CreateInstance(IAMMultiMediaStream)", [&] {
        unpainted = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                unpainted += screen.Row(y)[x] != 0 ? 1 : 0;
            }
        }
    });
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_EQ(unpainted, 0) << "pixels of the window not painted black when Open ran";
}

struct Ending {
    const char* label;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int answer;            // for the Quit box, if one comes
    bool windowDestroyed;  // WM_CLOSE destroys it; Exit only sends WM_DESTROY
    bool boxShown;
};

const Ending kEndings[] = {
    {"WM_CLOSE", WM_CLOSE, 0, 0, 0, true, false},
    {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld | 1, 0, true, false},
    {"Exit confirmed", WM_COMMAND, IDM_EXIT, 0, IDYES, false, true},
};

// Each way of closing tears down at once and ends the run with exit code 0.
TEST_F(IntroRun, ClosingTheWindowOrConfirmingExitTearsDownAndExitsWithZero) {
    for (const Ending& c : kEndings) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        boxAnswers = {c.answer};
        At(FrameUpdate(1), [&] { PostMessageA(g_app.mainWindow, c.message, c.wParam, c.lParam); });
        EXPECT_EQ(RunWinMain(), 0);
        const std::vector<std::string> log = Log();
        const auto afterFrame =
            std::find(log.begin(), log.end(),
                      "primary.Blt(0,0,640,480<-offscreen:0,0,320,240,flags=0x1000000,fx=null)");
        ASSERT_NE(afterFrame, log.end());
        std::vector<std::string> expected = Frames(1, 1);
        if (c.boxShown) {
            expected.push_back(BoxEntry("Quit", "Quit the Program?", MB_YESNO));
        }
        Append(expected, StreamReleases(1));
        Append(expected, DisplayReleases());
        const std::vector<std::string> tail(
            log.end() - static_cast<std::ptrdiff_t>(expected.size()), log.end());
        EXPECT_EQ(tail, expected) << CompareLines(expected, tail);
        EXPECT_EQ(CountUpdates(), 2) << "a frame step ran after teardown";
        EXPECT_EQ(IsWindow(g_app.mainWindow) == FALSE, c.windowDestroyed);
        EXPECT_EQ(vrel::com::InitCountOnThisThread(), 0);
    }
}

// Keys other than Alt+F4, and a declined Exit or the About box, do not end the run: the
// movie plays on to its end.
TEST_F(IntroRun, OtherKeysADeclinedExitAndAboutLetTheMoviePlayOn) {
    const struct {
        const char* label;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::string box;
    } cases[] = {
        {"F4 without Alt", WM_KEYDOWN, VK_F4, 1, ""},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, 1, ""},
        {"a click", WM_LBUTTONDOWN, 0, 0, ""},
        {"Exit declined", WM_COMMAND, IDM_EXIT, 0, BoxEntry("Quit", "Quit the Program?", MB_YESNO)},
        {"About", WM_COMMAND, IDM_ABOUT, 0,
         BoxEntry("About",
                  "This application uses multimedia streaming to render a video file to a "
                  "DirectDraw surface created through DirectDrawEx.")},
        {"a command with a high word", WM_COMMAND, 0x000103E9, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        Script().movieFrames = 4;
        boxAnswers = {c.wParam == IDM_EXIT ? IDNO : IDOK};
        At(FrameUpdate(1), [&] { PostMessageA(g_app.mainWindow, c.message, c.wParam, c.lParam); });
        EXPECT_EQ(RunWinMain(), 0);
        std::vector<std::string> expected = Frames(0, 1);
        if (!c.box.empty()) {
            expected.push_back(c.box);
        }
        Append(expected, Frames(2, 3));
        Append(expected, {"sample1.Update -> end", Stream(1, "SetState(STOP)")});
        const std::vector<std::string> played = CallLog::Since(CallLog::Size() - expected.size());
        EXPECT_EQ(played, expected) << CompareLines(expected, played);
        EXPECT_EQ(CallLog::Count("stream2.Release"), 0);
    }
}

// A quit request pending counts as a waiting message: no frame step runs after it.
TEST_F(IntroRun, NoFrameStepRunsOnceQuitIsRequested) {
    At(FrameUpdate(2), [] { PostQuitMessage(0); });
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_EQ(CountUpdates(), 3);
    EXPECT_EQ(CallLog::Count("stream1.Release"), 0) << "a quit request is not a teardown";
}

// Switching back to a paused intro leaves it paused (the stopped stream's update only
// clears `active`), and Start then resumes from the saved position.
TEST_F(IntroRun, ReactivatingAPausedIntroKeepsItPausedAndStartResumes) {
    Script().movieFrames = 6;
    Script().onCall = [](const std::string& entry) {
        if (entry == FrameUpdate(2)) {
            PostMessageA(g_app.mainWindow, WM_COMMAND, IDM_PAUSE, 0);
            PostMessageA(g_app.mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
            PostMessageA(g_app.mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
        } else if (entry == "sample1.Update -> not running") {
            PostMessageA(g_app.mainWindow, WM_COMMAND, IDM_START, 0);
        }
    };
    EXPECT_EQ(RunWinMain(), 0);
    std::vector<std::string> expected = Frames(2, 2);
    Append(expected,
           {Stream(1, "GetTime"), Stream(1, "SetState(STOP)"), "sample1.Update -> not running",
            Stream(1, "Seek(1200000)"), Stream(1, "SetState(RUN)")});
    Append(expected, Frames(3, 5));
    Append(expected, {"sample1.Update -> end", Stream(1, "SetState(STOP)")});
    const std::vector<std::string> played = CallLog::Since(CallLog::Size() - expected.size());
    EXPECT_EQ(played, expected) << CompareLines(expected, played);
}

// While the window is inactive the loop presents nothing (the stream runs on) until
// activation comes back from outside.
TEST_F(IntroRun, AnInactiveWindowGetsNoFramesUntilItIsActivatedAgain) {
    Script().movieFrames = 4;
    int updatesWhileInactive = -1;
    std::thread outside;
    At(FrameUpdate(1), [&] {
        PostMessageA(g_app.mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
        outside = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            updatesWhileInactive = CountUpdates();
            PostMessageA(g_app.mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
        });
    });
    EXPECT_EQ(RunWinMain(), 0);
    outside.join();
    EXPECT_EQ(updatesWhileInactive, 2);
    std::vector<std::string> expected = Frames(1, 3);
    Append(expected, {"sample1.Update -> end", Stream(1, "SetState(STOP)")});
    const std::vector<std::string> played = CallLog::Since(CallLog::Size() - expected.size());
    EXPECT_EQ(played, expected) << CompareLines(expected, played);
}

// Window creation failing: the box has no owner, nothing else runs, exit code 0.
TEST_F(IntroRun, AWindowThatCannotBeCreatedEndsTheRunAtOnce) {
    WNDCLASSA taken = {};
    taken.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, wParam, lParam);
    };
    taken.lpszClassName = kIntroName;
    ASSERT_NE(RegisterClassA(&taken), 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunWinMain(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Error] Couldn't create window.\n");
    const std::vector<std::string> expected = {
        BoxEntry("Error", "Couldn't create window.", MB_OK, "null")};
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 0) << "display setup ran";
    EXPECT_EQ(g_app.mainWindow, nullptr);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "something was posted";
}

}  // namespace
}  // namespace intro_test
