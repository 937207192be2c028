// The media-player bridge: its rules as tables (status, method → message, file URIs, bus
// names), then the real bridge on a private bus daemon as a client sees it: bad calls get the
// bus's errors, calls become posted menu commands and never wait for the window, and a bus
// that goes away ends the bridge quietly.
#include <gtest/gtest.h>
#include <signal.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "runtime/bus/bus_handles.h"
#include "runtime/bus/mpris_rules.h"
#include "runtime/bus/service.h"
#include "runtime/user/message_queue.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_runtime.h"

namespace vrel::test {
namespace {

using namespace std::chrono_literals;
using bus::PlaybackStatus;
using bus::PlayerMethod;
using mmstream::PlaybackView;
using std::chrono::microseconds;

PlaybackView View(bool running, bool ended, int64_t positionUs,
                  std::optional<int64_t> durationUs = 8000000) {
    PlaybackView view;
    view.running = running;
    view.ended = ended;
    view.position = microseconds(positionUs);
    if (durationUs) {
        view.duration = microseconds(*durationUs);
    }
    return view;
}

TEST(MprisRules, StatusFromTheStream) {
    struct Case {
        const char* what;
        std::optional<PlaybackView> playback;
        PlaybackStatus status;
    } cases[] = {
        {"nothing open", std::nullopt, PlaybackStatus::Stopped},
        {"running from the start", View(true, false, 0), PlaybackStatus::Playing},
        {"running midway", View(true, false, 3000000), PlaybackStatus::Playing},
        {"running at the end", View(true, true, 8000000), PlaybackStatus::Stopped},
        {"running past its length", View(true, false, 8000001), PlaybackStatus::Stopped},
        {"held midway", View(false, false, 40000), PlaybackStatus::Paused},
        {"held at the start", View(false, false, 0), PlaybackStatus::Stopped},
        {"held after the end", View(false, true, 7960000), PlaybackStatus::Stopped},
        {"held with no known length", View(false, false, 5, std::nullopt), PlaybackStatus::Paused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bus::StatusName(bus::StatusOf(c.playback)), bus::StatusName(c.status)) << c.what;
    }
}

TEST(MprisRules, MethodsBecomeWindowMessages) {
    using C = bus::WindowCommand;
    const std::optional<C> none;
    struct Case {
        PlayerMethod method;
        PlaybackStatus status;
        std::optional<C> command;
    } cases[] = {
        {PlayerMethod::Play, PlaybackStatus::Paused, C{WM_COMMAND, "Start"}},
        {PlayerMethod::Pause, PlaybackStatus::Playing, C{WM_COMMAND, "Pause"}},
        {PlayerMethod::PlayPause, PlaybackStatus::Playing, C{WM_COMMAND, "Pause"}},
        {PlayerMethod::PlayPause, PlaybackStatus::Paused, C{WM_COMMAND, "Start"}},
        {PlayerMethod::PlayPause, PlaybackStatus::Stopped, C{WM_COMMAND, "Start"}},
        {PlayerMethod::Stop, PlaybackStatus::Playing, C{WM_COMMAND, "Stop"}},
        {PlayerMethod::OpenUri, PlaybackStatus::Stopped, C{WM_COMMAND, "Open"}},
        {PlayerMethod::Quit, PlaybackStatus::Playing, C{WM_CLOSE, ""}},
        {PlayerMethod::Next, PlaybackStatus::Playing, none},
        {PlayerMethod::Previous, PlaybackStatus::Playing, none},
        {PlayerMethod::Seek, PlaybackStatus::Playing, none},
        {PlayerMethod::SetPosition, PlaybackStatus::Playing, none},
        {PlayerMethod::Raise, PlaybackStatus::Playing, none},
    };
    for (const Case& c : cases) {
        const std::string_view name = bus::MethodName(c.method);
        EXPECT_EQ(bus::MethodNamed(name), c.method) << name;
        EXPECT_EQ(bus::CommandFor(c.method, c.status), c.command)
            << name << " while " << bus::StatusName(c.status);
    }
    EXPECT_EQ(bus::MethodNamed("play"), std::nullopt);
}

TEST(MprisRules, OnlyTheMovieFileUriIsAccepted) {
    const std::string movie = "/tmp/a dir/vrelfi.dat";
    struct Case {
        std::string uri;
        bool accepted;
    } cases[] = {
        {"file:///tmp/a%20dir/vrelfi.dat", true},
        {"FILE://localhost/tmp/a%20dir/vrel%66i.dat", true},
        {"file:///tmp/a dir/vrelfi.dat", true},
        {"file://LocalHost/tmp/a%20dir/vrelfi.dat", true},
        {"file://otherhost/tmp/a%20dir/vrelfi.dat", false},
        {"http:///tmp/a%20dir/vrelfi.dat", false},
        {"file:/tmp/a%20dir/vrelfi.dat", false},
        {"file://", false},
        {"vrelfi.dat", false},
        {"", false},
        {"file:///tmp/a%20dir%2Fvrelfi.dat", false},
        {"file:///tmp/a%20dir/vrelfi.dat%00", false},
        {"file:///tmp/a%2", false},
        {"file:///tmp/a%zzdir/vrelfi.dat", false},
        {"file:///tmp/a%20dir/./vrelfi.dat", false},
        {"file:///tmp/a%20dir/other.dat", false},
        {"file:///tmp/a%20dir/vrelfi.dat?x", false},
        {"file://" + std::string(bus::kMaxUriBytes, '/') + "tmp/a%20dir/vrelfi.dat", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bus::UriNamesFile(c.uri, movie), c.accepted) << c.uri.substr(0, 80);
    }
    EXPECT_EQ(bus::MoviePath("/tmp/a dir", "vrelfi.dat"), movie);
    EXPECT_EQ(bus::MoviePath("/", "/x/vrelfi.dat"), "/x/vrelfi.dat");
}

TEST(MprisRules, BusNamesFromAnyProgramName) {
    const std::pair<const char*, const char*> cases[] = {
        {"vrelintro", "org.mpris.MediaPlayer2.vrelintro.instance42"},
        {"my-player.bin", "org.mpris.MediaPlayer2.my-player_bin.instance42"},
        {"3d", "org.mpris.MediaPlayer2._3d.instance42"},
        {"", "org.mpris.MediaPlayer2.program.instance42"},
    };
    for (const auto& [program, name] : cases) {
        EXPECT_EQ(bus::BusNameFor(program, 42), name) << program;
    }
}

TEST(BridgeWithoutBus, SaysWhyInOneLineAndStaysOff) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vrel-test-bus", 1);
    testing::internal::CaptureStderr();
    const std::string error = bus::StartBridgeNow();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(error, "");
    EXPECT_EQ(said, std::string(program_invocation_short_name) + ": no media-player bus (" + error +
                        ")\n");
    EXPECT_EQ(bus::BridgeBusName(), "");
    bus::StopBridge();
}

using Arrivals = std::vector<std::pair<UINT, WPARAM>>;
Arrivals g_arrived;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_CLOSE) {
        g_arrived.emplace_back(message, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A bus daemon of the test's own, a window that records what reaches it, and the bridge.
class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_NE(out, nullptr);
        char address[512] = {}, pid[32] = {};
        const bool read = std::fgets(address, sizeof address, out) != nullptr &&
                          std::fgets(pid, sizeof pid, out) != nullptr;
        pclose(out);
        ASSERT_TRUE(read) << "dbus-daemon gave no address";
        address[std::strcspn(address, "\n")] = '\0';
        daemon_ = std::atoi(pid);
        setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
        user::testing::ResetWindowing();
        WNDCLASSA cls{};
        cls.lpfnWndProc = RecordingProc;
        cls.lpszClassName = "bridge test";
        RegisterClassA(&cls);
        CreateWindowExA(0, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                        nullptr, nullptr, nullptr);
        g_arrived.clear();
        ASSERT_EQ(bus::StartBridgeNow(), "");
        sd_bus* client = nullptr;
        ASSERT_GE(sd_bus_open_user(&client), 0);
        client_.reset(client);
        name_ = bus::BridgeBusName();
    }
    void TearDown() override {
        client_.reset();
        bus::StopBridge();
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
        }
        user::testing::ResetWindowing();
    }

    // One call; "" when it succeeded, else the error's name.
    std::string Call(const char* interface, const char* member,
                     const std::function<int(sd_bus_message*)>& append = {}) {
        sd_bus_message* raw = nullptr;
        sd_bus_message_new_method_call(client_.get(), &raw, name_.c_str(),
                                       "/org/mpris/MediaPlayer2", interface, member);
        bus::MessagePtr call(raw);
        if (append && append(call.get()) < 0) {
            return "append failed";
        }
        bus::BusError error;
        sd_bus_message* reply = nullptr;
        const int r = sd_bus_call(client_.get(), call.get(), 0, error.get(), &reply);
        sd_bus_message_unref(reply);
        return r < 0 ? error.Name() : "";
    }
    std::string Player(const char* member, const std::function<int(sd_bus_message*)>& append = {}) {
        return Call("org.mpris.MediaPlayer2.Player", member, append);
    }

    Arrivals Pumped() {
        for (MSG msg{}; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
            DispatchMessageA(&msg);
        }
        return std::exchange(g_arrived, {});
    }

    pid_t daemon_ = 0;
    bus::BusPtr client_;
    std::string name_;
};

TEST_F(BridgeTest, BadCallsGetTheBusErrors) {
    auto args = [](const char* types, auto... values) {
        return [=](sd_bus_message* m) { return sd_bus_message_append(m, types, values...); };
    };
    constexpr char kProperties[] = "org.freedesktop.DBus.Properties";
    constexpr char kPlayer[] = "org.mpris.MediaPlayer2.Player";
    struct Case {
        const char* interface;
        const char* member;
        std::function<int(sd_bus_message*)> append;
        std::string error;
    } cases[] = {
        {kPlayer, "OpenUri", args("x", int64_t{5}), SD_BUS_ERROR_INVALID_ARGS},
        {kPlayer, "OpenUri", args("ss", "a", "b"), SD_BUS_ERROR_INVALID_ARGS},
        {kPlayer, "Seek", args("s", "5"), SD_BUS_ERROR_INVALID_ARGS},
        {kPlayer, "Play", args("i", 1), SD_BUS_ERROR_INVALID_ARGS},
        {kPlayer, "Fly", {}, SD_BUS_ERROR_UNKNOWN_METHOD},
        {kPlayer, "OpenUri", args("s", "file:///etc/passwd"), SD_BUS_ERROR_FAILED},
        {kProperties, "Set", args("ssv", kPlayer, "Volume", "d", 0.5),
         SD_BUS_ERROR_PROPERTY_READ_ONLY},
        {kProperties, "Set", args("ssv", kPlayer, "Rate", "d", 2.0),
         SD_BUS_ERROR_PROPERTY_READ_ONLY},
        {kProperties, "Set", args("ssv", kPlayer, "Volume", "s", "loud"),
         SD_BUS_ERROR_PROPERTY_READ_ONLY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Call(c.interface, c.member, c.append), c.error) << c.member;
    }
    EXPECT_EQ(Pumped(), Arrivals{}) << "a refused call reached the window";
}

// The intro's menu (linked into the tests) gives Start 1002, Pause 1003, Stop 1004.
TEST_F(BridgeTest, CallsArePostedAsTheMenuCommands) {
    for (const char* member : {"Play", "Pause", "PlayPause", "Stop", "Next", "Previous"}) {
        EXPECT_EQ(Player(member), "") << member;
    }
    EXPECT_EQ(
        Player("Seek",
               [](sd_bus_message* m) { return sd_bus_message_append(m, "x", int64_t{1000000}); }),
        "");
    EXPECT_EQ(Call("org.mpris.MediaPlayer2", "Raise"), "");
    EXPECT_EQ(Call("org.mpris.MediaPlayer2", "Quit"), "");
    const Arrivals expected{{WM_COMMAND, 1002},
                            {WM_COMMAND, 1003},
                            {WM_COMMAND, 1002},
                            {WM_COMMAND, 1004},
                            {WM_CLOSE, 0}};
    EXPECT_EQ(Pumped(), expected);
}

// The window's thread does not pump during the burst: calls are answered all the same, the
// queue's bound refuses what does not fit, and nothing waits.
TEST_F(BridgeTest, ABurstNeverWaitsForTheWindowNorOverfillsItsQueue) {
    HWND window = user::MainWindow();
    constexpr size_t kRoom = 500;
    for (size_t i = 0; i < user::MessageQueue::kMaxPosted - kRoom; ++i) {
        ASSERT_TRUE(PostMessageA(window, WM_NULL, 0, 0));
    }
    size_t accepted = 0, refused = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string error = Player("Pause");
        accepted += error.empty();
        refused += error == SD_BUS_ERROR_LIMITS_EXCEEDED;
    }
    EXPECT_EQ(accepted, kRoom);
    EXPECT_EQ(refused, 1000 - kRoom);
    EXPECT_EQ(Pumped().size(), kRoom);
}

TEST_F(BridgeTest, PropertiesWithNothingPlaying) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    char* value = nullptr;
    ASSERT_GE(sd_bus_get_property_string(client_.get(), name_.c_str(), "/org/mpris/MediaPlayer2",
                                         "org.mpris.MediaPlayer2.Player", "PlaybackStatus", &error,
                                         &value),
              0);
    EXPECT_STREQ(value, "Stopped");
    free(value);
    ASSERT_GE(sd_bus_get_property_string(client_.get(), name_.c_str(), "/org/mpris/MediaPlayer2",
                                         "org.mpris.MediaPlayer2", "Identity", &error, &value),
              0);
    EXPECT_STREQ(value, program_invocation_short_name);
    free(value);
    sd_bus_error_free(&error);
}

TEST_F(BridgeTest, ABusThatGoesAwayEndsTheBridgeQuietly) {
    testing::internal::CaptureStderr();
    kill(daemon_, SIGTERM);
    daemon_ = 0;
    for (auto end = std::chrono::steady_clock::now() + 20s;
         !bus::BridgeBusName().empty() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(bus::BridgeBusName(), "");
    bus::StopBridge();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("media-player bus lost"), std::string::npos) << said;
}

}  // namespace
}  // namespace vrel::test
