#include "runtime/mmstream/stream_clock.h"

#include <algorithm>

namespace vrel::mmstream {
namespace {

constexpr int64_t kMillion = 1'000'000;

StreamTicks Elapsed(MonoTime from, MonoTime to) {
    return std::chrono::duration_cast<StreamTicks>(to - from);
}

// Two reports in a row agree with the monotonic clock when the sound advanced between them
// by the time that passed, give or take half (the audio thread is not always run at once).
bool Steady(const AudioPosition::Reading& before, const AudioPosition::Reading& after) {
    StreamTicks heard = after.heard - before.heard;
    StreamTicks passed = Elapsed(before.at, after.at);
    StreamTicks off = heard > passed ? heard - passed : passed - heard;
    return heard > StreamTicks{0} && off * 2 <= heard;
}

}  // namespace

void StreamClock::Run(MonoTime now) {
    std::lock_guard lock(mutex_);
    if (running_) {
        return;
    }
    running_ = true;
    runAt_ = now;
    anchorAt_ = now + SetOff();
    Forget();
}

void StreamClock::Stop(MonoTime now) {
    std::lock_guard lock(mutex_);
    if (!running_) {
        return;
    }
    Follow(now);
    Rebase(now);
    running_ = false;
}

void StreamClock::SetPosition(StreamTicks position, MonoTime now) {
    std::lock_guard lock(mutex_);
    anchorValue_ = position;
    anchorAt_ = running_ ? now + SetOff() : now;
    slewPpm_ = 0;
    if (running_) {
        // Reports from before the move speak of the old position.
        runAt_ = now;
        Forget();
    }
}

StreamTicks StreamClock::Now(MonoTime now) {
    std::lock_guard lock(mutex_);
    Follow(now);
    return ValueAt(now);
}

bool StreamClock::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

MonoTime StreamClock::When(StreamTicks position, MonoTime now) {
    std::lock_guard lock(mutex_);
    Follow(now);
    if (!running_) {
        return MonoTime::max();
    }
    StreamTicks ahead = position - anchorValue_;
    if (ahead <= StreamTicks{0}) {
        return std::min(now, anchorAt_ + std::chrono::duration_cast<MonoClock::duration>(ahead));
    }
    // Rounded up, so the clock has reached `position` when the caller looks again.
    int64_t rate = kMillion + slewPpm_;
    StreamTicks until((ahead.count() * kMillion + rate - 1) / rate);
    return anchorAt_ + std::chrono::duration_cast<MonoClock::duration>(until);
}

bool StreamClock::FollowingAudio(MonoTime now) {
    std::lock_guard lock(mutex_);
    Follow(now);
    return running_ && steadyReports_ >= kSteadyReports && now - lastReading_->at <= kAudioStall;
}

void StreamClock::Follow(MonoTime now) {
    if (!running_ || audio_ == nullptr) {
        return;
    }
    // The sound went quiet: from then on the clock ran alone at the normal rate.
    if (slewPpm_ != 0 && now - lastReading_->at > kAudioStall) {
        Rebase(lastReading_->at + kAudioStall);
    }
    std::optional<AudioPosition::Reading> reading = audio_->Read();
    if (reading && reading->sequence != lastSequence_ && reading->at >= runAt_) {
        lastSequence_ = reading->sequence;
        Steer(*reading, now);
    }
}

void StreamClock::Steer(const AudioPosition::Reading& reading, MonoTime now) {
    bool steady = lastReading_ && Steady(*lastReading_, reading);
    steadyReports_ = steady ? steadyReports_ + 1 : 1;
    lastReading_ = reading;
    StreamTicks error = reading.heard - ValueAt(reading.at);
    Rebase(now);
    if (steadyReports_ < kSteadyReports) {
        return;  // not yet known what is heard: the monotonic clock knows better
    }
    if (error > kJumpThreshold || error < -kJumpThreshold) {
        anchorValue_ += error;
        return;
    }
    slewPpm_ =
        std::clamp<int64_t>(error.count() * kCatchUpPerSecond * kMillion / StreamTicks::period::den,
                            -kMaxSlewPpm, kMaxSlewPpm);
}

void StreamClock::Rebase(MonoTime t) {
    if (t > anchorAt_) {
        anchorValue_ = ValueAt(t);
        anchorAt_ = t;
    }
    slewPpm_ = 0;
}

MonoClock::duration StreamClock::SetOff() const {
    return audio_ != nullptr ? kSoundStart : MonoClock::duration{0};
}

void StreamClock::Forget() {
    slewPpm_ = 0;
    lastReading_.reset();
    steadyReports_ = 0;
}

StreamTicks StreamClock::ValueAt(MonoTime t) const {
    if (!running_) {
        return anchorValue_;
    }
    StreamTicks elapsed = std::max(StreamTicks{0}, Elapsed(anchorAt_, t));
    return anchorValue_ + elapsed + StreamTicks(elapsed.count() * slewPpm_ / kMillion);
}

}  // namespace vrel::mmstream
