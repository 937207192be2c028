#include "tools/moviemaker/movie_writer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/moviemaker/encoder.h"
#include "tools/moviemaker/yuv.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace vrel::moviemaker {
namespace {

const char* EncoderName(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::Mpeg4:
            return "mpeg4";
        case VideoCodec::H264:
            return "libx264";
        case VideoCodec::Mpeg1:
            break;
    }
    return "mpeg1video";
}

const char* EncoderName(AudioCodec codec) {
    return codec == AudioCodec::Aac ? "aac" : "mp2";
}

const char* MuxerName(Container container) {
    switch (container) {
        case Container::Avi:
            return "avi";
        case Container::Mp4:
            return "mp4";
        case Container::Mpeg:
            break;
    }
    return "mpeg";
}

struct MuxerClose {
    void operator()(AVFormatContext* muxer) const {
        if (muxer->pb != nullptr) {
            avio_closep(&muxer->pb);
        }
        avformat_free_context(muxer);
    }
};

class MovieWriter {
  public:
    explicit MovieWriter(const MovieSettings& settings)
        : settings_(settings), painter_(settings.picture), sound_(settings.sound) {}

    bool Write(std::string* error);

  private:
    bool OpenMuxer(std::string* error);
    bool SetUpVideo(std::string* error);
    bool SetUpAudio(std::string* error);
    bool WriteStreams(std::string* error);
    bool WriteVideoFrame(int index, std::string* error);
    bool WriteAudioUntil(int64_t samplePosition, std::string* error);
    void FillAudioFrame();

    const MovieSettings& settings_;
    PicturePainter painter_;
    SoundTrack sound_;
    std::unique_ptr<AVFormatContext, MuxerClose> muxer_;
    Encoder video_;
    Encoder audio_;
    FramePtr videoFrame_;
    FramePtr audioFrame_;
    std::vector<uint32_t> rgb_;
    std::vector<float> left_;
    std::vector<float> right_;
    int64_t audioPosition_ = 0;
};

bool MovieWriter::Write(std::string* error) {
    if (!OpenMuxer(error) || (settings_.withVideo && !SetUpVideo(error)) ||
        (settings_.withAudio && !SetUpAudio(error))) {
        return false;
    }
    int result = avio_open(&muxer_->pb, settings_.outputPath.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        *error = settings_.outputPath + ": " + ErrorText(result);
        return false;
    }
    result = avformat_write_header(muxer_.get(), nullptr);
    if (result < 0) {
        *error = "cannot write the header: " + ErrorText(result);
        return false;
    }
    if (!WriteStreams(error)) {
        return false;
    }
    result = av_write_trailer(muxer_.get());
    if (result < 0) {
        *error = "cannot finish the file: " + ErrorText(result);
        return false;
    }
    return true;
}

bool MovieWriter::OpenMuxer(std::string* error) {
    AVFormatContext* muxer = nullptr;
    int result = avformat_alloc_output_context2(&muxer, nullptr, MuxerName(settings_.container),
                                                settings_.outputPath.c_str());
    if (result < 0) {
        *error = "cannot make the container: " + ErrorText(result);
        return false;
    }
    muxer_.reset(muxer);
    muxer_->flags |= AVFMT_FLAG_BITEXACT;  // no dates or version strings in the file
    return true;
}

bool MovieWriter::SetUpVideo(std::string* error) {
    if (!video_.Create(EncoderName(settings_.videoCodec), error)) {
        return false;
    }
    const PictureSettings& picture = settings_.picture;
    AVCodecContext* c = video_.Context();
    c->width = picture.width;
    c->height = picture.height;
    c->time_base = AVRational{1, picture.fps};
    c->framerate = AVRational{picture.fps, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_range = AVCOL_RANGE_MPEG;
    AVDictionary* options = nullptr;
    if (settings_.videoCodec == VideoCodec::H264) {
        c->gop_size = picture.fps;
        av_dict_set(&options, "preset", "veryfast", 0);
        av_dict_set(&options, "crf", "20", 0);
    } else {
        // A fixed quantiser: good enough for the marker at any size, no rate control state.
        c->gop_size = 12;
        c->max_b_frames = settings_.videoCodec == VideoCodec::Mpeg1 ? 2 : 0;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * 4;
        // Rate-distortion macroblock choices: without them a B-picture between a flash and
        // the next picture may average a marker cell to grey.
        c->mb_decision = FF_MB_DECISION_RD;
        // Not a target, only what the program stream muxer sizes its rate and buffers by.
        c->bit_rate = static_cast<int64_t>(picture.width) * picture.height * picture.fps;
        c->rc_max_rate = 2 * c->bit_rate;
        c->rc_buffer_size = static_cast<int>(c->rc_max_rate);
    }
    bool opened = video_.Open(muxer_.get(), &options, error);
    av_dict_free(&options);
    if (!opened) {
        return false;
    }
    videoFrame_.reset(av_frame_alloc());
    videoFrame_->format = c->pix_fmt;
    videoFrame_->width = c->width;
    videoFrame_->height = c->height;
    rgb_.resize(static_cast<size_t>(c->width) * c->height);
    return av_frame_get_buffer(videoFrame_.get(), 0) >= 0;
}

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_FLTP) {
            return *f;
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

bool MovieWriter::SetUpAudio(std::string* error) {
    if (!audio_.Create(EncoderName(settings_.audioCodec), error)) {
        return false;
    }
    AVCodecContext* c = audio_.Context();
    c->sample_fmt = PickSampleFormat(audio_.Codec());
    c->sample_rate = settings_.sound.sampleRate;
    c->time_base = AVRational{1, c->sample_rate};
    c->bit_rate = settings_.audioCodec == AudioCodec::Aac ? 128000 : 192000;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&c->ch_layout, &stereo);
    if (c->sample_fmt == AV_SAMPLE_FMT_NONE || !audio_.Open(muxer_.get(), nullptr, error)) {
        if (error->empty()) {
            *error = "the audio encoder takes no usable sample format";
        }
        return false;
    }
    audioFrame_.reset(av_frame_alloc());
    audioFrame_->format = c->sample_fmt;
    audioFrame_->sample_rate = c->sample_rate;
    audioFrame_->nb_samples = c->frame_size > 0 ? c->frame_size : 1024;
    av_channel_layout_copy(&audioFrame_->ch_layout, &c->ch_layout);
    left_.resize(audioFrame_->nb_samples);
    right_.resize(audioFrame_->nb_samples);
    return av_frame_get_buffer(audioFrame_.get(), 0) >= 0;
}

bool MovieWriter::WriteStreams(std::string* error) {
    const int frames = settings_.withVideo ? FrameCount(settings_) : 0;
    const int64_t rate = settings_.sound.sampleRate;
    const int fps = settings_.picture.fps;
    for (int i = 0; i < frames; ++i) {
        if (settings_.withAudio && !WriteAudioUntil((i + 1) * rate / fps, error)) {
            return false;
        }
        if (!WriteVideoFrame(i, error)) {
            return false;
        }
    }
    if (settings_.withAudio) {
        int64_t total = std::llround(settings_.seconds * static_cast<double>(rate));
        if (!WriteAudioUntil(total, error) || !audio_.Encode(nullptr, muxer_.get(), error)) {
            return false;
        }
    }
    return !settings_.withVideo || video_.Encode(nullptr, muxer_.get(), error);
}

bool MovieWriter::WriteVideoFrame(int index, std::string* error) {
    const int width = settings_.picture.width;
    const int height = settings_.picture.height;
    painter_.Paint(index, rgb_.data(), width);
    if (av_frame_make_writable(videoFrame_.get()) < 0) {
        *error = "out of memory";
        return false;
    }
    XrgbToYuv420(rgb_.data(), width, height, width, videoFrame_.get());
    videoFrame_->pts = index;
    // A flash is a picture of its own: predicted from its neighbours it comes out blotched.
    videoFrame_->pict_type =
        painter_.IsFlashFrame(index) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return video_.Encode(videoFrame_.get(), muxer_.get(), error);
}

bool MovieWriter::WriteAudioUntil(int64_t samplePosition, std::string* error) {
    while (audioPosition_ < samplePosition) {
        if (av_frame_make_writable(audioFrame_.get()) < 0) {
            *error = "out of memory";
            return false;
        }
        FillAudioFrame();
        audioFrame_->pts = audioPosition_;
        if (!audio_.Encode(audioFrame_.get(), muxer_.get(), error)) {
            return false;
        }
        audioPosition_ += audioFrame_->nb_samples;
    }
    return true;
}

void MovieWriter::FillAudioFrame() {
    const int count = audioFrame_->nb_samples;
    sound_.Render(audioPosition_, count, left_.data(), right_.data());
    // The last frame is filled up with silence past the movie's end.
    int64_t end = std::llround(settings_.seconds * settings_.sound.sampleRate);
    for (int i = static_cast<int>(std::clamp<int64_t>(end - audioPosition_, 0, count)); i < count;
         ++i) {
        left_[i] = 0;
        right_[i] = 0;
    }
    if (audioFrame_->format == AV_SAMPLE_FMT_FLTP) {
        std::copy_n(left_.data(), count, reinterpret_cast<float*>(audioFrame_->data[0]));
        std::copy_n(right_.data(), count, reinterpret_cast<float*>(audioFrame_->data[1]));
        return;
    }
    auto* out = reinterpret_cast<int16_t*>(audioFrame_->data[0]);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = static_cast<int16_t>(std::lround(left_[i] * 32767.0f));
        out[2 * i + 1] = static_cast<int16_t>(std::lround(right_[i] * 32767.0f));
    }
}

}  // namespace

int FrameCount(const MovieSettings& settings) {
    return static_cast<int>(std::lround(settings.seconds * settings.picture.fps));
}

bool WriteMovie(const MovieSettings& settings, std::string* error) {
    if (!settings.withVideo && !settings.withAudio) {
        *error = "a movie needs picture or sound";
        return false;
    }
    MovieWriter writer(settings);
    return writer.Write(error);
}

}  // namespace vrel::moviemaker
