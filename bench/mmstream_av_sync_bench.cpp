// Picture against sound, timed by a clock that is not the stream's own: the stream plays a
// test movie (a white flash picture and a 1 kHz beep at the start of every second) with its
// sound going to a PulseAudio null sink, while the sink's monitor is recorded here; the time
// each beep is heard comes from the recording and PulseAudio's capture latency, the time
// each flash is shown from Update's return. Run through bench/mmstream_av_sync.sh, which
// starts a private PulseAudio with the null sink.
//
// offset_*_ms: flash shown minus beep heard; positive = sound early. Goal: -45 to +15 ms.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <pulse/simple.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "mmstream_bench_support.h"

namespace vrel::mmstream::bench {
namespace {

constexpr int kRate = 44100;
constexpr int kChunk = 441;  // 10 ms

// libpulse-simple, loaded at run time so the benchmark builds without it.
struct PulseSimple {
    decltype(&pa_simple_new) open = nullptr;
    decltype(&pa_simple_read) read = nullptr;
    decltype(&pa_simple_get_latency) latency = nullptr;
    decltype(&pa_simple_free) close = nullptr;

    bool Load() {
        void* library = dlopen("libpulse-simple.so.0", RTLD_NOW);
        if (library == nullptr) {
            return false;
        }
        open = reinterpret_cast<decltype(open)>(dlsym(library, "pa_simple_new"));
        read = reinterpret_cast<decltype(read)>(dlsym(library, "pa_simple_read"));
        latency = reinterpret_cast<decltype(latency)>(dlsym(library, "pa_simple_get_latency"));
        close = reinterpret_cast<decltype(close)>(dlsym(library, "pa_simple_free"));
        return open && read && latency && close;
    }
};

// Records the sink's monitor and notes when each beep starts (on the monotonic clock).
class BeepListener {
  public:
    bool Start(const PulseSimple& pulse, const char* monitor) {
        pulse_ = pulse;
        pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
        pa_buffer_attr attr{static_cast<uint32_t>(-1), 0, 0, 0, kChunk * 2};
        int error = 0;
        stream_ = pulse_.open(nullptr, "vrel-av-sync", PA_STREAM_RECORD, monitor, "monitor", &spec,
                              nullptr, &attr, &error);
        if (stream_ == nullptr) {
            return false;
        }
        thread_ = std::thread([this] { Listen(); });
        return true;
    }
    std::vector<Clock::time_point> Stop() {
        stop_ = true;
        thread_.join();
        pulse_.close(stream_);
        std::lock_guard lock(mutex_);
        return onsets_;
    }

  private:
    void Listen() {
        int16_t chunk[kChunk];
        int error = 0;
        while (!stop_ && pulse_.read(stream_, chunk, sizeof(chunk), &error) >= 0) {
            auto readAt = Clock::now();
            auto latency = std::chrono::microseconds(pulse_.latency(stream_, &error));
            // The chunk's last sample reached the monitor `latency` before now.
            auto lastAt = readAt - latency;
            for (int i = 0; i < kChunk; ++i) {
                auto at =
                    lastAt - std::chrono::microseconds((kChunk - 1 - i) * 1'000'000LL / kRate);
                Sample(chunk[i], at);
            }
        }
    }
    void Sample(int16_t value, Clock::time_point at) {
        if (std::abs(value) < 8000) {
            return;
        }
        if (at - lastLoud_ > std::chrono::milliseconds(500)) {
            std::lock_guard lock(mutex_);
            onsets_.push_back(at);
        }
        lastLoud_ = at;
    }

    PulseSimple pulse_;
    pa_simple* stream_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    Clock::time_point lastLoud_{};
    std::mutex mutex_;
    std::vector<Clock::time_point> onsets_;
};

// When each flash picture (index a multiple of the frame rate) was handed over.
std::vector<Clock::time_point> PlayAndNoteFlashes(PlayingMovie& movie) {
    std::vector<Clock::time_point> flashes;
    movie.stream->SetState(STREAMSTATE_RUN);
    while (movie.sample->Update(0, nullptr, nullptr, 0) == S_OK) {
        auto shown = Clock::now();
        int marker = movie.Marker();
        if (marker >= 0 && marker % 25 == 0) {
            flashes.push_back(shown);
        }
    }
    return flashes;
}

std::vector<double> Offsets(const std::vector<Clock::time_point>& flashes,
                            const std::vector<Clock::time_point>& beeps) {
    std::vector<double> offsets;
    for (Clock::time_point flash : flashes) {
        double best = 1e9;
        for (Clock::time_point beep : beeps) {
            double ms = std::chrono::duration<double, std::milli>(flash - beep).count();
            if (std::abs(ms) < std::abs(best)) {
                best = ms;
            }
        }
        if (std::abs(best) < 300) {
            offsets.push_back(best);
        }
    }
    return offsets;
}

void BM_FlashAgainstBeep(benchmark::State& state) {
    setenv("VREL_SCREEN", "none", 1);
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    PulseSimple pulse;
    if (std::getenv("PULSE_SERVER") == nullptr || driver == nullptr ||
        std::string(driver) != "pulseaudio" || !pulse.Load()) {
        state.SkipWithError("needs PulseAudio with a null sink: run bench/mmstream_av_sync.sh");
        return;
    }
    std::string path = BenchMovie("sync_av.mpg", {"--seconds", "12"});
    DisplaySession display;
    for (auto _ : state) {
        BeepListener listener;
        const char* monitor = std::getenv("VREL_MONITOR");
        PlayingMovie movie;
        if (!listener.Start(pulse, monitor != nullptr ? monitor : "vrelsink.monitor") ||
            !movie.Open(display, path)) {
            state.SkipWithError("cannot record the sink or open the movie");
            return;
        }
        // PulseAudio's null sink starts a new stream only at its next 2-second block: the
        // stream waits that out while stopped, so the measurement sees the steady state.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        std::vector<Clock::time_point> flashes = PlayAndNoteFlashes(movie);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        movie.Release();
        std::vector<double> offsets = Offsets(flashes, listener.Stop());
        if (std::getenv("VREL_BENCH_VERBOSE") != nullptr) {
            for (double offset : offsets) {
                std::fprintf(stderr, "flash - beep: %.1f ms\n", offset);
            }
        }
        state.counters["pairs"] = static_cast<double>(offsets.size());
        state.counters["offset_min_ms"] = Percentile(offsets, 0);
        state.counters["offset_p50_ms"] = Percentile(offsets, 50);
        state.counters["offset_max_ms"] = Percentile(offsets, 100);
    }
}
BENCHMARK(BM_FlashAgainstBeep)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vrel::mmstream::bench

BENCHMARK_MAIN();
