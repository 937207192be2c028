// Process start-up and exit: a termination signal reaches the program as WM_CLOSE to its main
// window, a window stuck on it does not keep the process alive, and writing to a reader that
// went away does not end it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace vrel::test {
namespace {

TEST(EntryTest, TerminationSignalsEndTheRunThroughTheMainWindow) {
    // how the program runs, the signal it gets (and one more once it reported WM_CLOSE), and
    // what it reports from then on; it exits with 0 every time (a hang is the test's time-out)
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"", SIGTERM, 0, "WM_CLOSE\nWM_DESTROY\n"},
        {"", SIGINT, 0, "WM_CLOSE\nWM_DESTROY\n"},
        {"", SIGHUP, 0, "WM_CLOSE\nWM_DESTROY\n"},
        {"pipe", SIGTERM, 0, "WM_CLOSE\nWM_DESTROY\n"},  // it wrote into a pipe nobody reads
        {"stuck", SIGTERM, 0, "WM_CLOSE\n"},             // the grace period ends it
        {"stuck", SIGINT, SIGTERM, "WM_CLOSE\n"},        // the second signal ends it
    };
    for (const auto& [mode, signal, another, said] : cases) {
        FILE* out =
            popen(("exec " VREL_BUILD_DIR "/tests/programs/close_on_signal " + mode).c_str(), "r");
        char line[64] = {};
        int pid = 0;
        ASSERT_TRUE(fgets(line, sizeof line, out) && std::sscanf(line, "ready %d", &pid) == 1)
            << mode << " never got ready: " << line;
        kill(pid, signal);
        std::string rest;
        while (fgets(line, sizeof line, out)) {
            rest += line;
            if (rest == "WM_CLOSE\n" && another != 0) {
                kill(pid, another);
            }
        }
        const int status = pclose(out);
        EXPECT_EQ(rest, said) << mode << " " << signal;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << mode << ": status " << status;
    }
}

}  // namespace
}  // namespace vrel::test
