// GDI costs on the intro's frame path: its text line with cached glyphs, a full-screen fill,
// and a whole device-context round trip as DirectDraw's GetDC/ReleaseDC makes one.
// Allocations are counted: drawing cached text must not allocate.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/allocation_counter.h"
#include "platform/win32.h"
#include "runtime/gdi/gdi_runtime.h"

namespace {

constexpr char kLine[] = "Kestrum ist doof";

// A 640 × 480 XRGB target with a context on it and the intro's font selected.
class Scene {
  public:
    Scene() : pixels_(640 * 480, 0) {
        dc_ = vrel::gdi::CreateDeviceContext(Buffer(), POINT{0, 0}, RECT{0, 0, 640, 480});
        font_ = CreateFontA(20, 0, 0, 0, 0, 0, 0, 0, ANSI_CHARSET, 0, 0, DRAFT_QUALITY, 0, "Arial");
        SelectObject(dc_, font_);
        SetTextColor(dc_, 0x00F80000);
    }
    ~Scene() {
        vrel::gdi::DeleteDeviceContext(dc_);
        DeleteObject(font_);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    vrel::PixelBuffer Buffer() { return vrel::PixelBuffer{pixels_.data(), 640, 480, 640}; }
    HDC Dc() const { return dc_; }
    HFONT Font() const { return font_; }

  private:
    std::vector<uint32_t> pixels_;
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
};

// Reports allocations per iteration made inside the timed loop; any is an error.
void ReportAllocations(benchmark::State& state, long before, bool mustBeZero) {
    const long made = g_allocations.load() - before;
    state.counters["allocs/iter"] =
        benchmark::Counter(static_cast<double>(made), benchmark::Counter::kAvgIterations);
    if (mustBeZero && made != 0) {
        state.SkipWithError("the cached-text path allocated");
    }
}

void BM_TextOutCachedLine(benchmark::State& state, int mode) {
    Scene scene;
    SetBkMode(scene.Dc(), mode);
    TextOutA(scene.Dc(), 10, 10, kLine, 16);  // rasterises the glyphs once
    const long before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextOutA(scene.Dc(), 10, 10, kLine, 16));
    }
    ReportAllocations(state, before, true);
}
BENCHMARK_CAPTURE(BM_TextOutCachedLine, transparent, TRANSPARENT)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TextOutCachedLine, opaque, OPAQUE)->Unit(benchmark::kMicrosecond);

void BM_GetTextExtent(benchmark::State& state) {
    Scene scene;
    SIZE size{};
    GetTextExtentPoint32A(scene.Dc(), kLine, 16, &size);
    const long before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetTextExtentPoint32A(scene.Dc(), kLine, 16, &size));
    }
    ReportAllocations(state, before, true);
}
BENCHMARK(BM_GetTextExtent)->Unit(benchmark::kMicrosecond);

void BM_FillRect640x480(benchmark::State& state) {
    Scene scene;
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 128));
    const RECT all{0, 0, 640, 480};
    const long before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(FillRect(scene.Dc(), &all, brush));
    }
    ReportAllocations(state, before, true);
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 4);
    DeleteObject(brush);
}
BENCHMARK(BM_FillRect640x480)->Unit(benchmark::kMicrosecond);

// What one frame of the intro costs in GDI when it takes a fresh context each time.
void BM_ContextRoundTripWithText(benchmark::State& state) {
    Scene scene;
    TextOutA(scene.Dc(), 10, 10, kLine, 16);
    const long before = g_allocations.load();
    for (auto _ : state) {
        HDC dc = vrel::gdi::CreateDeviceContext(scene.Buffer(), POINT{0, 0}, RECT{0, 0, 640, 480});
        SelectObject(dc, scene.Font());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0x000000F8);
        TextOutA(dc, 10, 10, kLine, 16);
        vrel::gdi::DeleteDeviceContext(dc);
    }
    ReportAllocations(state, before, false);
}
BENCHMARK(BM_ContextRoundTripWithText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
