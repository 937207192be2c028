// The screen and the window manager: presenting a frame to the real window, and how much CPU
// an idle message wait costs. Run under a real X server (bench/run.sh starts Xvfb); with
// SDL's dummy driver the numbers mean nothing and the benchmarks say so.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "runtime/screen/picture_scaler.h"
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

// A 640 × 480 frame scaled to a picture state.range(0) lines high (4:3), into a buffer of
// its own: the CPU path's per-frame work without the upload.
struct ScaleJob {
    int w, h;
    std::vector<uint32_t> source = std::vector<uint32_t>(640 * 480);
    std::vector<uint32_t> target;
    // doubled: a 320 × 240 picture stretched 2 × 2, as the intro's framebuffer holds it.
    ScaleJob(int height, bool doubled) : w(height * 4 / 3), h(height) {
        target.resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < source.size(); ++i) {
            const size_t x = i % 640, y = i / 640;
            const size_t cell = doubled ? (y / 2) * 320 + x / 2 : i;
            source[i] = static_cast<uint32_t>(cell * 2654435761u);
        }
    }
};

void BM_ScalePicture(benchmark::State& state) {
    ScaleJob job(static_cast<int>(state.range(0)), state.range(1) != 0);
    vrel::screen::PictureScaler scaler;
    scaler.Fit(640, 480, job.w, job.h);
    for (auto _ : state) {
        scaler.Draw(job.source.data(), reinterpret_cast<uint8_t*>(job.target.data()), job.w * 4);
        benchmark::DoNotOptimize(job.target.data());
    }
}
BENCHMARK(BM_ScalePicture)
    ->ArgsProduct({{1080, 2160}, {0, 1}})
    ->ArgNames({"lines", "doubled"})
    ->Unit(benchmark::kMicrosecond);

// What the CPU path did before: nearest neighbour through column and row tables.
void BM_ScalePictureNearest(benchmark::State& state) {
    ScaleJob job(static_cast<int>(state.range(0)), false);
    std::vector<int> columns(static_cast<size_t>(job.w));
    std::vector<int> rows(static_cast<size_t>(job.h));
    for (int x = 0; x < job.w; ++x) {
        columns[static_cast<size_t>(x)] = x * 640 / job.w;
    }
    for (int y = 0; y < job.h; ++y) {
        rows[static_cast<size_t>(y)] = y * 480 / job.h;
    }
    for (auto _ : state) {
        for (int y = 0; y < job.h; ++y) {
            uint32_t* out = job.target.data() + static_cast<size_t>(y) * job.w;
            const uint32_t* in = job.source.data() + static_cast<size_t>(rows[y]) * 640;
            for (int x = 0; x < job.w; ++x) {
                out[x] = in[columns[static_cast<size_t>(x)]];
            }
        }
        benchmark::DoNotOptimize(job.target.data());
    }
}
BENCHMARK(BM_ScalePictureNearest)->Arg(1080)->Arg(2160)->Unit(benchmark::kMicrosecond);

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
