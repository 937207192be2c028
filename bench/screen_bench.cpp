// The screen and the window manager: presenting a frame to the real window, and how much CPU
// an idle message wait costs. Run under a real X server (bench/run.sh starts Xvfb); with
// SDL's dummy driver the numbers mean nothing and the benchmarks say so.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/win32.h"
#include "runtime/screen/screen.h"

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Presenting one full 640 × 480 frame: the copy into the window's image and its upload.
void BM_PresentFrame(benchmark::State& state) {
    vrel::screen::Screen& screen = vrel::screen::Screen::Get();
    if (screen.Headless()) {
        state.SkipWithError("no display: run under Xvfb (bench/run.sh)");
        return;
    }
    vrel::PixelBuffer fb = screen.Framebuffer();
    uint32_t colour = 0;
    for (auto _ : state) {
        fb.Row(fb.height / 2)[fb.width / 2] = ++colour;  // a changed frame every time
        screen.Present();
    }
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMicrosecond);

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// An idle GetMessageA wait of two seconds; reports CPU milliseconds per second of waiting.
void BM_IdleGetMessageCpu(benchmark::State& state) {
    if (vrel::screen::Screen::Get().Headless()) {
        state.SkipWithError("no display: the dummy driver polls; run under Xvfb (bench/run.sh)");
        return;
    }
    WNDCLASSA cls{};
    cls.lpfnWndProc = QuietProc;
    cls.lpszClassName = "IdleBench";
    RegisterClassA(&cls);
    HWND window = CreateWindowExA(0, "IdleBench", "", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                                  nullptr, nullptr, nullptr);
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    double cpuPerSecond = 0;
    for (auto _ : state) {
        std::thread waker([window] {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            PostMessageA(window, WM_USER, 0, 0);
        });
        double before = ProcessCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        GetMessageA(&msg, nullptr, 0, 0);
        double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpuPerSecond = (ProcessCpuSeconds() - before) * 1000 / wall;
        waker.join();
    }
    state.counters["cpu_ms_per_s"] = cpuPerSecond;
    DestroyWindow(window);
}
BENCHMARK(BM_IdleGetMessageCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
