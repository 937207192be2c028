#include "port/port_support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "runtime/port/directory.h"
#include "runtime/port/service.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"

extern char** environ;

namespace vrel::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/vrel-port-test.XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<Arrived>& Arrivals() {
    static std::vector<Arrived> arrivals;
    return arrivals;
}

std::vector<Arrived> ArrivalsOf(UINT message) {
    std::vector<Arrived> out;
    for (const Arrived& a : Arrivals()) {
        if (a.message == message) {
            out.push_back(a);
        }
    }
    return out;
}

LRESULT CommandResult(WPARAM wParam, LPARAM lParam) {
    return static_cast<LRESULT>(0x40000 + (wParam & 0xFFFF) * 3) - lParam;
}

namespace {

LRESULT CALLBACK PortWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Arrivals().push_back({message, wParam, lParam, user::TopMessageBox().has_value()});
    if (message != WM_COMMAND) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (wParam == kOpenAboutBox) {
        return MessageBoxA(window, "About this window", "About", MB_OK);
    }
    if (wParam == kOpenQuitBox) {
        return MessageBoxA(window, "Quit the Program?", "Quit", MB_YESNO);
    }
    return CommandResult(wParam, lParam);
}

}  // namespace

void PortTest::SetUp() {
    user::testing::ResetWindowing();
    // Boxes stay open until something answers them: here, a client of the port.
    user::testing::SetMessageBoxHook([](const user::testing::MessageBoxInfo&) { return 0; });
    Arrivals().clear();
    portDir_ = dir_.Path() + "/vrelintro";
    ASSERT_EQ(port::StartListeningIn(portDir_), "");
    socketPath_ = port::SocketPathFor(portDir_, getpid());
    ASSERT_EQ(port::ListeningPath(), socketPath_);
}

void PortTest::TearDown() {
    port::StopListening();
    user::testing::ResetWindowing();
    Arrivals().clear();
}

HWND PortTest::MakePortWindow(const char* name) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = PortWindowProc;
    cls.lpszClassName = name;
    RegisterClassA(&cls);
    HWND window = CreateWindowExA(0, name, name, WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, nullptr);
    PumpUntil([] { return false; }, 0);  // creation messages out of the way
    Arrivals().clear();
    return window;
}

bool PortTest::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

namespace {

std::vector<std::string> Environment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (extra.count(entry.substr(0, entry.find('='))) == 0) {
            env.push_back(entry);
        }
    }
    for (const auto& [name, value] : extra) {
        env.push_back(name + "=" + value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

pid_t SpawnWithPipes(const std::vector<std::string>& argv,
                     const std::map<std::string, std::string>& env, int* outFd, int* errFd) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (errFd != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    }  // otherwise the child writes to the test's own standard error
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = Environment(env);
    std::vector<char*> argp = Pointers(args);
    std::vector<char*> envp = Pointers(environment);
    pid_t pid = -1;
    if (posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    *outFd = out[0];
    if (errFd != nullptr) {
        *errFd = err[0];
    } else {
        close(err[0]);
    }
    return pid;
}

// Moves whatever is waiting on fd into *text; false once the pipe is closed.
bool Drain(int fd, std::string* text) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        text->append(buffer, static_cast<size_t>(n));
    }
    return n != 0 && !(n < 0 && errno != EAGAIN && errno != EINTR);
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            int* outFd) {
    return SpawnWithPipes(argv, env, outFd, nullptr);
}

std::string ReadUntil(int fd, const std::string& marker, int timeoutMs) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 50) > 0 && !Drain(fd, &text)) {
            break;
        }
    }
    return text;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildResult RunPumping(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env, int timeoutMs) {
    ChildResult result;
    int outFd = -1;
    int errFd = -1;
    const pid_t pid = SpawnWithPipes(argv, env, &outFd, &errFd);
    EXPECT_GT(pid, 0) << argv[0];
    if (pid <= 0) {
        return result;
    }
    bool outOpen = true;
    bool errOpen = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        pollfd fds[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
        if (poll(fds, 2, 2) > 0) {
            outOpen = fds[0].revents == 0 ? outOpen : Drain(outFd, &result.out);
            errOpen = fds[1].revents == 0 ? errOpen : Drain(errFd, &result.err);
        }
    }
    if (outOpen || errOpen) {
        kill(pid, SIGKILL);
        ADD_FAILURE() << argv[0] << " did not finish within " << timeoutMs << " ms";
    }
    close(outFd);
    close(errFd);
    result.exitCode = WaitForExit(pid);
    return result;
}

std::string BuildPath(const std::string& relative) {
    return std::string(VREL_BUILD_DIR) + "/" + relative;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace vrel::test
