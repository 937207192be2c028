// Windows and messages as a program sees them: the queue, activation and message boxes.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "runtime/screen/memory_screen.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"

namespace vrel::test {
namespace {

using Kind = screen::InputEvent::Kind;

std::vector<HWND> g_windows;  // made by the test, in order: w0, w1, ...
std::string g_log;            // activations and WM_USER, as they reached a window

// Logs; answers WM_USER + 1 with 100 + wParam.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto index = std::find(g_windows.begin(), g_windows.end(), window) - g_windows.begin();
    if (message == WM_ACTIVATE) {  // one being made is the next
        g_log += "w" + std::to_string(index) + (LOWORD(wParam) == WA_INACTIVE ? " off " : " on ");
    } else if (message == WM_USER) {
        g_log += "user" + std::to_string(wParam) + " ";
    }
    return message == WM_USER + 1 ? LRESULT(100 + wParam)
                                  : DefWindowProcA(window, message, wParam, lParam);
}

void Focus(Kind kind) {
    dynamic_cast<screen::MemoryScreen&>(screen::Screen::Get()).Inject({kind});
}

// Takes and dispatches every waiting message; how many there were (a WM_QUIT ends it).
int Drain() {
    int count = 0;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && ++count && msg.message != WM_QUIT) {
        DispatchMessageA(&msg);
    }
    return count;
}

HWND MakeWindow(DWORD style = WS_POPUP | WS_VISIBLE) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.lpszClassName = "Test";
    RegisterClassA(&cls);  // again it fails and changes nothing
    g_windows.push_back(
        CreateWindowExA(0, "Test", "", style, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr));
    return g_windows.back();
}

class UserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        user::testing::ResetWindowing();
        g_windows.clear();
        w = MakeWindow();
        Drain();  // leaves "w0 on " in the log: a window shown is activated
    }
    void TearDown() override { user::testing::ResetWindowing(); }
    HWND w = nullptr;
};

TEST_F(UserTest, PostedMessagesComeInOrderThenOneQuitAndTenThousandAtMost) {
    PostMessageA(w, WM_USER, 1, 0);
    PostQuitMessage(6);
    PostMessageA(w, WM_USER, 2, 0);
    PostQuitMessage(7);
    std::string seen;
    MSG peeked{}, msg{};
    for (BOOL more = TRUE; more;) {
        ASSERT_TRUE(PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));  // which leaves it
        more = GetMessageA(&msg, nullptr, 0, 0);
        EXPECT_EQ(peeked.wParam, msg.wParam);
        seen += (msg.message == WM_QUIT ? "quit " : "user ") + std::to_string(msg.wParam) + ", ";
    }
    EXPECT_EQ(seen, "user 1, user 2, quit 7, ");
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "one quit, taken";
    int accepted = 0;
    while (accepted < 20000 && PostMessageA(w, WM_USER, 0, 0)) {
        ++accepted;
    }
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(Drain(), 10000);
    EXPECT_TRUE(PostMessageA(w, WM_USER, 0, 0)) << "room again once taken";
    DestroyWindow(w);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "its messages went with it";
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(w, WM_USER + 1, 0, 0), 0);
}

TEST_F(UserTest, OtherThreadsWakeTheLoopAndTheirSendsRunInsideIt) {
    LRESULT result = 0;
    std::thread other([&] {
        result = SendMessageA(w, WM_USER + 1, 20, 0);  // runs inside the GetMessageA below
        PostMessageA(w, WM_USER, 4, 0);                // ends its wait
    });
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    other.join();
    EXPECT_EQ(result, 120);
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(UserTest, ActivationAndTheRealWindowsFocusReachWindowsAsWmActivate) {
    EXPECT_EQ(g_log, "w0 on ") << "before CreateWindowExA returns";
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[] { Focus(Kind::FocusLost); }, "w0 off "},
        {[] { Focus(Kind::FocusLost); }, ""},
        // A loop waiting while inactive is woken: focus is not handled, then slept on.
        {[] { Focus(Kind::FocusGained), WaitMessage(); }, "w0 on "},
        {[] { MakeWindow(WS_POPUP); }, ""},  // hidden
        {[] { ShowWindow(g_windows[1], SW_SHOW); }, "w0 off w1 on "},
    };
    for (const auto& [step, activations] : steps) {
        g_log.clear();
        step();
        Drain();
        EXPECT_EQ(g_log, activations) << "after " << &step - &steps[0].first;
    }
}

TEST_F(UserTest, ABoxRunsItsOwnLoopUntilItIsAnsweredOrAQuitComes) {
    auto post = [this] { return PostMessageA(w, WM_USER, 1, 0) && PostMessageA(w, WM_USER, 2, 0); };
    // buttons, keys pressed once open, the test's answer (0: none), the result, what the box's
    // loop dispatched to the owner and left for the owner's loop. The test's answer waits for
    // the backlog, one from outside does not; a quit stays.
    const std::tuple<UINT, const char*, std::function<int()>, int, std::string, int> cases[] = {
        {MB_YESNO, "", [&] { return post(), IDNO; }, IDNO, "user1 user2 ", 0},
        {MB_OK, "", [&] { return post(), user::AnswerMessageBox(IDOK), 0; }, IDOK, "", 2},
        {MB_YESNO, "", [] { return PostQuitMessage(5), 0; }, IDOK, "", 1},
        {MB_YESNO, "N", nullptr, IDNO, "", 0},
        {MB_YESNO, "\x1b\r", nullptr, IDYES, "", 0},  // Escape, then Enter on the default button
        {MB_OK, "\x1b", nullptr, IDOK, "", 0},
        {MB_OKCANCEL, "\x1b", nullptr, IDCANCEL, "", 0},
        {MB_OKCANCEL, "\t ", nullptr, IDCANCEL, "", 0},  // Tab to the next button, Space
    };
    for (const auto& [type, keys, then, result, inside, left] : cases) {
        user::testing::SetMessageBoxHook([&](const user::testing::MessageBoxInfo&) {
            for (const char* key = keys; *key != '\0'; ++key) {
                PostMessageA(GetActiveWindow(), WM_KEYDOWN, WPARAM(*key), 1);
            }
            return then ? then() : 0;
        });
        g_log.clear();
        EXPECT_EQ(MessageBoxA(w, "t", "c", type), result) << keys << result;
        EXPECT_EQ(g_log, "w0 off " + inside + "w0 on ") << keys << result;
        EXPECT_EQ(Drain(), left) << keys << result;
    }
}

TEST_F(UserTest, ABoxIsEchoedOnStandardErrorAndAnswersAtOnceWhenItIsNotShown) {
    const auto gone = reinterpret_cast<HWND>(uintptr_t{0xBAD0});
    // owner, text, caption, buttons, a quit pending, result and echo; no hook: the default button
    const std::tuple<HWND, const char*, const char*, UINT, bool, int, std::string> cases[] = {
        {w, "t", "c", MB_YESNO, false, IDYES, "[c] t\n"},
        {nullptr, "a\nb\n", nullptr, MB_OK, false, IDOK, "[Error] a\nb\n"},
        {w, "t", "c", MB_YESNO, true, IDOK, "[c] t (not shown: a quit is pending)\n"},
        {nullptr, "t", "c", 0x0F, false, 0, ""},  // no such buttons
        {gone, "t", "c", MB_OK, false, 0, ""},
    };
    for (const auto& [owner, text, caption, type, quit, result, echo] : cases) {
        if (quit) {
            PostQuitMessage(3);
        }
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBoxA(owner, text, caption, type), result) << echo;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), echo);
        MSG msg{};
        EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT, quit);
    }
}

TEST_F(UserTest, BoxesNestEightDeepAtMost) {
    std::vector<int> results;
    int opened = 0;
    // Every box opens the next from inside its own loop, as a stream of About commands does.
    user::testing::SetMessageBoxHook([&](const user::testing::MessageBoxInfo&) {
        if (++opened < 9) {
            results.push_back(MessageBoxA(w, std::to_string(opened + 1).c_str(), "About", MB_OK));
        }
        return IDOK;
    });
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(w, "1", "About", MB_OK), IDOK);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(results, (std::vector<int>{0, IDOK, IDOK, IDOK, IDOK, IDOK, IDOK, IDOK}))
        << "the innermost (9th) returns first, not shown: no hook ran for it";
    EXPECT_NE(err.find("[About] 8\n[About] 9 (not shown: 8 boxes already open)\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(MessageBoxA(w, "again", "About", MB_OK), IDOK) << "room again once closed";
}

}  // namespace
}  // namespace vrel::test
