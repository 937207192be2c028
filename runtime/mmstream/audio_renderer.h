// The default audio renderer: decoded sound converted to the card's format and played through
// SDL audio on the stream's timeline; its reports drive the stream clock. Silent while the
// stream is stopped.
#pragma once

#include <memory>
#include <string>

#include "runtime/mmstream/audio_converter.h"
#include "runtime/mmstream/audio_device.h"
#include "runtime/mmstream/audio_timeline.h"

namespace vrel::mmstream {

class AudioRenderer final : private AudioDevice::Client {
  public:
    // Sound on the default device for a stream of `rate` and `channels`; null with the reason
    // in *error when the machine has no usable device.
    static std::unique_ptr<AudioRenderer> Open(int rate, int channels, std::string* error);
    ~AudioRenderer();
    AudioRenderer(const AudioRenderer&) = delete;
    AudioRenderer& operator=(const AudioRenderer&) = delete;

    const AudioPosition& Position() const { return timeline_.Position(); }
    const AudioDevice::Spec& DeviceSpec() const { return device_->GetSpec(); }
    // The card asks for sound (silence until the timeline runs) from now on; false with the
    // reason in *error when it cannot be opened. Control thread.
    bool OpenDevice(std::string* error);
    void CloseDevice();
    bool DeviceOpen() const { return device_->IsOpen(); }

    // Decode thread. Once the buffered sound runs low it asks until it is a burst over the
    // mark again: the decode thread wakes once per burst, not once per decoded frame.
    bool WantsMore();
    // True when enough is buffered to start playing. Any thread.
    bool Prerolled() const;
    // How long until the buffered sound runs below what the decode thread keeps (zero when
    // it already has). Any thread.
    MonoClock::duration TimeUntilLow() const;
    // Moves converted samples that did not fit earlier; true when some moved.
    bool FlushPending();
    // Converts a decoded frame that starts at `start` and queues it for playing.
    void Queue(const AVFrame* decoded, StreamTicks start);
    // Where the sound queued since the last restart ends.
    StreamTicks QueuedEnd() const;

    // Control. Call right after the stream's clock starts or stops.
    void SetRunning(bool running);
    // Drops everything queued; plays on from `position`, skipping sound before it.
    void Restart(StreamTicks position);

  private:
    explicit AudioRenderer(std::unique_ptr<AudioDevice> device);
    void FillAudio(uint8_t* out, int bytes) override;

    std::unique_ptr<AudioDevice> device_;
    AudioTimeline timeline_;
    AudioConverter converter_;
    const int targetFrames_;   // how much the decode thread keeps buffered
    const int burstFrames_;    // how far over that one refill goes
    bool refilling_ = true;    // decode thread only
    const int prerollFrames_;  // how much must be there before the stream starts
    // The card's callback reads this, not device_: its last call may come while the device
    // closes, when device_ is already null.
    const int frameBytes_;
    bool fresh_ = true;  // the next frame's timestamp places it; later ones follow on
    int64_t nextPosition_ = 0;
    int64_t startLimit_ = 0;  // sound before this position is not played
    const uint8_t* pendingData_ = nullptr;
    int pendingFrames_ = 0;
    int64_t pendingPosition_ = 0;
};

}  // namespace vrel::mmstream
