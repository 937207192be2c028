// Process start-up and exit: termination signals reach the program as WM_CLOSE.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vrel::test {
namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Start(const std::string& path, const char* argument) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Child child;
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument), nullptr};
    EXPECT_EQ(posix_spawn(&child.pid, path.c_str(), &actions, nullptr, argv, environ), 0) << path;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    child.out = fds[0];
    return child;
}

// Reads until `marker` has arrived (or the pipe closes); returns everything read.
std::string ReadUntil(int fd, const std::string& marker) {
    std::string text;
    char buffer[256];
    while (text.find(marker) == std::string::npos) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// The child's status, or it is killed after a generous time (a hang fails the test).
bool WaitEnded(pid_t pid, int* status) {
    for (int i = 0; i < 3000; ++i) {
        if (waitpid(pid, status, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, status, 0);
    return false;
}

TEST(EntryTest, TerminationSignalsEndTheRun) {
    struct Case {
        const char* argument;
        std::vector<int> signals;  // the first, then any more after the window got WM_CLOSE
        const char* output;        // from "ready" on
    };
    const Case cases[] = {
        {"", {SIGTERM}, "WM_CLOSE\nWM_DESTROY\n"},
        {"", {SIGINT}, "WM_CLOSE\nWM_DESTROY\n"},
        {"", {SIGHUP}, "WM_CLOSE\nWM_DESTROY\n"},
        {"pipe", {SIGTERM}, "WM_CLOSE\nWM_DESTROY\n"},  // SIGPIPE did not end it
        {"stuck", {SIGTERM}, "WM_CLOSE\n"},             // the grace period ends it
        {"stuck", {SIGINT, SIGTERM}, "WM_CLOSE\n"},     // the second signal ends it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.argument) + " signal " + std::to_string(c.signals[0]) + " of " +
                     std::to_string(c.signals.size()));
        Child child =
            Start(std::string(VREL_BUILD_DIR) + "/tests/programs/close_on_signal", c.argument);
        ASSERT_GT(child.pid, 0);
        std::string start = ReadUntil(child.out, "ready\n");
        ASSERT_NE(start.find("ready"), std::string::npos);
        EXPECT_EQ(std::string(c.argument) == "pipe", start.find("EPIPE") == 0) << start;
        auto sent = std::chrono::steady_clock::now();
        kill(child.pid, c.signals[0]);
        std::string rest = ReadUntil(child.out, "WM_CLOSE\n");
        for (size_t i = 1; i < c.signals.size(); ++i) {
            sent = std::chrono::steady_clock::now();
            kill(child.pid, c.signals[i]);
        }
        int status = 0;
        ASSERT_TRUE(WaitEnded(child.pid, &status)) << "still running 30 s after the signal";
        auto took = std::chrono::steady_clock::now() - sent;
        rest += ReadUntil(child.out, "\x04");  // to the end of the output
        close(child.out);
        EXPECT_EQ(rest, c.output);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        std::printf("  ended %lld ms after the last signal\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    }
}

}  // namespace
}  // namespace vrel::test
