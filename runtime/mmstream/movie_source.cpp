#include "runtime/mmstream/movie_source.h"

#include <algorithm>

namespace vrel::mmstream {
namespace {

constexpr int kPacketSlots = 512;
// About a second of packets is read ahead; far more only when one stream starves.
constexpr StreamTicks kReadAhead = std::chrono::seconds(1);
constexpr int64_t kMaxQueuedBytes = 16 << 20;
constexpr int kSeekAttempts = 4;
// A gap in the picture's timestamps longer than this is looked at as a possible jump.
constexpr StreamTicks kLongestGap = std::chrono::seconds(2);

StreamTicks FrameDurationOf(const AVStream* stream) {
    AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        return StreamTicks{400'000};  // 25 frames per second when the file does not say
    }
    return TicksFrom(1, av_inv_q(rate));
}

}  // namespace

struct MovieSource::Track {
    StreamDecoder decoder;
    PacketQueue packets{kPacketSlots};
    int64_t start = 0;  // stream time zero, in this stream's time base
    bool drainSent = false;
    bool finished = false;

    void Reset() {
        decoder.Flush();
        packets.Clear();
        drainSent = false;
        finished = false;
    }
};

MovieSource::MovieSource(std::unique_ptr<MediaFile> file, DecodeTarget* target)
    : file_(std::move(file)), target_(target), frame_(NewFrame()), packet_(NewPacket()) {}

MovieSource::~MovieSource() = default;

std::unique_ptr<MovieSource> MovieSource::Create(std::unique_ptr<MediaFile> file, bool wantVideo,
                                                 bool wantAudio, DecodeTarget* target,
                                                 std::string* cause) {
    std::unique_ptr<MovieSource> source(new MovieSource(std::move(file), target));
    const MediaFile& f = *source->file_;
    bool wanted = false;
    auto open = [&](AVStream* stream, std::unique_ptr<Track>* track) {
        if (stream == nullptr) {
            return;
        }
        wanted = true;
        auto opened = std::make_unique<Track>();
        if (opened->decoder.Open(stream, cause)) {
            opened->start = f.StartIn(stream);
            *track = std::move(opened);
        }
    };
    open(wantVideo ? f.Video() : nullptr, &source->video_);
    open(wantAudio ? f.Audio() : nullptr, &source->audio_);
    if (wanted && !source->video_ && !source->audio_) {
        return nullptr;
    }
    if (source->video_) {
        source->frameDuration_ = FrameDurationOf(f.Video());
    }
    return source;
}

std::optional<VideoFormat> MovieSource::Video() const {
    if (!video_) {
        return std::nullopt;
    }
    const AVCodecContext* c = video_->decoder.Context();
    return VideoFormat{c->width, c->height, frameDuration_};
}

int MovieSource::AudioRate() const {
    return audio_ ? audio_->decoder.Context()->sample_rate : 0;
}

int MovieSource::AudioChannels() const {
    return audio_ ? audio_->decoder.Context()->ch_layout.nb_channels : 0;
}

void MovieSource::SetRenderer(AudioRenderer* renderer) {
    renderer_ = renderer;
    if (renderer_ == nullptr) {
        audio_.reset();
    }
}

bool MovieSource::Step() {
    return DecodeAudio() || DecodeVideo() || ReadPacket();
}

MovieSource::Pumped MovieSource::Pump(Track& track) {
    if (track.finished) {
        return Pumped::Idle;
    }
    int result = track.decoder.Receive(frame_.get());
    if (result >= 0) {
        return Pumped::Frame;
    }
    if (result == AVERROR_EOF) {
        track.finished = true;
        return Pumped::Ended;
    }
    // Needs input (or the last frame was damaged): feed the next packet, or say that no
    // more will come.
    if (!track.packets.Empty()) {
        track.packets.PopInto(packet_.get());
        track.decoder.Send(packet_.get());  // a damaged packet is simply skipped
        av_packet_unref(packet_.get());
        return Pumped::Progress;
    }
    if (demuxEnded_ && !track.drainSent) {
        track.decoder.Send(nullptr);
        track.drainSent = true;
        return Pumped::Progress;
    }
    return Pumped::Idle;
}

bool MovieSource::DecodeAudio() {
    if (!audio_ || renderer_ == nullptr) {
        return false;
    }
    if (renderer_->FlushPending()) {
        return true;
    }
    if (!renderer_->WantsMore()) {
        return false;
    }
    switch (Pump(*audio_)) {
        case Pumped::Frame:
            renderer_->Queue(frame_.get(), AudioStart(frame_.get()));
            av_frame_unref(frame_.get());
            return true;
        case Pumped::Ended:
            target_->AudioEnded();
            return true;
        case Pumped::Progress:
            return true;
        case Pumped::Idle:
            break;
    }
    return false;
}

bool MovieSource::DecodeVideo() {
    if (!video_ || video_->finished || !target_->VideoRoom()) {
        return false;
    }
    switch (Pump(*video_)) {
        case Pumped::Frame:
            HandleVideoFrame();
            return true;
        case Pumped::Ended:
            if (seek_.firstFrame && CanRetrySeek()) {
                RetrySeekEarlier();  // landed past the last keyframe: nothing came out
            } else {
                target_->VideoEnded(videoEnd_);
            }
            return true;
        case Pumped::Progress:
            return true;
        case Pumped::Idle:
            break;
    }
    return false;
}

void MovieSource::HandleVideoFrame() {
    QueuedFrame times{VideoStart(frame_.get()), frameDuration_};
    if (seek_.firstFrame) {
        seek_.firstFrame = false;
        if (SeekLandedLate(times.start)) {
            av_frame_unref(frame_.get());
            RetrySeekEarlier();
            return;
        }
    }
    if (seek_.active && times.End() <= seek_.target) {
        av_frame_unref(frame_.get());  // decoded only to reach the target
        return;
    }
    seek_.active = false;
    videoEnd_ = std::max(videoEnd_, times.End());
    target_->PushVideo(frame_.get(), times);
}

StreamTicks MovieSource::VideoStart(const AVFrame* frame) {
    int64_t pts = frame->best_effort_timestamp;
    lastVideoStart_ = pts == AV_NOPTS_VALUE
                          ? lastVideoStart_ + frameDuration_
                          : TicksFrom(pts - video_->start, video_->decoder.Stream()->time_base);
    return lastVideoStart_;
}

StreamTicks MovieSource::AudioStart(const AVFrame* frame) const {
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        return StreamTicks{0};  // placed after the sound before it
    }
    return TicksFrom(pts - audio_->start, audio_->decoder.Stream()->time_base);
}

bool MovieSource::ReadPacket() {
    if (demuxEnded_ || !WantsPackets()) {
        return false;
    }
    int result = file_->Read(packet_.get());
    if (result == AVERROR(EAGAIN)) {
        return true;
    }
    if (result < 0) {
        demuxEnded_ = true;  // the end, or a read error: either way no more packets
        return true;
    }
    const AVStream* sound = file_->Audio();
    if (sound != nullptr && packet_->stream_index == sound->index &&
        packet_->pts != AV_NOPTS_VALUE) {
        // Known even when the sound is not played: it tells whether the picture jumped alone.
        StreamTicks end =
            TicksFrom(packet_->pts + packet_->duration - file_->StartIn(sound), sound->time_base);
        soundReadTo_ = std::max(soundReadTo_.value_or(end), end);
    }
    if (Track* track = TrackOf(packet_->stream_index)) {
        StreamTicks duration = TicksFrom(packet_->duration, track->decoder.Stream()->time_base);
        if (duration <= StreamTicks{0} && track == video_.get()) {
            duration = frameDuration_;
        }
        if (track == video_.get()) {
            MendVideoJump(packet_.get(), duration);
        }
        track->packets.Push(packet_.get(), duration);
    }
    av_packet_unref(packet_.get());
    return true;
}

// A picture timestamp that leaps past the file's end, or ahead of a sound that has not come
// that far, is a damaged or spliced file, not a picture held for an hour: the pictures from
// there on are moved back to follow on, so the clock (and the sound) meets them at once.
// Likewise a leap back (movies joined end to end, each starting at zero): the pictures after
// it are moved on to follow, instead of all being passed over as late.
// A picture the file really holds is followed by sound all through the gap (the demuxer
// hands packets out in time order), so it keeps its time.
void MovieSource::MendVideoJump(AVPacket* packet, StreamTicks duration) {
    const AVRational base = video_->decoder.Stream()->time_base;
    // Picture times, not decoding times: in a reordered stream a jump shows in them first.
    int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (stamp == AV_NOPTS_VALUE) {
        return;
    }
    StreamTicks at = TicksFrom(stamp - video_->start, base) - videoShift_;
    if (videoReadTo_ &&
        (IsJumpBack(at) || (at - *videoReadTo_ > kLongestGap && IsJump(at + videoShift_)))) {
        videoShift_ += at - *videoReadTo_;
        at = *videoReadTo_;
    }
    videoReadTo_ = std::max(videoReadTo_.value_or(at + duration), at + duration);
    if (videoShift_ != StreamTicks{0}) {
        int64_t shift = av_rescale_q(videoShift_.count(), AVRational{1, 10'000'000}, base);
        packet->pts = packet->pts == AV_NOPTS_VALUE ? packet->pts : packet->pts - shift;
        // Decoding times straddle the jump in a reordered stream; the pictures need only
        // their own times.
        packet->dts = AV_NOPTS_VALUE;
    }
}

// Reordered pictures come up to 16 places early; anything further back is a leap.
bool MovieSource::IsJumpBack(StreamTicks at) const {
    StreamTicks reorder =
        std::max<StreamTicks>(frameDuration_ * 16, std::chrono::milliseconds(500));
    return *videoReadTo_ - at > reorder;
}

bool MovieSource::IsJump(StreamTicks at) const {
    std::optional<StreamTicks> duration = file_->Duration();
    bool pastEnd = duration && at > *duration + kLongestGap;
    bool soundBehind = soundReadTo_ && at > *soundReadTo_ + kLongestGap;
    return pastEnd || soundBehind;
}

bool MovieSource::WantsPackets() const {
    int64_t bytes = 0;
    StreamTicks queued{0};
    bool starving = false;
    for (const Track* track : {video_.get(), audio_.get()}) {
        if (track == nullptr) {
            continue;
        }
        if (track->packets.Full()) {
            return false;
        }
        bytes += track->packets.Bytes();
        queued = std::max(queued, track->packets.Duration());
        starving = starving || (track->packets.Empty() && !track->finished);
    }
    return bytes < kMaxQueuedBytes && (queued < kReadAhead || starving);
}

MovieSource::Track* MovieSource::TrackOf(int streamIndex) const {
    for (Track* track : {video_.get(), audio_.get()}) {
        if (track != nullptr && track->decoder.Stream()->index == streamIndex) {
            return track;
        }
    }
    return nullptr;
}

void MovieSource::Seek(StreamTicks position) {
    seek_ = SeekState{video_ != nullptr, video_ != nullptr, position, 0, true};
    videoEnd_ = position;
    lastVideoStart_ = position - frameDuration_;
    SeekFile(position);
}

void MovieSource::SeekFile(StreamTicks position) {
    file_->Seek(position, &seek_.fromStart);
    for (Track* track : {video_.get(), audio_.get()}) {
        if (track != nullptr) {
            track->Reset();
        }
    }
    demuxEnded_ = false;
    videoShift_ = StreamTicks{0};
    videoReadTo_.reset();
    soundReadTo_.reset();
    if (renderer_ != nullptr) {
        renderer_->Restart(seek_.target);
    }
}

// Seeking by timestamp may land after the target (no keyframe where the index said); the
// first picture shows it, and reading starts again further back.
bool MovieSource::SeekLandedLate(StreamTicks firstStart) const {
    return CanRetrySeek() && firstStart > seek_.target + frameDuration_ / 2;
}

bool MovieSource::CanRetrySeek() const {
    return !seek_.fromStart && seek_.attempts < kSeekAttempts;
}

void MovieSource::RetrySeekEarlier() {
    ++seek_.attempts;
    StreamTicks back = std::chrono::seconds(1) * (1 << seek_.attempts);
    seek_.firstFrame = true;
    seek_.active = true;
    SeekFile(seek_.attempts >= kSeekAttempts - 1 ? StreamTicks{0} : seek_.target - back);
}

}  // namespace vrel::mmstream
