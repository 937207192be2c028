// The decode side of a playback: demuxes the file and decodes its picture and sound, one
// small step at a time, into the picture queue (through DecodeTarget) and the audio renderer.
// Only one thread at a time may use it (the decode thread, or a caller seeking while it
// holds the playback's source lock).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/mmstream/audio_renderer.h"
#include "runtime/mmstream/frame_queue.h"
#include "runtime/mmstream/media_file.h"
#include "runtime/mmstream/packet_queue.h"
#include "runtime/mmstream/stream_decoder.h"

namespace vrel::mmstream {

// Where decoded pictures go; implemented by the playback.
class DecodeTarget {
  public:
    // True when a picture can be queued now; pictures whose time has passed may be dropped to
    // make room, so the decoder never waits on the consumer.
    virtual bool VideoRoom() = 0;
    // Takes the frame's picture (the frame is left empty).
    virtual void PushVideo(AVFrame* frame, QueuedFrame times) = 0;
    // No more pictures will come; the last one ends at `end`.
    virtual void VideoEnded(StreamTicks end) = 0;
    virtual void AudioEnded() = 0;

  protected:
    ~DecodeTarget() = default;
};

struct VideoFormat {
    int width = 0;
    int height = 0;
    StreamTicks frameDuration{0};
};

class MovieSource {
  public:
    // Opens decoders for the wanted streams the file has. Null with the cause when the file
    // has such streams but none of them can be decoded.
    static std::unique_ptr<MovieSource> Create(std::unique_ptr<MediaFile> file, bool wantVideo,
                                               bool wantAudio, DecodeTarget* target,
                                               std::string* cause);
    ~MovieSource();

    std::optional<VideoFormat> Video() const;
    // The decoded sound's rate and channel count, when there is sound to play.
    bool HasAudio() const { return audio_ != nullptr; }
    int AudioRate() const;
    int AudioChannels() const;
    // The sound goes to `renderer` from now on (null: the sound is not decoded at all).
    void SetRenderer(AudioRenderer* renderer);
    std::optional<StreamTicks> Duration() const { return file_->Duration(); }

    // One piece of work: a packet read, a packet or frame decoded, sound moved along. False
    // when nothing can be done until time passes or the picture consumer takes something.
    bool Step();
    // Everything queued is dropped; the first picture delivered next is the one due at
    // `position`, and the sound goes on from there.
    void Seek(StreamTicks position);

  private:
    struct Track;
    enum class Pumped { Frame, Ended, Progress, Idle };

    MovieSource(std::unique_ptr<MediaFile> file, DecodeTarget* target);
    Pumped Pump(Track& track);
    bool DecodeVideo();
    bool DecodeAudio();
    bool ReadPacket();
    void MendVideoJump(AVPacket* packet, StreamTicks duration);
    bool IsJump(StreamTicks at) const;
    bool IsJumpBack(StreamTicks at) const;
    bool WantsPackets() const;
    Track* TrackOf(int streamIndex) const;
    void HandleVideoFrame();
    StreamTicks VideoStart(const AVFrame* frame);
    StreamTicks AudioStart(const AVFrame* frame) const;
    bool SeekLandedLate(StreamTicks firstStart) const;
    bool CanRetrySeek() const;
    void SeekFile(StreamTicks position);
    void RetrySeekEarlier();

    std::unique_ptr<MediaFile> file_;
    DecodeTarget* target_;
    std::unique_ptr<Track> video_;
    std::unique_ptr<Track> audio_;
    AudioRenderer* renderer_ = nullptr;
    FramePtr frame_;
    PacketPtr packet_;
    bool demuxEnded_ = false;
    StreamTicks frameDuration_{400'000};
    StreamTicks lastVideoStart_{0};
    StreamTicks videoEnd_{0};
    // Timestamp jumps in the picture (see MendVideoJump), as read from the file.
    StreamTicks videoShift_{0};               // taken off every picture timestamp
    std::optional<StreamTicks> videoReadTo_;  // the end of the latest picture read
    std::optional<StreamTicks> soundReadTo_;  // how far the file's sound has been read
    struct SeekState {
        bool active = false;      // pictures before the target are dropped
        bool firstFrame = false;  // the next picture tells whether the seek went far enough
        StreamTicks target{0};
        int attempts = 0;
        bool fromStart = true;
    } seek_;
};

}  // namespace vrel::mmstream
