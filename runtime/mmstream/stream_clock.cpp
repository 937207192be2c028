#include "runtime/mmstream/stream_clock.h"

#include <algorithm>

namespace vrel::mmstream {
namespace {

StreamTicks Elapsed(MonoTime from, MonoTime to) {
    return std::chrono::duration_cast<StreamTicks>(to - from);
}

MonoClock::duration ToMono(StreamTicks t) {
    return std::chrono::duration_cast<MonoClock::duration>(t);
}

}  // namespace

void StreamClock::Run(MonoTime now) {
    std::lock_guard lock(mutex_);
    if (running_) {
        return;
    }
    running_ = true;
    runAt_ = now;
    anchorAt_ = now;
    holding_ = audio_ != nullptr;
    lastReading_.reset();
}

void StreamClock::Stop(MonoTime now) {
    std::lock_guard lock(mutex_);
    if (!running_) {
        return;
    }
    Follow(now);
    anchorValue_ = ValueAt(now);
    running_ = false;
    holding_ = false;
}

void StreamClock::SetPosition(StreamTicks position, MonoTime now) {
    std::lock_guard lock(mutex_);
    anchorValue_ = position;
    anchorAt_ = now;
    if (running_) {
        // Reports from before the move speak of the old position.
        runAt_ = now;
        holding_ = audio_ != nullptr;
        lastReading_.reset();
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
    if (!holding_) {
        return anchorAt_ + ToMono(position - anchorValue_);
    }
    // Waiting for the sound: it tells when it will reach us; without a word yet, look again
    // soon.
    if (lastReading_) {
        return std::max(now, lastReading_->at + ToMono(position - lastReading_->heard));
    }
    return now + std::chrono::milliseconds(5);
}

bool StreamClock::FollowingAudio(MonoTime now) {
    std::lock_guard lock(mutex_);
    Follow(now);
    return running_ && lastReading_ && now - lastReading_->at <= kAudioStall;
}

void StreamClock::Follow(MonoTime now) {
    if (!running_ || audio_ == nullptr) {
        return;
    }
    std::optional<AudioPosition::Reading> reading = audio_->Read();
    if (reading && reading->sequence != lastSequence_ && reading->at >= runAt_) {
        lastSequence_ = reading->sequence;
        lastReading_ = reading;
        if (holding_) {
            FollowWhileHolding(*reading, now);
        } else {
            FollowWhileFree(*reading);
        }
        return;
    }
    if (holding_ && lastReading_) {
        FollowWhileHolding(*lastReading_, now);  // the sound may have reached us meanwhile
    }
    MonoTime lastWord = lastReading_ ? lastReading_->at : runAt_;
    if (holding_ && now - lastWord > kAudioStall) {
        holding_ = false;  // no sound is coming: go on alone from here
        anchorAt_ = now;
    }
}

void StreamClock::FollowWhileHolding(const AudioPosition::Reading& reading, MonoTime now) {
    StreamTicks heardNow = reading.heard + Elapsed(reading.at, now);
    if (heardNow >= anchorValue_) {
        holding_ = false;
        anchorValue_ = heardNow;
        anchorAt_ = now;
    }
}

void StreamClock::FollowWhileFree(const AudioPosition::Reading& reading) {
    StreamTicks ours = anchorValue_ + Elapsed(anchorAt_, reading.at);
    StreamTicks error = reading.heard - ours;
    if (error > kJumpThreshold || error < -kJumpThreshold) {
        anchorValue_ += error;
    } else if (error > StreamTicks{0}) {
        anchorValue_ += error / 2;
    } else {
        // A report can only come late (the audio thread was not scheduled at once), which
        // makes the card look behind: such differences are trusted a little at a time.
        anchorValue_ += error / 16;
    }
}

StreamTicks StreamClock::ValueAt(MonoTime t) const {
    if (!running_ || holding_) {
        return anchorValue_;
    }
    return anchorValue_ + Elapsed(anchorAt_, t);
}

}  // namespace vrel::mmstream
