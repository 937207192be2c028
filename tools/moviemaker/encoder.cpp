#include "tools/moviemaker/encoder.h"

#include <algorithm>

namespace vrel::moviemaker {

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

bool Encoder::Create(const char* encoderName, std::string* error) {
    codec_ = avcodec_find_encoder_by_name(encoderName);
    if (codec_ == nullptr) {
        *error = std::string("this FFmpeg has no encoder ") + encoderName;
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec_));
    packet_.reset(av_packet_alloc());
    if (!context_ || !packet_) {
        *error = "out of memory";
        return false;
    }
    // One thread and bit-exact output: the same settings must give the same file.
    context_->thread_count = 1;
    context_->flags |= AV_CODEC_FLAG_BITEXACT;
    return true;
}

bool Encoder::Open(AVFormatContext* muxer, AVDictionary** options, std::string* error) {
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER) {
        context_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int result = avcodec_open2(context_.get(), codec_, options);
    if (result < 0) {
        *error = std::string("cannot open encoder ") + codec_->name + ": " + ErrorText(result);
        return false;
    }
    stream_ = avformat_new_stream(muxer, nullptr);
    if (stream_ == nullptr) {
        *error = "out of memory";
        return false;
    }
    stream_->time_base = context_->time_base;
    result = avcodec_parameters_from_context(stream_->codecpar, context_.get());
    if (result < 0) {
        *error = ErrorText(result);
        return false;
    }
    return true;
}

bool Encoder::Encode(AVFrame* frame, AVFormatContext* muxer, std::string* error) {
    int result = avcodec_send_frame(context_.get(), frame);
    while (result >= 0) {
        result = avcodec_receive_packet(context_.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            break;
        }
        if (packet_->duration <= 0) {
            // Without it MP4's edit list ends at the last picture's start and cuts it off.
            packet_->duration =
                context_->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : std::max(context_->frame_size, 1);
        }
        av_packet_rescale_ts(packet_.get(), context_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        result = av_interleaved_write_frame(muxer, packet_.get());
    }
    *error = std::string("encoding with ") + codec_->name + " failed: " + ErrorText(result);
    return false;
}

}  // namespace vrel::moviemaker
