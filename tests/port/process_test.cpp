// The port of whole programs: it starts with the first window when the setting allows, and
// a termination signal removes its socket on the way out. (Sockets of killed programs and
// several programs at once are the end-to-end signal script's.)
#include <unistd.h>
#include <csignal>

#include "port/port_support.h"
#include "runtime/port/directory.h"

namespace vrel::test {
namespace {

const std::string kProgram = BuildPath("tests/programs/close_on_signal");

struct Running {
    pid_t pid = -1;
    int out = -1;
};

// Starts the little windowed program and waits until its window exists.
Running StartProgram(const std::map<std::string, std::string>& env) {
    Running r;
    r.pid = Spawn({kProgram}, env, &r.out);
    EXPECT_GT(r.pid, 0);
    const std::string said = ReadUntil(r.out, "ready\n");
    EXPECT_NE(said.find("ready"), std::string::npos) << "the program never got ready";
    return r;
}

int StopProgram(Running& r, int signal) {
    kill(r.pid, signal);
    const int code = WaitForExit(r.pid);
    close(r.out);
    return code;
}

class PortProcessTest : public ::testing::Test {
  protected:
    std::map<std::string, std::string> Env(const std::string& port) {
        return {{"XDG_RUNTIME_DIR", runtime_.Path()}, {"VREL_PORT", port}};
    }
    std::string SocketOf(pid_t pid) {
        return port::SocketPathFor(runtime_.Path() + "/vrelintro", pid);
    }
    TempDir runtime_;
};

TEST_F(PortProcessTest, TerminationSignalRemovesTheSocket) {
    for (int signal : {SIGTERM, SIGINT}) {
        Running program = StartProgram(Env("on"));
        EXPECT_TRUE(FileExists(SocketOf(program.pid))) << "signal " << signal;
        EXPECT_EQ(StopProgram(program, signal), 0) << "signal " << signal;
        EXPECT_FALSE(FileExists(SocketOf(program.pid))) << "signal " << signal;
    }
}

TEST_F(PortProcessTest, TheSettingDecidesWhetherThePortStarts) {
    struct Case {
        std::string port;
        std::string screen;
        bool listens;
    };
    // An empty VREL_PORT counts as unset. With no display the screen runs headless, but
    // the setting alone decides.
    const std::vector<Case> cases = {
        {"on", "none", true},     {"off", "none", false}, {"", "none", false},
        {"off", "window", false}, {"", "window", true},
    };
    for (const Case& c : cases) {
        auto env = Env(c.port);
        env["VREL_SCREEN"] = c.screen;
        env["SDL_VIDEODRIVER"] = "dummy";
        Running program = StartProgram(env);
        EXPECT_EQ(FileExists(SocketOf(program.pid)), c.listens)
            << "VREL_PORT=" << c.port << " VREL_SCREEN=" << c.screen;
        EXPECT_EQ(StopProgram(program, SIGTERM), 0);
    }
}

}  // namespace
}  // namespace vrel::test
