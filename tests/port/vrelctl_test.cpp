// vrelctl as a user runs it, against this test's own port and window (class and title of
// the intro): what each command delivers, what it prints, and its exit codes.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "port/port_support.h"
#include "runtime/user/user_runtime.h"

namespace vrel::test {
namespace {

const std::string kVrelctl = BuildPath("tools/vrelctl/vrelctl");

class VrelctlTest : public PortTest {
  protected:
    // vrelctl finds the port through XDG_RUNTIME_DIR, as it would find a real intro's.
    ChildResult Run(std::vector<std::string> args, int timeoutMs = 15000) {
        args.insert(args.begin(), kVrelctl);
        return RunPumping(args, {{"XDG_RUNTIME_DIR", dir_.Path()}}, timeoutMs);
    }
};

std::string Show(const ChildResult& r) {
    return "exit " + std::to_string(r.exitCode) + "\nstdout: " + r.out + "\nstderr: " + r.err;
}

TEST_F(VrelctlTest, MenuCommandsArePostedWithTheirIds) {
    MakePortWindow();
    struct Case {
        std::vector<std::string> args;
        WPARAM id;
    };
    const std::vector<Case> cases = {
        {{"open"}, 1001},
        {{"start"}, 1002},
        {{"pause"}, 1003},
        {{"Stop"}, 1004},
        {{"PAUSE"}, 1003},
        {{"raw", "WM_COMMAND", "0x000103E9"}, 0x000103E9},
        {{"raw", "wm_command", "1002", "-1"}, 1002},
    };
    for (const Case& c : cases) {
        Arrivals().clear();
        ChildResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args[0] << "\n" << Show(r);
        EXPECT_EQ(r.out, "") << "a post prints nothing";
        ASSERT_TRUE(PumpUntil([] { return !ArrivalsOf(WM_COMMAND).empty(); })) << c.args[0];
        EXPECT_EQ(ArrivalsOf(WM_COMMAND)[0].wParam, c.id) << c.args[0];
    }
    EXPECT_EQ(ArrivalsOf(WM_COMMAND)[0].lParam, -1) << "raw passes lParam on";
}

TEST_F(VrelctlTest, SendPrintsTheProcedureResult) {
    MakePortWindow();
    ChildResult r = Run({"--send", "raw", "WM_COMMAND", "0x000103E9", "5"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    EXPECT_EQ(r.out, std::to_string(CommandResult(0x000103E9, 5)) + "\n");
}

TEST_F(VrelctlTest, SendExitWaitsForTheAnswerGivenByAnotherVrelctl) {
    MakePortWindow();
    ChildResult answer;
    std::thread other([&] {
        for (int i = 0; i < 1000 && !user::TopMessageBox(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        int out = -1;
        // Plain spawn: the window's thread is inside the box, the test's thread pumps nothing.
        pid_t pid = Spawn({kVrelctl, "answer", "yes"}, {{"XDG_RUNTIME_DIR", dir_.Path()}}, &out);
        answer.out = ReadUntil(out, "\x04", 5000);
        close(out);
        answer.exitCode = WaitForExit(pid);
    });
    ChildResult exit = Run({"--send", "exit"});
    other.join();
    EXPECT_EQ(answer.exitCode, 0) << Show(answer);
    ASSERT_EQ(exit.exitCode, 0) << Show(exit);
    EXPECT_EQ(exit.out, std::to_string(IDYES) + "\n") << "the procedure returned the box's answer";
}

TEST_F(VrelctlTest, ListShowsThisProcessAndItsWindow) {
    MakePortWindow();
    ChildResult r = Run({"list"});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    const std::string name = std::string("\"") + kIntroName + "\"";
    EXPECT_EQ(r.out, std::to_string(getpid()) + " window class=" + name + " title=" + name + "\n");
}

struct FailureCase {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
};

TEST_F(VrelctlTest, FailuresSayWhyAndExitNonZero) {
    MakePortWindow();
    const std::vector<FailureCase> cases = {
        {{}, 1, "no command"},
        {{"dance"}, 1, "unknown command 'dance'"},
        {{"pause", "now"}, 1, "unknown command"},
        {{"--frobnicate", "pause"}, 1, "unknown option --frobnicate"},
        {{"--pid"}, 1, "--pid needs a process id"},
        {{"--pid", "x", "pause"}, 1, "--pid needs a process id"},
        {{"--timeout", "0", "--send", "pause"}, 1, "--timeout needs"},
        {{"answer", "maybe"}, 1, "answer takes ok, yes or no"},
        {{"raw", "WM_PAINT", "0"}, 1, "unknown message WM_PAINT"},
        {{"raw", "WM_COMMAND"}, 1, "raw takes MESSAGE WPARAM [LPARAM]"},
        {{"raw", "WM_COMMAND", "4294967296"}, 1, "32-bit integers"},
        {{"raw", "0x000F", "0"}, 3, "refused: message 0x000F is not allowed (not-allowed)"},
        {{"raw", "WM_CLOSE", "1"}, 3, "WM_CLOSE takes no parameters"},
        {{"answer", "yes"}, 3, "refused: no message box is open (no-box)"},
        {{"--pid", "1", "pause"}, 2, "no intro with pid 1 is running"},
    };
    for (const FailureCase& c : cases) {
        ChildResult r = Run(c.args);
        const std::string what = c.args.empty() ? "(nothing)" : c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << Show(r);
        EXPECT_NE(r.err.find(c.message), std::string::npos)
            << what << "\nexpected in stderr: " << c.message << "\n"
            << Show(r);
    }
    PumpUntil([] { return false; }, 50);
    EXPECT_TRUE(ArrivalsOf(WM_COMMAND).empty()) << "a refused command reached the window";
}

TEST_F(VrelctlTest, NoIntroWindowMeansRefused) {
    MakePortWindow("Some other program");
    ChildResult r = Run({"pause"});
    EXPECT_EQ(r.exitCode, 3) << Show(r);
    EXPECT_NE(r.err.find("no-window"), std::string::npos) << Show(r);
}

TEST_F(VrelctlTest, SendThatTimesOutSaysSo) {
    MakePortWindow();
    int out = -1;
    // Nobody pumps: the window never answers.
    pid_t pid = Spawn({kVrelctl, "--send", "--timeout", "1", "pause"},
                      {{"XDG_RUNTIME_DIR", dir_.Path()}}, &out);
    ReadUntil(out, "\x04", 10000);
    close(out);
    EXPECT_EQ(WaitForExit(pid), 4);
    PumpUntil([] { return !ArrivalsOf(WM_COMMAND).empty(); });
}

TEST_F(VrelctlTest, NothingRunningOrAnUnsafeDirectoryIsAnError) {
    TempDir empty;
    ChildResult none = RunPumping({kVrelctl, "pause"}, {{"XDG_RUNTIME_DIR", empty.Path()}});
    EXPECT_EQ(none.exitCode, 2) << Show(none);
    EXPECT_NE(none.err.find("no intro is running"), std::string::npos) << Show(none);
    ChildResult list = RunPumping({kVrelctl, "list"}, {{"XDG_RUNTIME_DIR", empty.Path()}});
    EXPECT_EQ(list.exitCode, 2) << Show(list);

    ASSERT_EQ(chmod(PortDirectory().c_str(), 0755), 0);
    ChildResult open = Run({"pause"});
    EXPECT_EQ(open.exitCode, 2) << Show(open);
    EXPECT_NE(open.err.find("open to other users"), std::string::npos) << Show(open);
}

TEST_F(VrelctlTest, SeveralIntrosNeedAPid) {
    MakePortWindow();
    int out = -1;
    const pid_t other = Spawn({BuildPath("tests/programs/close_on_signal")},
                              {{"XDG_RUNTIME_DIR", dir_.Path()}, {"VREL_PORT", "on"}}, &out);
    ASSERT_NE(ReadUntil(out, "ready\n").find("ready"), std::string::npos);

    ChildResult ambiguous = Run({"pause"});
    EXPECT_EQ(ambiguous.exitCode, 2) << Show(ambiguous);
    EXPECT_NE(ambiguous.err.find("several intros are running"), std::string::npos)
        << Show(ambiguous);
    ChildResult chosen = Run({"--pid", std::to_string(getpid()), "pause"});
    EXPECT_EQ(chosen.exitCode, 0) << Show(chosen);
    ChildResult list = Run({"list"});
    EXPECT_EQ(list.exitCode, 0) << Show(list);
    EXPECT_NE(list.out.find(std::to_string(other) + " window class=\"SignalTest\""),
              std::string::npos)
        << Show(list);
    EXPECT_NE(list.out.find(std::to_string(getpid()) + " window"), std::string::npos) << Show(list);

    kill(other, SIGTERM);
    EXPECT_EQ(WaitForExit(other), 0);
    close(out);
    ASSERT_TRUE(PumpUntil([] { return ArrivalsOf(WM_COMMAND).size() == 1; }));
}

TEST_F(VrelctlTest, HelpListsTheMenuCommands) {
    ChildResult r = Run({"--help"});
    EXPECT_EQ(r.exitCode, 0) << Show(r);
    for (const char* line : {"about      1005", "exit       1000", "open       1001",
                             "pause      1003", "start      1002", "stop       1004"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    }
}

}  // namespace
}  // namespace vrel::test
