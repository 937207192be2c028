// The message queue: order of posts and quit, PM_NOREMOVE, sends, bounds and bad input.
#include <thread>

#include "runtime/user/user_runtime.h"
#include "user/user_support.h"

namespace vrel::test {
namespace {

using QueueTest = UserTest;

TEST_F(QueueTest, PostsBeforeAndAfterQuitRequestAllComeBeforeWmQuit) {
    HWND w = MakeWindow();
    Drain();
    PostMessageA(w, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(w, WM_USER, 2, 0);

    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.hwnd, nullptr);
}

TEST_F(QueueTest, PeekNoRemoveReportsPendingQuitAndLeavesIt) {
    PostQuitMessage(3);
    MSG msg{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "peek " << i;
        EXPECT_EQ(msg.message, WM_QUIT);
    }
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the quit was taken";
}

TEST_F(QueueTest, RepeatedQuitRequestsMergeIntoOne) {
    PostQuitMessage(0);
    PostQuitMessage(0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, PeekNoRemoveLeavesPostedMessageInPlace) {
    HWND w = MakeWindow();
    Drain();
    PostMessageA(w, WM_USER, 9, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, SendRunsWindowProcedureAtOnceAndReturnsItsResult) {
    HWND w = MakeWindow();
    MessageLog().clear();
    EXPECT_EQ(SendMessageA(w, WM_USER + 1, 5, 0), 105);
    ASSERT_EQ(MessageLog().size(), 1u);
    EXPECT_EQ(MessageLog()[0].message, WM_USER + 1u);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "a send is not queued";
}

TEST_F(QueueTest, SendFromAnotherThreadIsDispatchedInsideGetMessage) {
    HWND w = MakeWindow();
    Drain();
    LRESULT result = 0;
    std::thread sender([&] { result = SendMessageA(w, WM_USER + 1, 20, 0); });
    // The send wakes the waiting GetMessageA and runs inside it; the post ends the wait.
    std::thread poster([&] {
        sender.join();
        PostMessageA(w, WM_USER, 0, 0);
    });
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);
    poster.join();
    EXPECT_EQ(result, 120);
    EXPECT_EQ(LoggedOf(WM_USER + 1).size(), 1u);
}

TEST_F(QueueTest, SendWhoseSenderGaveUpIsDroppedNotDeliveredLate) {
    HWND w = MakeWindow();
    Drain();
    MessageLog().clear();
    bool answered = true;
    // Nobody pumps while the sender waits: it gives up.
    std::thread sender([&] {
        LRESULT result = 0;
        answered = user::SendFromOtherThread(w, WM_USER + 1, 3, 0, 20, &result);
    });
    sender.join();
    EXPECT_FALSE(answered);
    EXPECT_EQ(Drain(), 0);
    EXPECT_TRUE(LoggedOf(WM_USER + 1).empty()) << "the abandoned send ran late";
}

TEST_F(QueueTest, PostFromAnotherThreadWakesWaitMessage) {
    HWND w = MakeWindow();
    Drain();
    std::thread poster([w] { PostMessageA(w, WM_USER, 4, 0); });
    WaitMessage();
    poster.join();
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(QueueTest, FilterByWindowAndRangeSkipsOthers) {
    HWND a = MakeWindow(RecordingProc, "A");
    HWND b = MakeWindow(RecordingProc, "B");
    Drain();
    PostMessageA(a, WM_USER, 1, 0);
    PostMessageA(b, WM_USER + 5, 2, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
}

TEST_F(QueueTest, QueueIsBoundedAndRefusesPostsWhenFull) {
    HWND w = MakeWindow();
    Drain();
    int accepted = 0;
    while (PostMessageA(w, WM_USER, 0, 0) && accepted < 20000) {
        ++accepted;
    }
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(Drain(), 10000);
    EXPECT_TRUE(PostMessageA(w, WM_USER, 0, 0)) << "room again once drained";
}

TEST_F(QueueTest, BadArgumentsGetThePlatformsAnswers) {
    HWND gone = reinterpret_cast<HWND>(uintptr_t{0xDEAD0});
    MSG msg{};
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(gone, WM_USER + 1, 0, 0), 0);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_FALSE(TranslateMessage(nullptr));
    msg.hwnd = gone;
    msg.message = WM_USER + 1;
    EXPECT_EQ(DispatchMessageA(&msg), 0);
}

TEST_F(QueueTest, MessagesForADestroyedWindowAreDropped) {
    HWND w = MakeWindow();
    Drain();
    PostMessageA(w, WM_USER, 0, 0);
    DestroyWindow(w);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
}  // namespace vrel::test
