// The stream's clock: where the movie is now. Runs, stops and is moved by the stream's
// state calls. It goes on the monotonic clock as soon as it is started, so the picture never
// waits for a sound server; once the sound card's reports come steadily (device latency
// already subtracted by the renderer) it eases towards them by running slightly fast or
// slow, never stepping, and it runs alone again when the reports stop.
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
    // Reports are believed once this many in a row each advanced as far as the time between
    // them: a sound server first fills its buffer in a burst and then goes quiet, and such
    // reports say little about what is heard.
    static constexpr int kSteadyReports = 3;
    // A difference from the sound is worked off at this fraction of itself per second of
    // playing, the clock running at most 10 % fast or slow: a picture shown a little early or
    // late is invisible, a picture held or skipped is not.
    static constexpr int kCatchUpPerSecond = 4;
    static constexpr int kMaxSlewPpm = 100'000;
    // Larger differences (the sound is somewhere else altogether) are corrected at once.
    static constexpr std::chrono::milliseconds kJumpThreshold{1000};
    // With sound the clock sets off this long after it is started or moved: the first sound
    // is heard no sooner (the card holds at least a buffer), so there is less to work off
    // later, and the picture that starts the stream is not already late when asked for. Less
    // than a frame, and never longer whatever the sound does.
    static constexpr std::chrono::milliseconds kSoundStart{20};

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
    void Steer(const AudioPosition::Reading& reading, MonoTime now);
    // Starts a new stretch at `t` (if later than the current one) from where the clock is
    // then, at the normal rate.
    void Rebase(MonoTime t);
    void Forget();
    MonoClock::duration SetOff() const;
    StreamTicks ValueAt(MonoTime t) const;

    mutable std::mutex mutex_;
    const AudioPosition* audio_;
    bool running_ = false;
    // The clock reads anchorValue_ until anchorAt_ and gains (1 + slewPpm_ / 10^6) of every
    // tick after it.
    StreamTicks anchorValue_{0};
    MonoTime anchorAt_{};
    int64_t slewPpm_ = 0;
    MonoTime runAt_{};
    uint64_t lastSequence_ = 0;
    std::optional<AudioPosition::Reading> lastReading_;
    int steadyReports_ = 0;  // reports in a row that advanced with the time between them
};

}  // namespace vrel::mmstream
