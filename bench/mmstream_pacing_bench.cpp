// Frame pacing of IDirectDrawStreamSample::Update on the stream clock, and the stream clock's
// drift against CLOCK_MONOTONIC: with sound (the stream clock follows the sound card) and
// with a picture-only movie (the clock is the monotonic one).
//
// late_p50_ms, late_p99_ms, late_max_ms: stream time when Update returned minus the picture's
// due time (goal: p99 under 2 ms); early: pictures handed over before their time (goal: 0);
// drift_ppm: (stream clock advance - CLOCK_MONOTONIC advance) / monotonic advance.
#include <benchmark/benchmark.h>

#include <thread>

#include "mmstream_bench_support.h"

namespace vrel::mmstream::bench {
namespace {

struct PacingResult {
    std::vector<double> lateMs;
    int early = 0;
    int unreadable = 0;
    double driftPpm = 0;
};

PacingResult PlayAndMeasure(PlayingMovie& movie) {
    PacingResult result;
    movie.stream->SetState(STREAMSTATE_RUN);
    auto firstWall = Clock::now();
    STREAM_TIME firstStream = movie.Time();
    auto lastWall = firstWall;
    STREAM_TIME lastStream = firstStream;
    while (movie.sample->Update(0, nullptr, nullptr, 0) == S_OK) {
        STREAM_TIME now = movie.Time();
        lastWall = Clock::now();
        lastStream = now;
        STREAM_TIME start = 0;
        STREAM_TIME end = 0;
        movie.sample->GetSampleTimes(&start, &end, nullptr);
        double late = static_cast<double>(now - start) / 10'000.0;
        result.lateMs.push_back(late);
        result.early += late < 0;
    }
    double wall = std::chrono::duration<double>(lastWall - firstWall).count();
    double stream = static_cast<double>(lastStream - firstStream) / 1e7;
    result.driftPpm = wall > 0 ? (stream - wall) / wall * 1e6 : 0;
    return result;
}

void Report(benchmark::State& state, const PacingResult& r) {
    state.counters["frames"] = static_cast<double>(r.lateMs.size());
    state.counters["late_p50_ms"] = Percentile(r.lateMs, 50);
    state.counters["late_p99_ms"] = Percentile(r.lateMs, 99);
    state.counters["late_max_ms"] = Percentile(r.lateMs, 100);
    state.counters["early"] = r.early;
    state.counters["drift_ppm"] = r.driftPpm;
}

void BM_UpdatePacing(benchmark::State& state, bool withSound) {
    HeadlessEnvironment();
    std::vector<std::string> options = {"--seconds", "12"};
    if (!withSound) {
        options.push_back("--no-audio");
    }
    std::string path = BenchMovie(withSound ? "pacing_av.mpg" : "pacing_video.mpg", options);
    DisplaySession display;
    for (auto _ : state) {
        PlayingMovie movie;
        if (path.empty() || !display.Ok() || !movie.Open(display, path, withSound)) {
            state.SkipWithError("cannot open the movie");
            return;
        }
        PacingResult result = PlayAndMeasure(movie);
        Report(state, result);
        movie.Release();
    }
}

BENCHMARK_CAPTURE(BM_UpdatePacing, with_sound, true)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_UpdatePacing, picture_only, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vrel::mmstream::bench

BENCHMARK_MAIN();
