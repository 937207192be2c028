#include "runtime/mmstream/audio_renderer.h"

#include <algorithm>

namespace vrel::mmstream {

std::unique_ptr<AudioRenderer> AudioRenderer::Open(int rate, int channels, std::string* error) {
    std::unique_ptr<AudioDevice> device = AudioDevice::Create(rate, channels, error);
    if (!device) {
        return nullptr;
    }
    return std::unique_ptr<AudioRenderer>(new AudioRenderer(std::move(device)));
}

AudioRenderer::AudioRenderer(std::unique_ptr<AudioDevice> device)
    : device_(std::move(device)),
      timeline_(device_->GetSpec().rate, device_->GetSpec().FrameBytes(),
                device_->GetSpec().rate / 2, device_->GetSpec().bufferFrames),
      converter_(device_->GetSpec().rate, device_->GetSpec().channels),
      targetFrames_(device_->GetSpec().rate / 4),
      burstFrames_(device_->GetSpec().rate / 10),
      prerollFrames_(device_->GetSpec().rate / 10),
      frameBytes_(device_->GetSpec().FrameBytes()) {}

AudioRenderer::~AudioRenderer() {
    device_.reset();  // no callback may run once the timeline goes
}

bool AudioRenderer::OpenDevice(std::string* error) {
    return device_->Open(this, error);
}

void AudioRenderer::CloseDevice() {
    device_->Close();
}

void AudioRenderer::FillAudio(uint8_t* out, int bytes) {
    timeline_.Fill(out, bytes / frameBytes_, MonoClock::now());
}

bool AudioRenderer::WantsMore() {
    const int buffered = timeline_.BufferedFrames();
    if (buffered < targetFrames_) {
        refilling_ = true;
    } else if (buffered >= targetFrames_ + burstFrames_) {
        refilling_ = false;
    }
    return pendingFrames_ == 0 && refilling_;
}

bool AudioRenderer::Prerolled() const {
    return timeline_.BufferedFrames() >= prerollFrames_;
}

MonoClock::duration AudioRenderer::TimeUntilLow() const {
    int spare = timeline_.BufferedFrames() - targetFrames_;
    // Samples that did not fit are waiting for room: look again soon.
    auto soonest = std::chrono::milliseconds(5);
    if (spare <= 0) {
        return soonest;
    }
    return std::max<MonoClock::duration>(soonest, std::chrono::duration_cast<MonoClock::duration>(
                                                      FramesToTicks(spare, timeline_.Rate())));
}

bool AudioRenderer::FlushPending() {
    if (pendingFrames_ == 0) {
        return false;
    }
    int taken = timeline_.Write(pendingData_, pendingFrames_, pendingPosition_);
    pendingData_ += static_cast<size_t>(taken) * frameBytes_;
    pendingFrames_ -= taken;
    pendingPosition_ += taken;
    return taken > 0;
}

void AudioRenderer::Queue(const AVFrame* decoded, StreamTicks start) {
    int frames = 0;
    const uint8_t* data = converter_.Convert(decoded, &frames);
    if (data == nullptr) {
        return;
    }
    int64_t position = fresh_ ? TicksToFrames(start, timeline_.Rate()) : nextPosition_;
    fresh_ = false;
    nextPosition_ = position + frames;
    int skip = static_cast<int>(std::clamp<int64_t>(startLimit_ - position, 0, frames));
    pendingData_ = data + static_cast<size_t>(skip) * frameBytes_;
    pendingFrames_ = frames - skip;
    pendingPosition_ = position + skip;
    FlushPending();
}

StreamTicks AudioRenderer::QueuedEnd() const {
    return FramesToTicks(fresh_ ? startLimit_ : nextPosition_, timeline_.Rate());
}

void AudioRenderer::SetRunning(bool running) {
    AudioDevice::Lock lock(*device_);
    timeline_.SetRunning(running, MonoClock::now());
}

void AudioRenderer::Restart(StreamTicks position) {
    int64_t frames = TicksToFrames(position, timeline_.Rate());
    {
        AudioDevice::Lock lock(*device_);
        timeline_.Restart(frames, MonoClock::now());
    }
    converter_.Reset();
    fresh_ = true;
    startLimit_ = frames;
    pendingFrames_ = 0;
}

}  // namespace vrel::mmstream
