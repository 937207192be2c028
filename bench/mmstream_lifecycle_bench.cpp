// The stream's start and end: OpenFile to the first picture (goal: under 100 ms for the
// default movie, the sound device's latency included), releasing a running stream, and
// resident memory and open descriptors over 100 cycles of open, play one second, release
// (goal: flat).
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <fstream>

#include "mmstream_bench_support.h"

namespace vrel::mmstream::bench {
namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_OpenToFirstPicture(benchmark::State& state) {
    HeadlessEnvironment();
    std::string path = BenchMovie("vrelfi_default.dat", {"--default"});
    DisplaySession display;
    std::vector<double> release;
    for (auto _ : state) {
        auto start = Clock::now();
        PlayingMovie movie;
        if (path.empty() || !display.Ok() || !movie.Open(display, path)) {
            state.SkipWithError("cannot open the movie");
            return;
        }
        movie.stream->SetState(STREAMSTATE_RUN);
        HRESULT first = movie.sample->Update(0, nullptr, nullptr, 0);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (first != S_OK || movie.Marker() != 0) {
            state.SkipWithError("the first picture did not come");
            return;
        }
        auto releaseStart = Clock::now();
        movie.Release();
        release.push_back(Ms(Clock::now() - releaseStart));
    }
    state.counters["release_p50_ms"] = Percentile(release, 50);
    state.counters["release_max_ms"] = Percentile(release, 100);
}
BENCHMARK(BM_OpenToFirstPicture)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count - 3;  // ".", ".." and the listing's own
}

bool PlayOneSecond(const DisplaySession& display, const std::string& path) {
    PlayingMovie movie;
    if (!movie.Open(display, path)) {
        return false;
    }
    movie.stream->SetState(STREAMSTATE_RUN);
    while (movie.Time() < 10'000'000 && movie.sample->Update(0, nullptr, nullptr, 0) == S_OK) {
    }
    movie.Release();
    return true;
}

void BM_OpenPlayReleaseCycles(benchmark::State& state) {
    HeadlessEnvironment();
    std::string path = BenchMovie("cycles.mpg", {"--seconds", "3"});
    DisplaySession display;
    const int cycles = static_cast<int>(state.range(0));
    for (auto _ : state) {
        long rssAfterFirst = 0;
        int fdsAfterFirst = 0;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            if (!PlayOneSecond(display, path)) {
                state.SkipWithError("cannot open the movie");
                return;
            }
            if (cycle == 1) {
                rssAfterFirst = ResidentKb();
                fdsAfterFirst = OpenDescriptors();
            }
            if (cycle == 10) {
                state.counters["rss_kb_after_10"] = static_cast<double>(ResidentKb());
            }
        }
        state.counters["rss_kb_after_1"] = static_cast<double>(rssAfterFirst);
        state.counters["rss_kb_after_all"] = static_cast<double>(ResidentKb());
        state.counters["fds_after_1"] = fdsAfterFirst;
        state.counters["fds_after_all"] = OpenDescriptors();
    }
}
BENCHMARK(BM_OpenPlayReleaseCycles)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vrel::mmstream::bench

BENCHMARK_MAIN();
