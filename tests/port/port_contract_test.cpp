// The message port as its clients see it: requests over a real socket and their answers,
// refusals, limits, where sockets live and who may use them, and vrelctl's commands and codes.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "runtime/port/directory.h"
#include "runtime/port/service.h"
#include "runtime/port/socket.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"
#include "tools/vrelctl/port_client.h"

namespace vrel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kIntro[] = "Vrel Roru Intro by Tarrow/Senmar";  // class and title
const std::string kIntroLine = std::string("window \"") + kIntro + "\" \"" + kIntro + "\"\n";
const std::string kVrelctl = std::string(VREL_BUILD_DIR) + "/tools/vrelctl/vrelctl";

// A fresh 0700 directory under /tmp, removed with everything in it (what cannot be, is left).
struct TempDir {
    std::string path = mkdtemp(std::string("/tmp/vrel-port-test.XXXXXX").data());
    std::error_code left;
    ~TempDir() { std::filesystem::remove_all(path, left); }
};

using Arrivals = std::vector<std::tuple<UINT, WPARAM, LPARAM>>;
Arrivals g_arrived;  // the commands and closes that reached the window, in order

LRESULT CommandResult(WPARAM wParam, LPARAM lParam) {  // a value a test can recognise
    return static_cast<LRESULT>(0x40000 + (wParam & 0xFFFF) * 3) - lParam;
}

// WM_COMMAND 1005 opens a box ("About"), any other command returns CommandResult.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_CLOSE) {
        g_arrived.emplace_back(message, wParam, lParam);
    }
    if (message != WM_COMMAND) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return wParam == 1005 ? MessageBoxA(window, "About this window", "About", MB_OK)
                          : CommandResult(wParam, lParam);
}

// The intro's window, its port in $XDG_RUNTIME_DIR/vrelintro; message boxes stay open.
class PortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", dir_.path.c_str(), 1);
        user::testing::ResetWindowing();
        user::testing::SetMessageBoxHook([](const user::testing::MessageBoxInfo&) { return 0; });
        WNDCLASSA cls{};
        cls.lpfnWndProc = RecordingProc;
        cls.lpszClassName = kIntro;
        RegisterClassA(&cls);
        CreateWindowExA(0, kIntro, kIntro, WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                        nullptr, nullptr);
        ASSERT_EQ(port::StartListeningIn(portDir_), "");
    }
    void TearDown() override {
        port::StopListening();
        user::testing::ResetWindowing();
    }

    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (MSG msg{}; !done() && Clock::now() < end; std::this_thread::sleep_for(1ms)) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
            }
        }
        return done();
    }

    // Pumps until one message arrives (when one is expected; else for 50 ms): it is the one.
    void ExpectArrival(UINT message, WPARAM wParam, LPARAM lParam, const std::string& what) {
        PumpUntil([] { return !g_arrived.empty(); }, message != 0 ? 5000 : 50);
        const Arrivals expected{{message, wParam, lParam}};
        EXPECT_EQ(g_arrived, message != 0 ? expected : Arrivals{}) << what;
        g_arrived.clear();
    }

    // One request on a connection of its own, answered while the caller pumps: its reply.
    std::future<std::string> AskLater(const std::string& line) {
        return std::async(std::launch::async, [this, line] {
            port::PortClient client;
            std::string reply, error, got;
            bool ok = client.Connect(socketPath_, 2000, &error) && client.WriteRaw(line + "\n");
            while (ok && !got.starts_with("ok") && !got.starts_with("err ")) {
                ok = client.ReadLine(5000, &got, &error);
                reply += got + "\n";
            }
            return ok ? reply : reply + error;
        });
    }
    // Runs a shell command to its end, pumping meanwhile unless not `pump`: its code and output.
    std::pair<int, std::string> RunCommand(const std::string& command, bool pump = true) {
        const std::string out = dir_.path + "/output";
        auto status = std::async(std::launch::async, [&] {
            return std::system((command + " >" + out + " 2>&1").c_str());
        });
        PumpUntil([&] { return !pump || status.wait_for(0s) == std::future_status::ready; }, 60000);
        const int code = status.get();
        std::ifstream in(out);
        return {WIFEXITED(code) ? WEXITSTATUS(code) : -1, {std::istreambuf_iterator<char>(in), {}}};
    }

    TempDir dir_;
    const std::string portDir_ = dir_.path + "/vrelintro";
    const std::string socketPath_ = port::SocketPathFor(portDir_, getpid());
};

TEST_F(PortTest, RequestsReachTheWindowAsA32BitProgramSeesThem) {
    // the request, its reply, and what reaches the window procedure (message 0: nothing)
    const std::tuple<std::string, std::string, UINT, WPARAM, LPARAM> cases[] = {
        {"  LiSt\t\r", kIntroLine + "ok 1", 0, 0, 0},
        {"post \"VREL RORU INTRO by Tarrow/Senmar\" \"vrel roru intro BY TARROW/SENMAR\" "
         "wm_command 0x000103E9 0",
         "ok", WM_COMMAND, 0x000103E9, 0},
        {"post * * 273 4294967295 -1", "ok", WM_COMMAND, 0xFFFFFFFF, -1},
        {"post * * WM_COMMAND -2147483648 0x80000000", "ok", WM_COMMAND, 0x80000000, INT32_MIN},
        {"post * * WM_COMMAND 0XfFfFfFfF 2147483647", "ok", WM_COMMAND, 0xFFFFFFFF, INT32_MAX},
        {"post * * WM_COMMAND 1 " + std::string(233, '0'), "ok", WM_COMMAND, 1, 0},  // 255 bytes
        {"post * * 0x10 0 0", "ok", WM_CLOSE, 0, 0},  // last: it closes the window
    };
    for (const auto& [line, reply, message, wParam, lParam] : cases) {
        auto answer = AskLater(line);
        ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(0s) == std::future_status::ready; }))
            << line;
        EXPECT_EQ(answer.get(), reply + "\n") << line;
        ExpectArrival(message, wParam, lParam, line);
    }
}

TEST_F(PortTest, RefusalsSayWhyChangeNothingAndTheConnectionGoesOn) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"syntax",
         {"", "list extra", "post * *", "post * * WM_COMMAND 1 2 3", "send 100 * *",
          "post \"unterminated * WM_COMMAND 1", "post \"a\"b * WM_COMMAND 1",
          "post a\"b * WM_COMMAND 1", "post \"\\q\" * WM_COMMAND 1", "post \"\\x4\" * WM_COMMAND 1",
          "post \"a\\", "post * * \"WM_COMMAND\" 1", "answer ok yes", "answer \"ok\""}},
        {"unknown-verb", {"hello", "\"list\""}},
        {"not-allowed",
         {"post * * WM_PAINT", "post * * 0x000F", "post * * 0x0112 0xF060 0", "post * * WM_CLOSE 1",
          "post * * WM_CLOSE 0 5", "answer cancel"}},
        {"bad-number",  // not a 32-bit integer; a time-out outside 1 to 60000 ms
         {"post * * WM_COMMAND 4294967296", "post * * WM_COMMAND -2147483649",
          "post * * WM_COMMAND 12abc", "post * * WM_COMMAND -0x10", "post * * WM_COMMAND +5",
          "post * * WM_COMMAND 1 \"2\"", "send 0 * * WM_COMMAND 1", "send 60001 * * WM_COMMAND 1",
          "send soon * * WM_COMMAND 1"}},
        {"bad-byte",
         {std::string("post * * WM_COMMAND 1003\0", 25), "post \"a\\x00b\" * WM_COMMAND 1",
          "post \x1b[31m * WM_COMMAND 1", "li\rst", "list\x7f"}},
        {"too-long", {"post * * WM_COMMAND 1 " + std::string(234, '0'), std::string(5000, 'x')}},
        {"no-window",
         {"post \"No such class\" * WM_COMMAND 1003",
          "send 1000 \"Vrel Roru Intro by Tarrow/Senmar\" \"Vrel\" WM_COMMAND 3"}},
    };
    // One reply a line, in order, on one connection that goes on; one line comes in two pieces.
    std::string stream, expected, codes, error, line;
    for (const auto& [code, lines] : cases) {
        for (const std::string& request : lines) {
            stream += request + "\n";
            expected += "err " + code + "\n";
        }
    }
    port::PortClient client;
    ASSERT_TRUE(client.Connect(socketPath_, 2000, &error)) << error;
    const size_t split = stream.find("WM_PAINT");
    for (const std::string& piece : {stream.substr(0, split), stream.substr(split)}) {
        client.WriteRaw(piece);
        for (auto n = std::count(piece.begin(), piece.end(), '\n');
             n > 0 && client.ReadLine(5000, &line, &error); --n) {
            codes += line.substr(0, line.find(' ', 4)) + "\n";
        }
    }
    EXPECT_EQ(codes, expected) << error;
    ExpectArrival(0, 0, 0, "refused");
}

TEST_F(PortTest, SixteenConnectionsAtMostUntilOneClosesOrItsTimeIsUpHoweverItTrickles) {
    for (const auto limit : {port::PortServer::kConnectionLimit, std::chrono::milliseconds(300)}) {
        port::StopListening();
        ASSERT_EQ(port::StartListeningIn(portDir_, limit), "");
        std::vector<port::PortClient> clients(16);
        std::string error;
        for (port::PortClient& client : clients) {
            ASSERT_TRUE(client.Connect(socketPath_, 2000, &error)) << error;
        }
        EXPECT_FALSE(port::PortClient().Connect(socketPath_, 2000, &error)) << "the 17th";
        EXPECT_NE(error.find("busy"), std::string::npos) << error;
        clients.resize(limit == port::PortServer::kConnectionLimit ? 15 : 16);  // one goes, or none
        bool again = false;
        for (int attempt = 0; attempt < 1000 && !again; ++attempt) {
            for (port::PortClient& client : clients) {
                client.WriteRaw("l");  // a byte now and then, never a whole request
            }
            again = port::PortClient().Connect(socketPath_, 2000, &error);
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(again) << limit.count() << " ms: " << error;
    }
}

TEST_F(PortTest, StoppingEndsASendInProgressAndRemovesTheSocket) {
    auto waiting = AskLater("send 60000 * * WM_COMMAND 1005");  // "About" stays open
    std::thread driver([&] {
        for (int i = 0; i < 1000 && !user::TopMessageBox(); ++i) {
            std::this_thread::sleep_for(5ms);
        }
        port::StopListening();
        user::AnswerMessageBox(IDOK);
    });
    const bool finished =
        PumpUntil([&] { return waiting.wait_for(0s) == std::future_status::ready; }, 30000);
    driver.join();
    ASSERT_TRUE(finished) << "stop waited for the send's 60 s";
    EXPECT_EQ(waiting.get(), "err stopped the port is shutting down\n");
    EXPECT_NE(access(socketPath_.c_str(), F_OK), 0);
}

TEST_F(PortTest, OnlyTheUserWhoOwnsThePortReachesIt) {
    struct stat info {};
    ASSERT_EQ(stat(socketPath_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a client as another user";
    }
    // Let the other user reach the socket at all, so the credential check is what refuses.
    ASSERT_EQ(chmod(dir_.path.c_str(), 0711) | chmod(portDir_.c_str(), 0711), 0);
    ASSERT_EQ(chmod(socketPath_.c_str(), 0666), 0);
    const pid_t child = fork();
    if (child == 0) {
        std::string said;
        const bool nobody = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        _exit(nobody && !port::PortClient().Connect(socketPath_, 2000, &said) &&
                      said == "refused (denied): this port belongs to uid 0, you are uid 65534"
                  ? 0
                  : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << "nobody was not refused, or not in those words";
}

TEST(PortDirectoryTest, OnlyAPrivateDirectoryOfOurOwnIsUsed) {
    // The path checked (beside it: "link" to "d"), the mode "d" is made with first (0: none; a
    // missing one is made under umask 0277), and the refusal ("": accepted, and 0700).
    const std::tuple<std::string, mode_t, std::string> cases[] = {
        {"/d", 0, ""},
        {"/d", 0755, "open to other users (mode 755)"},
        {"/link", 0700, "is not a directory"},
        {"/d", 01700, "belongs to uid 65534"},  // given away, when root
        {"/none/deeper", 0, "No such file"},
        {"/" + std::string(90, 'x'), 0, "too long for a socket path"},
    };
    for (const auto& [under, made, refusal] : cases) {
        TempDir base;
        const std::string path = base.path + under;
        if (made != 0) {
            mkdir((base.path + "/d").c_str(), 0700);
            chmod((base.path + "/d").c_str(), made & 0777);
        }
        if ((made & 01000) != 0 && chown(path.c_str(), 65534, 65534) != 0) {
            continue;  // only root can give a directory away
        }
        EXPECT_EQ(symlink((base.path + "/d").c_str(), (base.path + "/link").c_str()), 0);
        std::string error;
        const mode_t old = umask(0277);
        const bool ok = port::CheckPortDirectory(path, true, &error);
        umask(old);
        EXPECT_EQ(ok, refusal.empty()) << under << ": " << error;
        EXPECT_NE(error.find(refusal), std::string::npos) << under << ": " << error;
        struct stat info {};
        EXPECT_TRUE(!ok || (stat(path.c_str(), &info) == 0 && (info.st_mode & 0777) == 0700))
            << under << ": mode " << std::oct << (info.st_mode & 0777);
    }
}

TEST(PortDirectoryTest, StaleSocketsGoWhateverTheirNamesSayLiveOnesStay) {
    TempDir dir;
    const pid_t gone = fork();  // its pid is dead, but a listener answers at its name
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, nullptr, 0);
    std::string error;
    port::UniqueFd answering = port::ListenOn(port::SocketPathFor(dir.path, gone), 4, &error);
    for (const long pid : {1L, long{getpid()}}) {  // 1 lives, its socket refuses: a reused pid
        port::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM, 0));  // bound, never listening: killed
        sockaddr_un address{AF_UNIX, {}};
        port::SocketPathFor(dir.path, pid).copy(address.sun_path, sizeof address.sun_path - 1);
        ASSERT_EQ(bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    const std::vector<port::LivePort> ports = port::CleanAndListPorts(dir.path, getpid());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].pid, gone);
    EXPECT_NE(access(port::SocketPathFor(dir.path, 1).c_str(), F_OK), 0) << "a reused pid's";
    EXPECT_EQ(access(port::SocketPathFor(dir.path, getpid()).c_str(), F_OK), 0) << "our own";
}

TEST_F(PortTest, AProgramListensFromItsFirstWindowWhereAndIfItsSettingsSay) {
    const std::string d = dir_.path;
    // Empty is unset; by default only with a display; no runtime directory: under home, not /tmp.
    const std::pair<std::string, std::string> cases[] = {
        {"VREL_PORT=on VREL_SCREEN=none", d + "/vrelintro/"},
        {"VREL_PORT= VREL_SCREEN=none", "no port"},
        {"VREL_PORT=off VREL_SCREEN=window", "no port"},
        {"VREL_PORT= VREL_SCREEN=window", d + "/vrelintro/"},
        {"VREL_PORT=on XDG_RUNTIME_DIR= XDG_STATE_HOME=" + d + "/s", d + "/s/vrelintro/"},
        {"VREL_PORT=on XDG_RUNTIME_DIR=r XDG_STATE_HOME=s HOME=" + d,
         d + "/.local/state/vrelintro/"},
    };
    for (const auto& [settings, said] : cases) {
        const auto [code, output] = RunCommand(settings + " SDL_VIDEODRIVER=dummy " VREL_BUILD_DIR
                                                          "/tests/programs/close_on_signal port");
        EXPECT_TRUE(code == 0 && output.find(said) != std::string::npos) << settings << output;
    }
}

TEST_F(PortTest, VrelctlDeliversCommandsPrintsResultsAndSaysWhyNot) {
    const std::string intro = std::string("\"") + kIntro + "\"";
    // arguments, exit code, what it prints ("": nothing), the command that reaches the window (0:
    // none); in the last row nobody pumps: the send is dropped, not run late
    const std::tuple<std::string, int, std::string, WPARAM, LPARAM> cases[] = {
        {"PAUSE", 0, "", 1003, 0},
        {"--send raw WM_COMMAND 7 5", 0, std::to_string(CommandResult(7, 5)) + "\n", 7, 5},
        {"list", 0, std::to_string(getpid()) + " window class=" + intro + " title=" + intro, 0, 0},
        {"--help", 0, "\n  pause  1003\n", 0, 0},
        {"", 1, "no command", 0, 0},
        {"raw WM_PAINT 0", 1, "unknown message WM_PAINT", 0, 0},
        {"--pid 1 pause", 2, "no intro with pid 1 is running", 0, 0},
        {"answer yes", 3, "refused: no message box is open (no-box)", 0, 0},
        {"--send --timeout 1 pause", 4, "timed out", 0, 0},
    };
    for (const auto& [args, exitCode, says, wParam, lParam] : cases) {
        const auto [code, output] = RunCommand(kVrelctl + " " + args, exitCode != 4);
        const std::string what = args + "\n" + output;
        EXPECT_EQ(code, exitCode) << what;
        EXPECT_TRUE(says.empty() ? output.empty() : output.find(says) != std::string::npos) << what;
        ExpectArrival(wParam != 0 ? WM_COMMAND : 0, wParam, lParam, what);
    }
    ASSERT_EQ(chmod(portDir_.c_str(), 0755), 0);
    const auto [code, output] = RunCommand(kVrelctl + " pause");
    EXPECT_TRUE(code == 2 && output.find("open to other users") != std::string::npos) << output;
}

}  // namespace
}  // namespace vrel::test
