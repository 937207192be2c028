// The message port over a real socket: clients on other threads post and send to a window
// whose procedure runs on the test's thread, answer its message boxes, and are refused for
// everything outside the allow-list without changing anything.
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "port/port_support.h"
#include "runtime/port/protocol.h"
#include "runtime/port/service.h"
#include "runtime/user/user_runtime.h"
#include "tools/vrelctl/port_client.h"

namespace vrel::test {
namespace {

using port::PortClient;
using port::PortReply;

struct Outcome {
    bool replied = false;
    PortReply reply;
    std::string error;
};

std::string Show(const Outcome& o) {
    if (!o.replied) {
        return "no reply: " + o.error;
    }
    std::string text;
    for (const std::string& line : o.reply.dataLines) {
        text += line + " | ";
    }
    return text +
           (o.reply.ok ? "ok " + o.reply.value : "err " + o.reply.errorName + " " + o.reply.detail);
}

// One request on a connection of its own.
Outcome Ask(const std::string& socket, const std::string& line, int timeoutMs = 5000) {
    Outcome outcome;
    PortClient client;
    if (!client.Connect(socket, 2000, &outcome.error)) {
        return outcome;
    }
    outcome.replied = client.Exchange(line, timeoutMs, &outcome.reply, &outcome.error);
    return outcome;
}

std::future<Outcome> AskLater(const std::string& socket, const std::string& line,
                              int timeoutMs = 5000) {
    return std::async(std::launch::async,
                      [socket, line, timeoutMs] { return Ask(socket, line, timeoutMs); });
}

bool Ready(const std::future<Outcome>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// Waits (on a helper thread) until a message box is open.
bool WaitForBox(int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (user::TopMessageBox()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void ExpectOk(const Outcome& o, const std::string& what) {
    EXPECT_TRUE(o.replied && o.reply.ok) << what << ": " << Show(o);
}

void ExpectError(const Outcome& o, const std::string& code, const std::string& what) {
    EXPECT_TRUE(o.replied && !o.reply.ok && o.reply.errorName == code)
        << what << "\nexpected: err " << code << "\nactual:   " << Show(o);
}

using PortContractTest = PortTest;

struct ParameterCase {
    std::string wParam;
    std::string lParam;
    WPARAM expectedW;
    LPARAM expectedL;
};

const std::vector<ParameterCase> kParameterCases = {
    {"1003", "0", 1003, 0},
    {"0x000103E9", "0", 0x000103E9, 0},
    {"4294967295", "-1", 0xFFFFFFFF, -1},
    {"-2147483648", "0x80000000", 0x80000000, INT32_MIN},
    {"7", "2147483647", 7, INT32_MAX},
};

TEST_F(PortContractTest, PostReachesTheProcedureWithItsExactParameters) {
    MakePortWindow();
    for (const ParameterCase& c : kParameterCases) {
        Arrivals().clear();
        const std::string line = "post * * WM_COMMAND " + c.wParam + " " + c.lParam;
        ExpectOk(Ask(SocketPath(), line), line);
        ASSERT_TRUE(PumpUntil([] { return !ArrivalsOf(WM_COMMAND).empty(); })) << line;
        auto commands = ArrivalsOf(WM_COMMAND);
        ASSERT_EQ(commands.size(), 1u) << line;
        EXPECT_EQ(commands[0].wParam, c.expectedW) << line;
        EXPECT_EQ(commands[0].lParam, c.expectedL) << line;
    }
}

TEST_F(PortContractTest, SendReturnsTheProcedureResultForExactParameters) {
    MakePortWindow();
    for (const ParameterCase& c : kParameterCases) {
        Arrivals().clear();
        const std::string line = "send 3000 * * WM_COMMAND " + c.wParam + " " + c.lParam;
        auto answer = AskLater(SocketPath(), line);
        ASSERT_TRUE(PumpUntil([&] { return Ready(answer); })) << line;
        Outcome o = answer.get();
        ExpectOk(o, line);
        EXPECT_EQ(o.reply.value, std::to_string(CommandResult(c.expectedW, c.expectedL))) << line;
        auto commands = ArrivalsOf(WM_COMMAND);
        ASSERT_EQ(commands.size(), 1u) << line;
        EXPECT_EQ(commands[0].wParam, c.expectedW) << line;
        EXPECT_EQ(commands[0].lParam, c.expectedL) << line;
    }
}

TEST_F(PortContractTest, SendIsDispatchedInsideAnOpenBoxWhileAnotherSendWaitsForIt) {
    MakePortWindow();
    // The first send opens "Quit the Program?" and waits for its answer; everything else
    // happens on other connections meanwhile.
    auto quit = AskLater(SocketPath(), "send 10000 * * WM_COMMAND 1000");
    Outcome inside;
    Outcome listing;
    Outcome answered;
    bool quitStillWaiting = false;
    std::thread driver([&] {
        if (!WaitForBox()) {
            return;
        }
        inside = Ask(SocketPath(), "send 3000 * * WM_COMMAND 7 8");
        listing = Ask(SocketPath(), "list");
        quitStillWaiting = !Ready(quit);
        answered = Ask(SocketPath(), "answer no");
    });
    const bool finished = PumpUntil([&] { return Ready(quit); }, 15000);
    driver.join();
    ASSERT_TRUE(finished) << "the first send never came back";
    ExpectOk(inside, "send inside the box");
    EXPECT_EQ(inside.reply.value, std::to_string(CommandResult(7, 8)));
    EXPECT_TRUE(quitStillWaiting) << "the box's send had answered before the box was answered";
    ExpectOk(answered, "answer no");
    Outcome q = quit.get();
    ExpectOk(q, "the send that opened the box");
    EXPECT_EQ(q.reply.value, std::to_string(IDNO)) << "the procedure returned the box's answer";
    ASSERT_EQ(listing.reply.dataLines.size(), 2u) << Show(listing);
    EXPECT_EQ(listing.reply.dataLines[1], "box \"Quit\" \"Quit the Program?\" yesno");
    auto commands = ArrivalsOf(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1].wParam, 7u);
    EXPECT_TRUE(commands[1].boxOpen) << "dispatched by the box's modal loop";
}

TEST_F(PortContractTest, AnswersGoToTheOpenBoxOnly) {
    HWND window = MakePortWindow();
    ExpectError(Ask(SocketPath(), "answer ok"), "no-box", "answer with no box open");
    ExpectOk(Ask(SocketPath(), "post * * WM_COMMAND 1005"), "post About");
    Outcome wrongButton;
    Outcome boxAsTarget;
    Outcome okAnswer;
    std::thread driver([&] {
        if (!WaitForBox()) {
            return;
        }
        wrongButton = Ask(SocketPath(), "answer yes");
        boxAsTarget = Ask(SocketPath(), "post \"#32770\" * WM_CLOSE");
        okAnswer = Ask(SocketPath(), "answer ok");
    });
    // The post's procedure call records itself, then runs the box until it is answered.
    const bool closed = PumpUntil([] { return !ArrivalsOf(WM_COMMAND).empty(); });
    driver.join();
    ASSERT_TRUE(closed);
    ExpectError(wrongButton, "no-button", "answer yes to an OK box");
    ExpectError(boxAsTarget, "no-window", "a message box is not a top-level target");
    ExpectOk(okAnswer, "answer ok");
    EXPECT_TRUE(IsWindow(window));
}

struct RefusalCase {
    std::string line;
    std::string code;
};

TEST_F(PortContractTest, RefusalsChangeNothingAndTheConnectionGoesOn) {
    HWND window = MakePortWindow();
    // One of each way a line is refused on its way in (the parser's own table has the rest).
    const std::vector<RefusalCase> cases = {
        {"hello", "unknown-verb"},
        {"post * * WM_PAINT 0 0", "not-allowed"},
        {"post \"No such class\" * WM_COMMAND 1003", "no-window"},
        {"send 1000 \"No such class\" * WM_COMMAND 1003", "no-window"},
        {std::string("post * * WM_COMMAND 1003\0", 25), "bad-byte"},
        {std::string(5000, 'x'), "too-long"},
    };
    PortClient client;
    std::string error;
    ASSERT_TRUE(client.Connect(SocketPath(), 2000, &error)) << error;
    for (const RefusalCase& c : cases) {
        Outcome o;
        o.replied = client.Exchange(c.line, 3000, &o.reply, &o.error);
        ExpectError(o, c.code, "line: " + c.line.substr(0, 60));
    }
    Outcome after;
    after.replied = client.Exchange("list", 3000, &after.reply, &after.error);
    ExpectOk(after, "the same connection after every refusal");
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(Arrivals().empty()) << Arrivals().size() << " messages reached the window";
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(PortContractTest, RequestsSentTogetherAreAnsweredInOrder) {
    MakePortWindow();
    PortClient client;
    std::string error;
    ASSERT_TRUE(client.Connect(SocketPath(), 2000, &error)) << error;
    ASSERT_TRUE(client.WriteRaw("list\npost * * WM_COMMAND 9\nanswer ok\n"));
    std::vector<std::string> lines;
    for (int i = 0; i < 4; ++i) {
        std::string line;
        ASSERT_TRUE(client.ReadLine(3000, &line, &error)) << error;
        lines.push_back(line);
    }
    const std::string window = std::string("window \"") + kIntroName + "\" \"" + kIntroName + "\"";
    EXPECT_EQ(lines, (std::vector<std::string>{window, "ok 1", "ok",
                                               "err no-box no message box is open"}));
}

TEST_F(PortContractTest, ClosePostedFromOutsideDestroysTheWindow) {
    HWND window = MakePortWindow();
    ExpectOk(Ask(SocketPath(), std::string("post \"") + kIntroName + "\" * wm_close"), "close");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    EXPECT_EQ(ArrivalsOf(WM_CLOSE).size(), 1u);
    EXPECT_EQ(ArrivalsOf(WM_DESTROY).size(), 1u);
}

TEST_F(PortContractTest, TargetsAreFoundByClassAndTitleWithoutCase) {
    MakePortWindow("First window");
    MakePortWindow("Second window");
    ExpectOk(Ask(SocketPath(), "post \"SECOND WINDOW\" \"second window\" WM_COMMAND 2"), "2nd");
    ExpectOk(Ask(SocketPath(), "post \"first window\" * WM_COMMAND 1"), "1st");
    ExpectError(Ask(SocketPath(), "post \"first window\" \"Second window\" WM_COMMAND 3"),
                "no-window", "class of one, title of the other");
    ASSERT_TRUE(PumpUntil([] { return ArrivalsOf(WM_COMMAND).size() == 2; }));
    Outcome listing = Ask(SocketPath(), "list");
    ExpectOk(listing, "list");
    EXPECT_EQ(listing.reply.value, "2");
    EXPECT_EQ(listing.reply.dataLines.size(), 2u) << Show(listing);
}

TEST_F(PortContractTest, SendThatIsNotAnsweredInTimeSaysSo) {
    MakePortWindow();
    const auto start = std::chrono::steady_clock::now();
    Outcome o = Ask(SocketPath(), "send 200 * * WM_COMMAND 5");  // nobody pumps meanwhile
    const auto waited = std::chrono::steady_clock::now() - start;
    ExpectError(o, "timeout", "send to a window that does not pump");
    EXPECT_NE(o.reply.detail.find("(dropped)"), std::string::npos) << Show(o);
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    // Nobody waits for it any more: it is not run late.
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(ArrivalsOf(WM_COMMAND).empty());
}

TEST_F(PortContractTest, PostAndSendWakeABlockedGetMessage) {
    HWND window = MakePortWindow();
    std::atomic<bool> sent{false};
    std::thread client([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Outcome o = Ask(SocketPath(), "send 3000 * * WM_COMMAND 11");
        sent = o.replied && o.reply.ok;
        Ask(SocketPath(), "post * * WM_COMMAND 12");
    });
    // If nothing wakes GetMessageA, this watchdog ends the wait and the checks fail.
    std::promise<void> woken;
    std::thread watchdog([window, done = woken.get_future()] {
        if (done.wait_for(std::chrono::seconds(8)) == std::future_status::timeout) {
            PostMessageA(window, WM_USER, 0, 0);
        }
    });
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    woken.set_value();
    client.join();
    EXPECT_TRUE(sent.load()) << "the send was dispatched inside GetMessageA";
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND)) << "woken by the post";
    EXPECT_EQ(msg.wParam, 12u);
    watchdog.join();
    PumpUntil([] { return false; }, 0);
}

TEST_F(PortContractTest, ConnectionsAreBounded) {
    std::vector<PortClient> clients(16);
    std::string error;
    for (size_t i = 0; i < clients.size(); ++i) {
        ASSERT_TRUE(clients[i].Connect(SocketPath(), 2000, &error)) << i << ": " << error;
    }
    PortClient extra;
    EXPECT_FALSE(extra.Connect(SocketPath(), 2000, &error));
    EXPECT_NE(error.find("busy"), std::string::npos) << error;
    clients[3].Close();
    bool reconnected = false;
    for (int attempt = 0; attempt < 200 && !reconnected; ++attempt) {
        PortClient again;
        reconnected = again.Connect(SocketPath(), 2000, &error);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(reconnected) << "a closed connection frees its place: " << error;
}

TEST_F(PortContractTest, ConnectionIsClosedWhenItsTimeIsUpHoweverItTrickles) {
    port::StopListening();
    ASSERT_EQ(port::StartListeningIn(PortDirectory(), std::chrono::milliseconds(300)), "");
    std::vector<PortClient> clients(16);
    std::string error;
    for (size_t i = 0; i < clients.size(); ++i) {
        ASSERT_TRUE(clients[i].Connect(SocketPath(), 2000, &error)) << i << ": " << error;
    }
    PortClient extra;
    EXPECT_FALSE(extra.Connect(SocketPath(), 2000, &error));
    EXPECT_NE(error.find("busy"), std::string::npos) << error;
    // Every held connection keeps sending a byte now and then; its time runs out anyway.
    bool reconnected = false;
    for (int attempt = 0; attempt < 1000 && !reconnected; ++attempt) {
        for (PortClient& client : clients) {
            client.WriteRaw("l");
        }
        PortClient again;
        reconnected = again.Connect(SocketPath(), 2000, &error);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(reconnected) << "trickling clients still hold every place: " << error;
}

TEST_F(PortContractTest, StoppingEndsAWaitingSendAndRemovesTheSocket) {
    MakePortWindow();
    auto waiting = AskLater(SocketPath(), "send 60000 * * WM_COMMAND 5", 70000);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the send is queued
    ASSERT_FALSE(Ready(waiting));
    const auto start = std::chrono::steady_clock::now();
    port::StopListening();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2)) << "stop waited for the send's 60 s";
    Outcome o = waiting.get();
    ExpectError(o, "stopped", "the send in progress at stop");
    EXPECT_FALSE(FileExists(SocketPath()));
    EXPECT_EQ(port::ListeningPath(), "");
    port::StopListening();  // twice is harmless
}

TEST_F(PortContractTest, SocketAndDirectoryAreClosedToOtherUsers) {
    struct stat socketInfo {};
    struct stat dirInfo {};
    ASSERT_EQ(stat(SocketPath().c_str(), &socketInfo), 0);
    ASSERT_EQ(stat(PortDirectory().c_str(), &dirInfo), 0);
    EXPECT_TRUE(S_ISSOCK(socketInfo.st_mode));
    EXPECT_EQ(socketInfo.st_mode & 0777, 0600u);
    EXPECT_EQ(dirInfo.st_mode & 0777, 0700u);
    EXPECT_EQ(socketInfo.st_uid, geteuid());
    EXPECT_EQ(dirInfo.st_uid, geteuid());
}

// A real client running as another user ("nobody"). Only root can start one; the check
// itself is also tested directly (PeerAllowed).
TEST_F(PortContractTest, ClientOfAnotherUserIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a client as another user";
    }
    MakePortWindow();
    // Let the other user reach the socket at all, so the credential check is what refuses.
    ASSERT_EQ(chmod(dir_.Path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(PortDirectory().c_str(), 0711), 0);
    ASSERT_EQ(chmod(SocketPath().c_str(), 0666), 0);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string line = "cannot become nobody";
        if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
            PortClient client;
            std::string error;
            line = client.Connect(SocketPath(), 2000, &error) ? std::string("accepted") : error;
            if (line == "accepted") {
                PortReply reply;
                client.Exchange("post * * WM_COMMAND 1003", 2000, &reply, &error);
            }
        }
        [[maybe_unused]] ssize_t n = write(pipeFds[1], line.data(), line.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string seen = ReadUntil(pipeFds[0], "\x04", 5000);
    close(pipeFds[0]);
    WaitForExit(child);
    EXPECT_NE(seen.find("refused (denied)"), std::string::npos) << seen;
    EXPECT_NE(seen.find("you are uid 65534"), std::string::npos) << seen;
    PumpUntil([] { return false; }, 50);
    EXPECT_TRUE(ArrivalsOf(WM_COMMAND).empty());
}

}  // namespace
}  // namespace vrel::test
