// Message boxes: activation around them, their modal loop, answers, quit handling, the
// pixels they cover and their echo on standard error.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/screen/screen.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"
#include "user/user_support.h"

namespace vrel::test {
namespace {

using user::testing::MessageBoxInfo;
using user::testing::SetMessageBoxHook;

using MessageBoxTest = UserTest;

TEST_F(MessageBoxTest, OwnerLosesActivationWhileOpenAndGetsItBack) {
    HWND w = MakeWindow();
    Drain();
    MessageLog().clear();
    HWND box = nullptr;
    SetMessageBoxHook([&](const MessageBoxInfo& info) {
        EXPECT_EQ(info.owner, w);
        box = GetActiveWindow();
        return IDOK;
    });
    EXPECT_EQ(MessageBoxA(w, "text", "caption", MB_OK), IDOK);
    auto activations = LoggedOf(WM_ACTIVATE);
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
    EXPECT_EQ(activations[0].lParam, reinterpret_cast<LPARAM>(box));
    EXPECT_NE(box, w);
    EXPECT_EQ(LOWORD(activations[1].wParam), WA_ACTIVE);
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_FALSE(IsWindow(box)) << "the box is gone";
}

TEST_F(MessageBoxTest, MessagePostedToOwnerIsDispatchedInsideMessageBox) {
    HWND w = MakeWindow();
    Drain();
    MessageLog().clear();
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        PostMessageA(w, WM_USER, 77, 0);
        return IDYES;
    });
    EXPECT_EQ(MessageBoxA(w, "Quit?", "Quit", MB_YESNO), IDYES);
    auto users = LoggedOf(WM_USER);
    ASSERT_EQ(users.size(), 1u) << "dispatched before the box closed";
    EXPECT_EQ(users[0].wParam, 77u);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageBoxTest, BoxShownWhileQuitIsPendingReturnsAtOnceAndQuitStays) {
    HWND w = MakeWindow();
    Drain();
    MessageLog().clear();
    bool hookRan = false;
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        hookRan = true;
        return IDNO;
    });
    PostQuitMessage(0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(w, "x", "y", MB_YESNO), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[y] x (not shown: a quit is pending)\n");
    EXPECT_FALSE(hookRan);
    EXPECT_TRUE(LoggedOf(WM_ACTIVATE).empty());
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE) << "the loop still ends";
}

TEST_F(MessageBoxTest, NestingIsBoundedAndTheRefusedBoxIsEchoedAsNotShown) {
    HWND w = MakeWindow();
    Drain();
    std::vector<int> results;
    int opened = 0;
    // Every box opens the next from inside its own modal loop, as a stream of About does.
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        if (++opened < 9) {
            results.push_back(MessageBoxA(w, std::to_string(opened + 1).c_str(), "About", MB_OK));
        }
        return IDOK;
    });
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(w, "1", "About", MB_OK), IDOK);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, 8) << "the hook runs only for boxes that were shown";
    EXPECT_EQ(results, (std::vector<int>{0, IDOK, IDOK, IDOK, IDOK, IDOK, IDOK, IDOK}))
        << "the innermost (9th) box returns first";
    EXPECT_NE(err.find("[About] 8\n[About] 9 (not shown: 8 boxes already open)\n"),
              std::string::npos)
        << err;
    EXPECT_FALSE(user::TopMessageBox()) << "every shown box closed";
    EXPECT_EQ(MessageBoxA(w, "again", "About", MB_OK), IDOK) << "room again once closed";
}

TEST_F(MessageBoxTest, QuitArrivingWhileOpenClosesTheBoxWithOkAndStaysPending) {
    HWND w = MakeWindow();
    Drain();
    SetMessageBoxHook([](const MessageBoxInfo&) {
        PostQuitMessage(5);
        return 0;  // no answer: only the quit can end the box
    });
    EXPECT_EQ(MessageBoxA(w, "x", "y", MB_YESNO), IDOK);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(MessageBoxTest, KeysAnswerTheBox) {
    struct Case {
        UINT type;
        WPARAM key;
        int expected;
    };
    const Case cases[] = {
        {MB_YESNO, 'N', IDNO},         {MB_YESNO, 'Y', IDYES},   {MB_YESNO, VK_RETURN, IDYES},
        {MB_OK, VK_RETURN, IDOK},      {MB_OK, VK_ESCAPE, IDOK}, {MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_OKCANCEL, VK_SPACE, IDOK},
    };
    HWND w = MakeWindow();
    for (const Case& c : cases) {
        SetMessageBoxHook([&](const MessageBoxInfo&) {
            HWND box = GetActiveWindow();
            if (c.key == VK_SPACE) {
                PostMessageA(box, WM_KEYDOWN, VK_TAB, 1);  // focus to the second button...
                PostMessageA(box, WM_KEYDOWN, VK_TAB, 1);  // ...and back to the first
            }
            PostMessageA(box, WM_KEYDOWN, c.key, 1);
            return 0;
        });
        EXPECT_EQ(MessageBoxA(w, "t", "c", c.type), c.expected) << "key " << c.key;
    }
}

TEST_F(MessageBoxTest, AnswerFromAnotherThreadReachesTheOpenBox) {
    HWND w = MakeWindow();
    SetMessageBoxHook([](const MessageBoxInfo&) { return 0; });
    EXPECT_FALSE(user::AnswerMessageBox(IDOK)) << "no box open yet";
    std::atomic<bool> answered{false};
    std::thread answerer([&] {
        while (!user::AnswerMessageBox(IDNO)) {
            std::this_thread::yield();
        }
        answered = true;
    });
    EXPECT_EQ(MessageBoxA(w, "Quit the Program?", "Quit", MB_YESNO), IDNO);
    answerer.join();
    EXPECT_TRUE(answered);
}

TEST_F(MessageBoxTest, OutsideAnswerClosesTheBoxWithoutWaitingForTheQueueToEmpty) {
    HWND w = MakeWindow();
    Drain();
    MessageLog().clear();
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        for (int i = 0; i < 5; ++i) {
            PostMessageA(w, WM_USER, static_cast<WPARAM>(i), 0);
        }
        EXPECT_TRUE(user::AnswerMessageBox(IDOK));
        return 0;
    });
    EXPECT_EQ(MessageBoxA(w, "About", "About", MB_OK), IDOK);
    EXPECT_TRUE(LoggedOf(WM_USER).empty()) << "the box closed before the backlog";
    EXPECT_EQ(Drain(), 5) << "the backlog is still there for the owner's loop";
}

TEST_F(MessageBoxTest, AnswerThatIsNotOneOfTheButtonsIsRefused) {
    HWND w = MakeWindow();
    bool refusedOk = false;
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        refusedOk = !user::AnswerMessageBox(IDOK);
        EXPECT_TRUE(user::AnswerMessageBox(IDYES));
        return 0;
    });
    EXPECT_EQ(MessageBoxA(w, "t", "c", MB_YESNO), IDYES);
    EXPECT_TRUE(refusedOk);
}

TEST_F(MessageBoxTest, WithoutScreenOrHookTheDefaultButtonAnswers) {
    ASSERT_TRUE(screen::Screen::Get().Headless());
    HWND w = MakeWindow();
    EXPECT_EQ(MessageBoxA(w, "t", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK), IDOK);
}

TEST_F(MessageBoxTest, CoveredPixelsComeBackWhenTheBoxCloses) {
    HWND w = MakeWindow();
    Drain();
    PixelBuffer fb = screen::Screen::Get().Framebuffer();
    for (int y = 0; y < fb.height; ++y) {
        for (int x = 0; x < fb.width; ++x) {
            fb.Row(y)[x] = static_cast<uint32_t>(x * 7 + y * 13) & 0x00FFFFFFu;
        }
    }
    std::vector<uint32_t> before(fb.pixels, fb.pixels + static_cast<size_t>(fb.pitch) * fb.height);
    size_t changedWhileOpen = 0;
    SetMessageBoxHook([&](const MessageBoxInfo&) {
        for (size_t i = 0; i < before.size(); ++i) {
            changedWhileOpen += fb.pixels[i] != before[i];
        }
        return IDOK;
    });
    MessageBoxA(w, "This text is long enough to be wrapped over more than one line of the box.",
                "About", MB_OK);
    EXPECT_GT(changedWhileOpen, 10000u) << "the box was drawn";
    size_t differ = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        differ += fb.pixels[i] != before[i];
    }
    EXPECT_EQ(differ, 0u);
}

TEST_F(MessageBoxTest, CaptionAndTextAreEchoedOnStandardError) {
    HWND w = MakeWindow();
    ::testing::internal::CaptureStderr();
    MessageBoxA(w, "File format not supported.", "Error", MB_OK);
    MessageBoxA(w, "line one\nline two\n", "Error", MB_OK);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[Error] File format not supported.\n"), std::string::npos) << err;
    EXPECT_NE(err.find("[Error] line one\nline two\n"), std::string::npos) << err;
}

TEST_F(MessageBoxTest, BadArgumentsReturnZero) {
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", 0x0000000Fu), 0) << "unknown button set";
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(uintptr_t{0xBAD0}), "t", "c", MB_OK), 0);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK) << "null texts are empty";
}

}  // namespace
}  // namespace vrel::test
