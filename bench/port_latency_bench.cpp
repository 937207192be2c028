// The message port's latency: from a command's arrival on the socket to the window
// procedure running (posts), and a send's whole round trip.
//
// In-process: a window thread either waits in GetMessageA (an idle, paused or stopped
// intro) or runs a frame loop that, like the intro's frame step, waits for the next frame
// (25 per second) whenever no message is waiting. The client writes a request and notes the
// time; the procedure notes when it runs. Reported in milliseconds: p50, p99 and max.
//
// Against a real intro: set VREL_PORT_BENCH_SOCKET to its socket and BM_IntroSendRoundTrip
// measures sends of WM_COMMAND 0x000103E9 (a command the intro ignores) as they come back;
// bench/port_intro_latency.sh runs it while the intro plays and while it is paused.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "runtime/port/directory.h"
#include "runtime/port/service.h"
#include "tools/vrelctl/port_client.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace port = vrel::port;

constexpr auto kFrame = std::chrono::milliseconds(40);
constexpr UINT kWakeUp = WM_USER + 1;

std::atomic<int64_t> g_arrivedAt{0};  // steady_clock ticks of the last WM_COMMAND
std::atomic<WPARAM> g_arrivedCommand{0};

int64_t Now() {
    return Clock::now().time_since_epoch().count();
}

LRESULT CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        g_arrivedAt = Now();
        g_arrivedCommand = wParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// One window on its own thread, idle in GetMessageA or running a paced frame loop.
class WindowThread {
  public:
    static WindowThread& Get() {
        static WindowThread thread;
        return thread;
    }

    void SetPlaying(bool playing) {
        playing_ = playing;
        PostMessageA(window_.load(), kWakeUp, 0, 0);
    }

    const std::string& Socket() const { return socket_; }
    const std::string& Error() const { return error_; }

  private:
    WindowThread() {
        directory_ = std::filesystem::temp_directory_path() /
                     ("vrel-port-bench-" + std::to_string(getpid()));
        error_ = port::StartListeningIn(directory_);
        socket_ = port::SocketPathFor(directory_, getpid());
        thread_ = std::thread([this] { Run(); });
        while (window_.load() == nullptr) {
            std::this_thread::yield();
        }
    }
    ~WindowThread() {
        stop_ = true;
        PostMessageA(window_.load(), kWakeUp, 0, 0);
        thread_.join();
        port::StopListening();
        std::filesystem::remove_all(directory_);
    }

    void Run() {
        WNDCLASSA cls{};
        cls.lpfnWndProc = BenchProc;
        cls.lpszClassName = "PortBench";
        RegisterClassA(&cls);
        window_ = CreateWindowExA(0, "PortBench", "PortBench", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                  nullptr, nullptr, nullptr, nullptr);
        auto nextFrame = Clock::now() + kFrame;
        while (!stop_) {
            MSG msg{};
            if (!playing_) {
                GetMessageA(&msg, nullptr, 0, 0);
                DispatchMessageA(&msg);
                nextFrame = Clock::now() + kFrame;
            } else if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
            } else {
                std::this_thread::sleep_until(nextFrame);  // the frame step waits for its frame
                nextFrame = std::max(nextFrame + kFrame, Clock::now());
            }
        }
    }

    std::filesystem::path directory_;
    std::string socket_;
    std::string error_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> playing_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// While playing, requests arrive at any point of a frame: wait a varying part of one first.
void Spread(benchmark::State& state, size_t sample) {
    if (state.range(0) == 1) {
        std::this_thread::sleep_for(std::chrono::microseconds((sample * 7919) % 40000));
    }
}

void Report(benchmark::State& state, std::vector<double> ms) {
    if (ms.empty()) {
        return;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = ms.back();
}

bool Connect(benchmark::State& state, port::PortClient* client, const std::string& socket) {
    std::string error;
    if (!client->Connect(socket, 2000, &error)) {
        state.SkipWithError(("cannot connect: " + error).c_str());
        return false;
    }
    return true;
}

// Arrival of a posted command to its window procedure; arg 0 idle, 1 playing.
void BM_PostToProcedure(benchmark::State& state) {
    WindowThread& window = WindowThread::Get();
    if (!window.Error().empty()) {
        state.SkipWithError(window.Error().c_str());
        return;
    }
    window.SetPlaying(state.range(0) == 1);
    port::PortClient client;
    if (!Connect(state, &client, window.Socket())) {
        return;
    }
    std::vector<double> samples;
    WPARAM command = 1;
    for (auto _ : state) {
        Spread(state, samples.size());  // manual time: the wait is not counted
        ++command;
        const int64_t sent = Now();
        port::PortReply reply;
        std::string error;
        if (!client.Exchange("post * * WM_COMMAND " + std::to_string(command), 2000, &reply,
                             &error) ||
            !reply.ok) {
            state.SkipWithError(("post failed: " + error + reply.detail).c_str());
            break;
        }
        while (g_arrivedCommand.load() != command) {
            std::this_thread::yield();
        }
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::duration(g_arrivedAt - sent)).count();
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    Report(state, samples);
}
BENCHMARK(BM_PostToProcedure)->Arg(0)->Iterations(500)->UseManualTime();
BENCHMARK(BM_PostToProcedure)->Arg(1)->Iterations(200)->UseManualTime();

double SendRoundTrip(benchmark::State& state, port::PortClient& client, const std::string& line) {
    const auto start = Clock::now();
    port::PortReply reply;
    std::string error;
    if (!client.Exchange(line, 10000, &reply, &error) || !reply.ok) {
        state.SkipWithError(("send failed: " + error + reply.detail).c_str());
        return -1;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A send's round trip: arrival, procedure, result back to the client.
void BM_SendRoundTrip(benchmark::State& state) {
    WindowThread& window = WindowThread::Get();
    if (!window.Error().empty()) {
        state.SkipWithError(window.Error().c_str());
        return;
    }
    window.SetPlaying(state.range(0) == 1);
    port::PortClient client;
    if (!Connect(state, &client, window.Socket())) {
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        Spread(state, samples.size());  // manual time: the wait is not counted
        const double ms = SendRoundTrip(state, client, "send 5000 * * WM_COMMAND 7");
        if (ms < 0) {
            break;
        }
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    Report(state, samples);
}
BENCHMARK(BM_SendRoundTrip)->Arg(0)->Iterations(500)->UseManualTime();
BENCHMARK(BM_SendRoundTrip)->Arg(1)->Iterations(200)->UseManualTime();

// The real intro (VREL_PORT_BENCH_SOCKET): sends it ignores, timed as they come back.
void BM_IntroSendRoundTrip(benchmark::State& state) {
    const char* socket = std::getenv("VREL_PORT_BENCH_SOCKET");
    if (socket == nullptr) {
        state.SkipWithError("set VREL_PORT_BENCH_SOCKET (bench/port_intro_latency.sh does)");
        return;
    }
    port::PortClient client;
    if (!Connect(state, &client, socket)) {
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const double ms = SendRoundTrip(
            state, client,
            "send 5000 \"Vrel Roru Intro by Tarrow/Senmar\" * WM_COMMAND 0x000103E9 0");
        if (ms < 0) {
            break;
        }
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000);
        // Spread the requests over the frame period instead of locking onto it.
        std::this_thread::sleep_for(
            std::chrono::microseconds(1000 + (samples.size() * 7919) % 37000));
    }
    Report(state, samples);
}
BENCHMARK(BM_IntroSendRoundTrip)->Iterations(300)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
