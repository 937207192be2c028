// DirectDraw blit costs on the intro's frame path: the software stretch on its own, the
// same blit through IDirectDrawSurface::Blt onto the primary (with VREL_SCREEN=none the
// Present that follows costs nothing; real presentation is measured in screen_bench), and
// the intro's full per-frame blit through a clipper that follows a window. Allocations per
// blit are counted: the blit itself must not allocate once its buffers exist.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "bench/allocation_counter.h"
#include "platform/ddraw.h"
#include "runtime/com/unknown.h"
#include "runtime/ddraw/blitter.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/screen/screen.h"

namespace {

using vrel::com::ComPtr;

// Allocations made during the timed loop, per iteration.
class AllocationCounter {
  public:
    explicit AllocationCounter(benchmark::State& state) : state_(state) {
        start_ = g_allocations.load();
    }
    ~AllocationCounter() {
        const long made = g_allocations.load() - start_;
        state_.counters["allocs_per_blit"] = benchmark::Counter(
            static_cast<double>(made) / static_cast<double>(state_.iterations()));
    }

  private:
    benchmark::State& state_;
    long start_;
};

uint32_t PixelValue(int x, int y) {
    return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) & 0x00FFFFFFu;
}

// Source and destination carved from one block. Layout 0 leaves a page between them;
// layout 1 puts the destination 16 bytes past the source modulo 4 KiB, where two heap
// blocks of the same page-multiple size end up and `rep movsb` copies crawl.
class BufferPair {
  public:
    BufferPair(int srcW, int srcH, int layout) {
        const size_t srcBytes = static_cast<size_t>(srcW) * srcH * 4;
        const size_t gap = (srcBytes + 8191) / 4096 * 4096 + (layout == 1 ? 16 : 2048);
        block_.resize((gap + 640 * 480 * 4 + 4096) / 4 + 1024);
        auto base = reinterpret_cast<uintptr_t>(block_.data());
        auto* start = reinterpret_cast<uint32_t*>((base + 4095) / 4096 * 4096);
        from = {start, srcW, srcH, srcW};
        to = {start + gap / 4, 640, 480, 640};
        for (int y = 0; y < srcH; ++y) {
            for (int x = 0; x < srcW; ++x) {
                from.Row(y)[x] = PixelValue(x, y);
            }
        }
    }
    vrel::PixelBuffer from;
    vrel::PixelBuffer to;

  private:
    std::vector<uint32_t> block_;
};

// The software stretch alone, on plain buffers: source size, buffer layout.
void BM_Blitter(benchmark::State& state) {
    BufferPair buffers(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                       static_cast<int>(state.range(2)));
    const RECT bounds = buffers.to.Bounds();
    const vrel::ddraw::StretchMap map{bounds, buffers.from.Bounds()};
    vrel::ddraw::BlitScratch scratch;
    auto blit = [&] {
        vrel::ddraw::StretchBlit(buffers.to, buffers.from, map, std::span(&bounds, 1), &scratch);
    };
    blit();  // the first blit sizes the scratch buffers
    {
        AllocationCounter counter(state);
        for (auto _ : state) {
            blit();
            benchmark::DoNotOptimize(buffers.to.pixels);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 4);
}
BENCHMARK(BM_Blitter)
    ->ArgNames({"srcW", "srcH", "layout"})
    ->ArgsProduct({{320}, {240}, {0, 1}})
    ->ArgsProduct({{640}, {480}, {0, 1}})
    ->Args({200, 150, 0})
    ->Unit(benchmark::kMicrosecond);

// DirectDraw opened as the intro opens it, with its two surfaces and a clipper.
class Display {
  public:
    Display(int movieW, int movieH) {
        CoInitialize(nullptr);
        CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IDirectDrawFactory, reinterpret_cast<void**>(factory_.Put()));
        factory_->CreateDirectDraw(nullptr, GetDesktopWindow(), DDSCL_NORMAL, 0, nullptr,
                                   dd_.Put());
        dd_->SetDisplayMode(640, 480, 32);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        dd_->CreateSurface(&desc, primary_.Put(), nullptr);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(movieW);
        desc.dwHeight = static_cast<DWORD>(movieH);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        dd_->CreateSurface(&desc, movie_.Put(), nullptr);
        FillMovie();
    }
    ~Display() {
        movie_.Reset();
        primary_.Reset();
        dd_.Reset();
        factory_.Reset();
        CoUninitialize();
    }
    bool Ready() const { return primary_ && movie_; }

    // A clipper following `window`, attached to the primary as the intro attaches it.
    void ClipTo(HWND window) {
        ComPtr<IDirectDrawClipper> clipper;
        dd_->CreateClipper(0, clipper.Put(), nullptr);
        primary_->SetClipper(clipper.Get());
        clipper->SetHWnd(0, window);
    }
    HRESULT BlitFrame() {
        return primary_->Blt(&screenRect_, movie_.Get(), &movieRect_, DDBLT_WAIT, nullptr);
    }

  private:
    void FillMovie() {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        movie_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) +
                                                    y * desc.lPitch);
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                row[x] = PixelValue(static_cast<int>(x), static_cast<int>(y));
            }
        }
        movie_->Unlock(desc.lpSurface);
        movieRect_ = {0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
    }

    ComPtr<IDirectDrawFactory> factory_;
    ComPtr<IDirectDraw> dd_;
    ComPtr<IDirectDrawSurface> primary_;
    ComPtr<IDirectDrawSurface> movie_;
    RECT screenRect_{0, 0, 640, 480};
    RECT movieRect_{};
};

void RunFrames(benchmark::State& state, Display& display) {
    if (!display.Ready() || display.BlitFrame() != DD_OK) {
        state.SkipWithError("DirectDraw set-up failed");
        return;
    }
    AllocationCounter counter(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(display.BlitFrame());
    }
}

// Blt onto the primary and its Present, no clipper.
void BM_BltToPrimary(benchmark::State& state) {
    Display display(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    RunFrames(state, display);
}
BENCHMARK(BM_BltToPrimary)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);

// The intro's frame: through a clipper on a full-screen window, with a second window above
// part of it, so the clip list has several rectangles.
void BM_BltThroughWindowClipper(benchmark::State& state) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "DdBenchWindow";
    RegisterClassA(&cls);
    HWND main = CreateWindowExA(0, cls.lpszClassName, "main", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                nullptr, nullptr, nullptr, nullptr);
    HWND cover = nullptr;
    if (state.range(0) != 0) {
        cover = CreateWindowExA(0, cls.lpszClassName, "box", WS_POPUP | WS_VISIBLE, 200, 180, 240,
                                120, nullptr, nullptr, nullptr, nullptr);
    }
    {
        Display display(320, 240);
        display.ClipTo(main);
        RunFrames(state, display);
    }
    if (cover != nullptr) {
        DestroyWindow(cover);
    }
    DestroyWindow(main);
}
BENCHMARK(BM_BltThroughWindowClipper)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // The framebuffer in memory unless the caller asks for a real screen.
    setenv("VREL_SCREEN", "none", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vrel::screen::Screen::Shutdown();
    return 0;
}
