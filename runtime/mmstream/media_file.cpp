#include "runtime/mmstream/media_file.h"

#include <cerrno>

namespace vrel::mmstream {
namespace {

HRESULT OpenFailure(int code) {
    if (code == AVERROR(ENOENT) || code == AVERROR(ENOTDIR)) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    if (code == AVERROR(EACCES) || code == AVERROR(EPERM)) {
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    return VFW_E_INVALID_FILE_FORMAT;
}

// The best stream of a kind, only if a decoder exists for it.
AVStream* DecodableStream(AVFormatContext* format, AVMediaType type) {
    const AVCodec* decoder = nullptr;
    int index = av_find_best_stream(format, type, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr) {
        return nullptr;
    }
    return format->streams[index];
}

}  // namespace

MediaFile::MediaFile(FormatPtr format) : format_(std::move(format)) {
    video_ = DecodableStream(format_.get(), AVMEDIA_TYPE_VIDEO);
    audio_ = DecodableStream(format_.get(), AVMEDIA_TYPE_AUDIO);
    // Stream time zero is the first picture's time, so picture n is due at n frame times;
    // without a picture it is the container's start.
    if (video_ != nullptr && video_->start_time != AV_NOPTS_VALUE) {
        startTime_ = av_rescale_q(video_->start_time, video_->time_base, AV_TIME_BASE_Q);
    } else if (format_->start_time != AV_NOPTS_VALUE) {
        startTime_ = format_->start_time;
    }
}

std::unique_ptr<MediaFile> MediaFile::Open(const std::string& name, HRESULT* result,
                                           std::string* cause) {
    AVFormatContext* raw = nullptr;
    int code = avformat_open_input(&raw, name.c_str(), nullptr, nullptr);
    if (code < 0) {
        *result = OpenFailure(code);
        *cause = AvErrorText(code);
        return nullptr;
    }
    FormatPtr format(raw);
    code = avformat_find_stream_info(format.get(), nullptr);
    if (code < 0) {
        *result = VFW_E_INVALID_FILE_FORMAT;
        *cause = AvErrorText(code);
        return nullptr;
    }
    std::unique_ptr<MediaFile> file(new MediaFile(std::move(format)));
    if (file->video_ == nullptr && file->audio_ == nullptr) {
        *result = VFW_E_UNSUPPORTED_STREAM;
        *cause = "no picture or sound that can be decoded";
        return nullptr;
    }
    *result = S_OK;
    return file;
}

int64_t MediaFile::StartIn(const AVStream* stream) const {
    return av_rescale_q(startTime_, AV_TIME_BASE_Q, stream->time_base);
}

std::optional<StreamTicks> MediaFile::Duration() const {
    if (format_->duration == AV_NOPTS_VALUE || format_->duration <= 0) {
        return std::nullopt;
    }
    return TicksFrom(format_->duration, AV_TIME_BASE_Q);
}

int MediaFile::Read(AVPacket* packet) {
    return av_read_frame(format_.get(), packet);
}

void MediaFile::Seek(StreamTicks position, bool* fromStart) {
    *fromStart = true;
    if (position > StreamTicks{0}) {
        int64_t target =
            startTime_ + av_rescale_q(position.count(), AVRational{1, 10'000'000}, AV_TIME_BASE_Q);
        if (av_seek_frame(format_.get(), -1, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            *fromStart = false;
            return;
        }
    }
    SeekToStart();
}

bool MediaFile::SeekToStart() {
    // Going back to byte 0 is exact where the format allows it; elsewhere its index is.
    if (!(format_->iformat->flags & AVFMT_NO_BYTE_SEEK) &&
        av_seek_frame(format_.get(), -1, 0, AVSEEK_FLAG_BYTE) >= 0) {
        return true;
    }
    return av_seek_frame(format_.get(), -1, startTime_, AVSEEK_FLAG_BACKWARD) >= 0 ||
           av_seek_frame(format_.get(), -1, INT64_MIN, AVSEEK_FLAG_BACKWARD) >= 0;
}

}  // namespace vrel::mmstream
