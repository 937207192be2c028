// The sound's timeline: which stream position the sound card plays next, the converted samples
// waiting for it, and what the clock learns from it. The audio callback fills the card's
// buffer from here without ever blocking: samples already late are skipped, samples not yet
// due (or missing) become silence, and nothing moves while the stream is stopped.
#pragma once

#include <atomic>
#include <optional>

#include "runtime/mmstream/audio_position.h"
#include "runtime/mmstream/sample_ring.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

class AudioTimeline {
  public:
    // rate: frames per second; frameBytes: bytes of one frame in the card's format;
    // latencyFrames: how long a written sample waits in the card before it is heard.
    AudioTimeline(int rate, int frameBytes, int capacityFrames, int latencyFrames);

    // Audio thread: fills `frames` frames at `out` for playing now.
    void Fill(uint8_t* out, int frames, MonoTime now);

    // Decode thread.
    int BufferedFrames() const { return ring_.AvailableFrames(); }
    // Takes up to `frames` frames that start at stream position `position` (in frames; used
    // for the first write after a restart, later writes continue the earlier ones). Returns
    // how many fitted.
    int Write(const uint8_t* data, int frames, int64_t position);

    // Control, while the audio thread is held off (the device locked, or not started).
    // startedAt: when the stream's clock started running. A card that first asks for sound
    // long after it (a sound server waking up) starts where the clock is by then, as after a
    // stall; without it the sound starts where the first call finds it.
    void SetRunning(bool running, std::optional<MonoTime> startedAt = std::nullopt);
    // Empties everything and plays on from stream position `position` (frames), from `now`
    // on if known.
    void Restart(int64_t position, std::optional<MonoTime> now = std::nullopt);
    int64_t DevicePosition() const { return device_; }

    const AudioPosition& Position() const { return position_; }
    int Rate() const { return rate_; }

  private:
    void SkipLateSamples();
    int LeadingSilence(int frames) const;
    void RealignAfterStall(MonoTime now, int frames);

    const int rate_;
    const int frameBytes_;
    const StreamTicks latency_;
    SampleRing ring_;
    std::atomic<int64_t> base_{0};  // stream position of the ring's first frame ever written
    bool fresh_ = true;             // nothing written since the last restart
    int64_t device_ = 0;            // stream position the card plays next (audio thread)
    std::atomic<bool> running_{false};
    // Until when the card has had sound, were it played in real time from when it was
    // written; a card that asks later than this has gone without (audio thread, or held off).
    std::optional<MonoTime> suppliedUntil_;
    AudioPosition position_;
};

}  // namespace vrel::mmstream
