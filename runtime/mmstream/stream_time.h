// Time on the stream's clock and on the machine's monotonic clock.
#pragma once

#include <chrono>
#include <cstdint>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace vrel::mmstream {

// The platform's STREAM_TIME unit: 100 ns.
using StreamTicks = std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>;
using MonoClock = std::chrono::steady_clock;
using MonoTime = MonoClock::time_point;

// A timestamp in `timeBase` units as stream ticks.
inline StreamTicks TicksFrom(int64_t value, AVRational timeBase) {
    return StreamTicks(av_rescale_q(value, timeBase, AVRational{1, 10'000'000}));
}

// Stream ticks as sample frames at `rate` (rounded down).
inline int64_t TicksToFrames(StreamTicks t, int rate) {
    return av_rescale_q_rnd(t.count(), AVRational{1, 10'000'000}, AVRational{1, rate},
                            AV_ROUND_DOWN);
}

inline StreamTicks FramesToTicks(int64_t frames, int rate) {
    return StreamTicks(av_rescale_q(frames, AVRational{1, rate}, AVRational{1, 10'000'000}));
}

}  // namespace vrel::mmstream
