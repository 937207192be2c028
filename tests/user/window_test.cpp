// Windows: creation, activation (also by the real window's focus), closing, geometry,
// painting and visible regions.
#include <algorithm>
#include <future>
#include <thread>

#include "runtime/common/rect.h"
#include "runtime/screen/memory_screen.h"
#include "runtime/screen/screen.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"
#include "user/user_support.h"

namespace vrel::test {
namespace {

using WindowTest = UserTest;

TEST_F(WindowTest, CreatingAVisiblePopupActivatesItBeforeCreateReturns) {
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    auto activations = LoggedOf(WM_ACTIVATE);
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(LOWORD(activations[0].wParam), WA_ACTIVE);
    EXPECT_EQ(GetActiveWindow(), w);
}

screen::MemoryScreen& TestScreen() {
    return dynamic_cast<screen::MemoryScreen&>(screen::Screen::Get());
}

TEST_F(WindowTest, FocusOfTheRealWindowReachesTheActiveWindow) {
    HWND w = MakeWindow();
    Drain();
    using Kind = screen::InputEvent::Kind;
    struct Case {
        Kind focus;
        int activations;  // WM_ACTIVATE messages it brings
        WORD state;
    };
    const Case cases[] = {
        {Kind::FocusLost, 1, WA_INACTIVE},
        {Kind::FocusLost, 0, 0},
        {Kind::FocusGained, 1, WA_ACTIVE},
        {Kind::FocusGained, 0, 0},
    };
    for (const Case& c : cases) {
        MessageLog().clear();
        TestScreen().Inject({c.focus});
        Drain();
        auto activations = LoggedOf(WM_ACTIVATE);
        ASSERT_EQ(activations.size(), size_t(c.activations)) << int(c.focus);
        if (c.activations == 1) {
            EXPECT_EQ(activations[0].window, w);
            EXPECT_EQ(LOWORD(activations[0].wParam), c.state);
        }
    }
}

// A loop that runs only while active waits in WaitMessage while inactive: focus coming back
// must wake it, not be handled and then slept on.
TEST_F(WindowTest, WaitMessageReturnsAfterInputItHandled) {
    HWND w = MakeWindow();
    TestScreen().Inject({screen::InputEvent::Kind::FocusLost});
    Drain();
    MessageLog().clear();
    std::promise<void> returned;
    std::thread rescue([w, done = returned.get_future()] {
        if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            PostMessageA(w, WM_USER, 0, 0);  // against a hang only
        }
    });
    TestScreen().Inject({screen::InputEvent::Kind::FocusGained});
    WaitMessage();
    returned.set_value();
    rescue.join();
    EXPECT_EQ(LoggedOf(WM_ACTIVATE).size(), 1u);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE)) << "slept after it";
}

TEST_F(WindowTest, TheMainWindowGivesTheRealWindowItsTitleAndStyle) {
    TestScreen().SetLook({});
    HWND w = MakeWindow(RecordingProc, "Caption \xC4");
    screen::WindowLook look = TestScreen().Look();
    EXPECT_EQ(look.title, "Caption \xC4");
    EXPECT_TRUE(look.alwaysOnTop);
    EXPECT_FALSE(look.arrowCursor) << "the class names no cursor";
    user::testing::SetMessageBoxHook([](const user::testing::MessageBoxInfo&) { return IDOK; });
    MessageBoxA(w, "text", "Box", MB_OK);
    EXPECT_EQ(TestScreen().Look().title, "Caption \xC4") << "boxes keep the main window's";
}

TEST_F(WindowTest, HiddenWindowIsNotActivatedUntilShown) {
    HWND w = MakeWindow(RecordingProc, "Hidden", WS_POPUP);
    EXPECT_TRUE(LoggedOf(WM_ACTIVATE).empty());
    EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL)) << "was hidden";
    EXPECT_EQ(LoggedOf(WM_ACTIVATE).size(), 1u);
    EXPECT_TRUE(ShowWindow(w, SW_SHOWNORMAL)) << "was visible";
}

TEST_F(WindowTest, CloseThroughDefWindowProcDestroysTheWindow) {
    HWND w = MakeWindow();
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(LoggedOf(WM_DESTROY).size(), 1u);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(WindowTest, ProcedureThatDoesNotCallDefWindowProcKeepsTheMessageFromIt) {
    HWND w = MakeWindow(SwallowingProc, "Swallow");
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(LoggedOf(WM_DESTROY).empty());
    EXPECT_TRUE(IsWindow(w));
}

TEST_F(WindowTest, AltF4BecomesCloseAndDestroys) {
    HWND w = MakeWindow();
    const LPARAM altDown = LPARAM{1} << 29;
    struct Case {
        UINT message;
        WPARAM key;
        LPARAM lParam;
        bool closes;
    };
    const Case cases[] = {
        {WM_KEYDOWN, VK_F4, 0, false},
        {WM_SYSKEYDOWN, VK_F4, 0, false},
        {WM_SYSKEYDOWN, VK_RETURN, altDown, false},
        {WM_SYSKEYDOWN, VK_F4, altDown, true},
    };
    for (const Case& c : cases) {
        MessageLog().clear();
        SendMessageA(w, c.message, c.key, c.lParam);
        EXPECT_EQ(LoggedOf(WM_CLOSE).size(), c.closes ? 1u : 0u)
            << "message " << c.message << " key " << c.key;
        EXPECT_EQ(IsWindow(w) == FALSE, c.closes);
    }
}

TEST_F(WindowTest, DestroyInsideWmDestroyDoesNotRecurse) {
    static int destroys;
    destroys = 0;
    auto proc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_DESTROY) {
            ++destroys;
            DestroyWindow(h);
        }
        return DefWindowProcA(h, m, wp, lp);
    };
    HWND w = MakeWindow(proc, "Reentrant");
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_EQ(destroys, 1);
    EXPECT_FALSE(DestroyWindow(w));
}

TEST_F(WindowTest, ClientRectAndClientToScreen) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.lpszClassName = "Offset";
    RegisterClassA(&cls);
    HWND w = CreateWindowExA(0, "Offset", "", WS_POPUP | WS_VISIBLE, 30, 40, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);
    RECT client{};
    ASSERT_TRUE(GetClientRect(w, &client));
    EXPECT_EQ(client, (RECT{0, 0, 200, 100}));
    POINT p{5, 6};
    ASSERT_TRUE(ClientToScreen(w, &p));
    EXPECT_EQ(p.x, 35);
    EXPECT_EQ(p.y, 46);
    RECT desktop{};
    ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(desktop, (RECT{0, 0, 640, 480}));
}

TEST_F(WindowTest, RegistrationAndCreationRefuseBadInput) {
    WNDCLASSA cls{};
    cls.lpszClassName = "NoProc";
    EXPECT_EQ(RegisterClassA(&cls), 0) << "no procedure";
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    cls.lpfnWndProc = RecordingProc;
    EXPECT_NE(RegisterClassA(&cls), 0);
    EXPECT_EQ(RegisterClassA(&cls), 0) << "name taken";
    EXPECT_EQ(CreateWindowExA(0, "Unknown", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, nullptr, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    RECT r{};
    EXPECT_FALSE(GetClientRect(nullptr, &r));
    EXPECT_FALSE(GetClientRect(GetDesktopWindow(), nullptr));
    EXPECT_FALSE(ClientToScreen(nullptr, nullptr));
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST_F(WindowTest, CreationFailsWhenWmCreateRefuses) {
    auto refuse = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcA(h, m, wp, lp);
    };
    EXPECT_EQ(MakeWindow(refuse, "Refuse"), nullptr);
    EXPECT_EQ(FindWindowA("Refuse", nullptr), nullptr);
}

TEST_F(WindowTest, UpdateWindowErasesWithTheClassBrush) {
    PixelBuffer fb = screen::Screen::Get().Framebuffer();
    std::fill(fb.pixels, fb.pixels + static_cast<size_t>(fb.pitch) * fb.height, 0x00123456u);
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    cls.lpszClassName = "White";
    RegisterClassA(&cls);
    HWND w = CreateWindowExA(0, "White", "", WS_POPUP | WS_VISIBLE, 10, 20, 30, 40, nullptr,
                             nullptr, nullptr, nullptr);
    UpdateWindow(w);
    EXPECT_EQ(LoggedOf(WM_ERASEBKGND).size(), 1u);
    EXPECT_EQ(LoggedOf(WM_PAINT).size(), 1u);
    EXPECT_EQ(fb.Row(20)[10], 0x00FFFFFFu);
    EXPECT_EQ(fb.Row(59)[39], 0x00FFFFFFu);
    EXPECT_EQ(fb.Row(60)[39], 0x00123456u) << "below the window";
    EXPECT_EQ(fb.Row(20)[40], 0x00123456u) << "right of the window";
    UpdateWindow(w);
    EXPECT_EQ(LoggedOf(WM_ERASEBKGND).size(), 1u) << "nothing left to paint";
}

TEST_F(WindowTest, VisibleRegionLeavesOutWindowsAbove) {
    HWND below = MakeWindow(RecordingProc, "Below");
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.lpszClassName = "Above";
    RegisterClassA(&cls);
    CreateWindowExA(WS_EX_TOPMOST, "Above", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, nullptr,
                    nullptr, nullptr, nullptr);
    auto region = user::VisibleRegion(below);
    long area = 0;
    for (const RECT& r : region) {
        area += static_cast<long>(r.right - r.left) * (r.bottom - r.top);
        EXPECT_TRUE(r.right <= 100 || r.left >= 300 || r.bottom <= 100 || r.top >= 200)
            << "piece overlaps the window above: " << r.left << "," << r.top;
    }
    EXPECT_EQ(area, 640L * 480 - 200L * 100);
    EXPECT_TRUE(user::VisibleRegion(reinterpret_cast<HWND>(uintptr_t{0xBAD0})).empty());
}

TEST_F(WindowTest, MainWindowAndFindWindow) {
    EXPECT_EQ(user::MainWindow(), nullptr);
    HWND w = MakeWindow(RecordingProc, "Main");
    EXPECT_EQ(user::MainWindow(), w);
    EXPECT_EQ(FindWindowA("Main", "Main"), w);
    EXPECT_EQ(FindWindowA("Main", "Other title"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Main"), w);
}

}  // namespace
}  // namespace vrel::test
