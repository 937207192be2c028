// CPU spent playing a movie through the multimedia stream in real time: demuxing, decoding
// (FFmpeg's frame threads), conversion into a DirectDraw surface, and the stream's own
// threads. bench/mmstream_cpu_vs_ffmpeg.sh compares it with `ffmpeg -benchmark` decoding and
// converting the same file to the same size and pixel format.
//
// The movie: $VREL_BENCH_MOVIE, else a 10 s 320x240 MPEG-1 movie without sound.
// cpu_s: process CPU seconds from run to the end; played_s: stream seconds played.
#include <benchmark/benchmark.h>

#include "mmstream_bench_support.h"

namespace vrel::mmstream::bench {
namespace {

void BM_PlayMovieCpu(benchmark::State& state) {
    HeadlessEnvironment();
    const char* given = std::getenv("VREL_BENCH_MOVIE");
    std::string path = given != nullptr
                           ? std::string(given)
                           : BenchMovie("cpu_320.mpg", {"--seconds", "10", "--no-audio"});
    bool withSound = std::getenv("VREL_BENCH_SOUND") != nullptr;
    DisplaySession display;
    for (auto _ : state) {
        PlayingMovie movie;
        if (path.empty() || !display.Ok() || !movie.Open(display, path, withSound)) {
            state.SkipWithError("cannot open the movie");
            return;
        }
        double cpuStart = CpuSeconds();
        movie.stream->SetState(STREAMSTATE_RUN);
        int frames = 0;
        while (movie.sample->Update(0, nullptr, nullptr, 0) == S_OK) {
            ++frames;
        }
        double cpu = CpuSeconds() - cpuStart;
        double played = static_cast<double>(movie.Time()) / 1e7;
        movie.Release();
        state.counters["cpu_s"] = cpu;
        state.counters["played_s"] = played;
        state.counters["frames"] = frames;
        state.counters["cpu_per_played_s"] = played > 0 ? cpu / played : 0;
    }
}
BENCHMARK(BM_PlayMovieCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vrel::mmstream::bench

BENCHMARK_MAIN();
