#include "runtime/mmstream/audio_timeline.h"

#include <algorithm>
#include <cstring>

#include "runtime/mmstream/stream_clock.h"

namespace vrel::mmstream {

AudioTimeline::AudioTimeline(int rate, int frameBytes, int capacityFrames, int latencyFrames)
    : rate_(rate),
      frameBytes_(frameBytes),
      latency_(FramesToTicks(latencyFrames, rate)),
      ring_(frameBytes, capacityFrames) {}

void AudioTimeline::Fill(uint8_t* out, int frames, MonoTime now) {
    const size_t frameBytes = static_cast<size_t>(frameBytes_);
    if (!running_.load(std::memory_order_acquire)) {
        std::memset(out, 0, frames * frameBytes);
        suppliedUntil_.reset();
        return;
    }
    RealignAfterStall(now, frames);
    // What the card starts on now is heard once what it already holds has played.
    position_.Publish(FramesToTicks(device_, rate_) - latency_, now);
    SkipLateSamples();
    int lead = LeadingSilence(frames);
    int take = std::min(frames - lead, ring_.AvailableFrames());
    std::memset(out, 0, lead * frameBytes);
    ring_.Read(out + lead * frameBytes, take);
    std::memset(out + (lead + take) * frameBytes, 0, (frames - lead - take) * frameBytes);
    device_ += frames;
}

// A card that went without sound for a while (it stopped calling, or was slow to begin) has
// fallen behind the clock, which went on without it: the sound catches up with the clock
// rather than the picture waiting for the sound. A sound server that takes a buffer's worth
// in a burst and then goes quiet was not without sound, so that is no stall.
void AudioTimeline::RealignAfterStall(MonoTime now, int frames) {
    if (suppliedUntil_ && now - *suppliedUntil_ > StreamClock::kAudioStall) {
        auto gap = std::chrono::duration_cast<StreamTicks>(now - *suppliedUntil_);
        device_ += TicksToFrames(gap, rate_);
    }
    MonoTime from = suppliedUntil_ ? std::max(*suppliedUntil_, now) : now;
    suppliedUntil_ =
        from + std::chrono::duration_cast<MonoClock::duration>(FramesToTicks(frames, rate_));
}

void AudioTimeline::SkipLateSamples() {
    int available = ring_.AvailableFrames();
    int64_t next = base_.load(std::memory_order_relaxed) + static_cast<int64_t>(ring_.ReadCount());
    if (available > 0 && next < device_) {
        ring_.Skip(static_cast<int>(std::min<int64_t>(device_ - next, available)));
    }
}

int AudioTimeline::LeadingSilence(int frames) const {
    if (ring_.AvailableFrames() == 0) {
        return frames;
    }
    int64_t next = base_.load(std::memory_order_relaxed) + static_cast<int64_t>(ring_.ReadCount());
    return static_cast<int>(std::clamp<int64_t>(next - device_, 0, frames));
}

int AudioTimeline::Write(const uint8_t* data, int frames, int64_t position) {
    if (fresh_) {
        // Published before the samples themselves (the ring's release store).
        base_.store(position, std::memory_order_relaxed);
        fresh_ = false;
    }
    return ring_.Write(data, frames);
}

void AudioTimeline::SetRunning(bool running, std::optional<MonoTime> startedAt) {
    if (running) {
        suppliedUntil_ = startedAt;
    }
    running_.store(running, std::memory_order_release);
}

void AudioTimeline::Restart(int64_t position, std::optional<MonoTime> now) {
    ring_.Clear();
    fresh_ = true;
    device_ = position;
    suppliedUntil_ = now;
}

}  // namespace vrel::mmstream
