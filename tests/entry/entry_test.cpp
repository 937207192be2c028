// Process start-up and exit: termination signals reach the program as WM_CLOSE.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

extern char** environ;

namespace vrel::test {
namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Start(const std::string& path) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    Child child;
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
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

TEST(EntryTest, TerminationSignalsEndTheLoopThroughCloseAndDestroy) {
    for (int signal : {SIGTERM, SIGINT}) {
        Child child = Start(std::string(VREL_BUILD_DIR) + "/tests/programs/close_on_signal");
        ASSERT_GT(child.pid, 0);
        ASSERT_NE(ReadUntil(child.out, "ready\n").find("ready"), std::string::npos);
        kill(child.pid, signal);
        std::string rest = ReadUntil(child.out, "\x04");  // to the end of the output
        int status = 0;
        waitpid(child.pid, &status, 0);
        close(child.out);
        EXPECT_EQ(rest, "WM_CLOSE\nWM_DESTROY\n") << "signal " << signal;
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << " killed it";
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
}  // namespace vrel::test
