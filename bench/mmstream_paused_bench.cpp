// What a stream costs while it does not play, and how soon its sound comes back.
//
// BM_PausedCpu: a movie with sound plays half a second and is stopped; cpu_ms is the CPU
// time of the whole process (every thread: ours, SDL's, FFmpeg's) over the next 10 s
// (goal: under 10 ms); stop_ms: how long stopping it took.
// BM_RunToFirstSound: from the sound being set running (the card opened) to the card's first
// call for it, stopped (closed) for 50 ms in between: first_ms the first time, when a sound
// server may still be starting; again_p50_ms and again_max_ms after that (goal: under 50 ms);
// close_p50_ms and close_max_ms: how long closing the card holds up the caller.
#include <benchmark/benchmark.h>

#include <thread>

#include "mmstream_bench_support.h"
#include "runtime/mmstream/audio_renderer.h"

namespace vrel::mmstream::bench {
namespace {

using std::chrono::milliseconds;

void BM_PausedCpu(benchmark::State& state) {
    HeadlessEnvironment();
    std::string path = BenchMovie("paused.mpg", {"--seconds", "3"});
    DisplaySession display;
    for (auto _ : state) {
        PlayingMovie movie;
        if (path.empty() || !display.Ok() || !movie.Open(display, path)) {
            state.SkipWithError("cannot open the movie");
            return;
        }
        movie.stream->SetState(STREAMSTATE_RUN);
        while (movie.Time() < 5'000'000 && movie.sample->Update(0, nullptr, nullptr, 0) == S_OK) {
        }
        auto stopping = Clock::now();
        movie.stream->SetState(STREAMSTATE_STOP);
        state.counters["stop_ms"] =
            std::chrono::duration<double, std::milli>(Clock::now() - stopping).count();
        std::this_thread::sleep_for(milliseconds(200));  // the decoder fills up and settles
        double cpuStart = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["cpu_ms"] = (CpuSeconds() - cpuStart) * 1000;
        movie.Release();
    }
}
BENCHMARK(BM_PausedCpu)->Iterations(1)->Unit(benchmark::kSecond);

void BM_RunToFirstSound(benchmark::State& state) {
    HeadlessEnvironment();
    std::string error;
    std::unique_ptr<AudioRenderer> renderer = AudioRenderer::Open(44100, 2, &error);
    if (!renderer) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<double> waits;
    std::vector<double> closes;
    for (auto _ : state) {
        uint64_t before = renderer->Position().Read().value_or(AudioPosition::Reading{}).sequence;
        auto start = Clock::now();
        renderer->SetRunning(true);
        if (!renderer->OpenDevice(&error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        // The card reports its position with every call while the sound runs.
        while (renderer->Position().Read().value_or(AudioPosition::Reading{}).sequence == before) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        renderer->SetRunning(false);
        auto closing = Clock::now();
        renderer->CloseDevice();
        closes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - closing).count());
        std::this_thread::sleep_for(milliseconds(50));
    }
    state.counters["first_ms"] = waits.front();
    waits.erase(waits.begin());
    state.counters["again_p50_ms"] = Percentile(waits, 50);
    state.counters["again_max_ms"] = Percentile(waits, 100);
    state.counters["close_p50_ms"] = Percentile(closes, 50);
    state.counters["close_max_ms"] = Percentile(closes, 100);
}
BENCHMARK(BM_RunToFirstSound)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrel::mmstream::bench

BENCHMARK_MAIN();
