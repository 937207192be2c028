// The stream's clock: where the movie is now. Runs, stops and is moved by the stream's
// state calls. With sound it follows what the sound card has played (device latency already
// subtracted by the renderer); between and without the card's reports it runs on the
// monotonic clock, so it goes on by itself when the sound stalls.
#pragma once

#include <mutex>
#include <optional>

#include "runtime/mmstream/audio_position.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

class StreamClock {
  public:
    // After this long without a report from the sound card the clock runs alone.
    static constexpr std::chrono::milliseconds kAudioStall{200};
    // Larger differences from the sound are corrected at once, smaller ones smoothly: the
    // card being ahead quickly, behind (often just a late report) slowly.
    static constexpr std::chrono::milliseconds kJumpThreshold{50};

    // audio: the sound card's reports, or null for a movie played without sound.
    explicit StreamClock(const AudioPosition* audio) : audio_(audio) {}

    void Run(MonoTime now);
    void Stop(MonoTime now);
    // Moves the clock; running or not, it goes on from there.
    void SetPosition(StreamTicks position, MonoTime now);

    StreamTicks Now(MonoTime now);
    bool Running() const;
    // When the clock should reach `position`: the moment to look again. MonoTime::max() while
    // stopped.
    MonoTime When(StreamTicks position, MonoTime now);
    // True while the sound card's reports steer the clock.
    bool FollowingAudio(MonoTime now);

  private:
    void Follow(MonoTime now);
    void FollowWhileHolding(const AudioPosition::Reading& reading, MonoTime now);
    void FollowWhileFree(const AudioPosition::Reading& reading);
    StreamTicks ValueAt(MonoTime t) const;

    mutable std::mutex mutex_;
    const AudioPosition* audio_;
    bool running_ = false;
    // Just started or moved with sound: the clock waits for the first sound to reach it.
    bool holding_ = false;
    StreamTicks anchorValue_{0};
    MonoTime anchorAt_{};
    MonoTime runAt_{};
    uint64_t lastSequence_ = 0;
    std::optional<AudioPosition::Reading> lastReading_;
};

}  // namespace vrel::mmstream
