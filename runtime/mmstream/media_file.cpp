#include "runtime/mmstream/media_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vrel::mmstream {
namespace {

constexpr int kReadBufferBytes = 64 << 10;

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

int Interrupted(void* stop) {
    return static_cast<const std::atomic<bool>*>(stop)->load(std::memory_order_relaxed) ? 1 : 0;
}

}  // namespace

// FFmpeg reads through the very descriptor that was checked to be a regular file: a file
// swapped for a FIFO between the check and the read cannot slip in, as it could if FFmpeg
// opened the name again.
class FileBytes final : public MovieBytes {
  public:
    ~FileBytes() override {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    // Opens without waiting (O_NONBLOCK: a FIFO without a writer would block open itself)
    // and keeps only regular files; reading a regular file never waits on O_NONBLOCK.
    bool Open(const std::string& name, int* code, std::string* cause) {
        fd_ = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat status {};
        if (fd_ < 0 || fstat(fd_, &status) != 0) {
            *code = AVERROR(errno);
            *cause = AvErrorText(*code);
            return false;
        }
        if (!S_ISREG(status.st_mode)) {
            *code = AVERROR(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
            *cause = S_ISDIR(status.st_mode) ? AvErrorText(*code) : "not a regular file";
            return false;
        }
        return true;
    }

    int Read(uint8_t* buffer, int size) override {
        for (;;) {
            ssize_t got = read(fd_, buffer, static_cast<size_t>(size));
            if (got >= 0) {
                return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
            }
            if (errno != EINTR) {
                return AVERROR(errno);
            }
        }
    }

    int64_t Seek(int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE) {
            struct stat status {};
            return fstat(fd_, &status) == 0 ? status.st_size : AVERROR(errno);
        }
        off_t at = lseek(fd_, offset, whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : at;
    }

  private:
    int fd_ = -1;
};

// FFmpeg's I/O context over the movie's bytes.
struct MediaFile::Input {
    std::unique_ptr<MovieBytes> bytes;
    const std::atomic<bool>* stop = nullptr;
    AVIOContext* io = nullptr;
    bool wantedOthers = false;  // looked at only while opening, on the opening thread

    ~Input() {
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    // Called once per buffer of kReadBufferBytes, not per frame: the stop check costs a
    // relaxed load there.
    static int Read(void* opaque, uint8_t* buffer, int size) {
        auto* input = static_cast<Input*>(opaque);
        if (input->stop->load(std::memory_order_relaxed)) {
            return AVERROR_EXIT;
        }
        return input->bytes->Read(buffer, size);
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        return static_cast<Input*>(opaque)->bytes->Seek(offset, whence);
    }

    // The movie is this one file: whatever else a demuxer asks for (the segments of a
    // playlist, a live playlist's next version, the parts of a concat list) is not there, so
    // nothing outside the checked file is read and nothing waits for a playlist to grow.
    static int RefuseOtherFiles(AVFormatContext* format, AVIOContext** /*pb*/, const char* /*url*/,
                                int /*flags*/, AVDictionary** /*options*/) {
        static_cast<Input*>(format->opaque)->wantedOthers = true;
        return AVERROR(EPERM);
    }

    bool MakeContext(int* code, std::string* cause) {
        auto* buffer = static_cast<uint8_t*>(av_malloc(kReadBufferBytes));
        io = buffer ? avio_alloc_context(buffer, kReadBufferBytes, 0, this, &Read, nullptr, &Seek)
                    : nullptr;
        if (io == nullptr) {
            av_free(buffer);
            *code = AVERROR(ENOMEM);
            *cause = AvErrorText(*code);
            return false;
        }
        return true;
    }
};

MediaFile::MediaFile(std::unique_ptr<Input> input, FormatPtr format)
    : input_(std::move(input)), format_(std::move(format)) {
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

MediaFile::~MediaFile() = default;

std::unique_ptr<MediaFile> MediaFile::Open(const std::string& name,
                                           std::unique_ptr<MovieBytes> bytes,
                                           const std::atomic<bool>* stop, HRESULT* result,
                                           std::string* cause) {
    int code = 0;
    if (!bytes) {
        auto file = std::make_unique<FileBytes>();
        if (!file->Open(name, &code, cause)) {
            *result = OpenFailure(code);
            return nullptr;
        }
        bytes = std::move(file);
    }
    auto input = std::make_unique<Input>();
    input->bytes = std::move(bytes);
    input->stop = stop;
    if (!input->MakeContext(&code, cause)) {
        *result = OpenFailure(code);
        return nullptr;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) {
        *result = E_OUTOFMEMORY;
        *cause = AvErrorText(AVERROR(ENOMEM));
        return nullptr;
    }
    raw->pb = input->io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->interrupt_callback = AVIOInterruptCB{&Interrupted, const_cast<std::atomic<bool>*>(stop)};
    raw->io_open = &Input::RefuseOtherFiles;
    raw->opaque = input.get();
    code = avformat_open_input(&raw, name.c_str(), nullptr, nullptr);  // frees raw on failure
    if (code < 0 && input->wantedOthers) {
        *result = VFW_E_INVALID_FILE_FORMAT;
        *cause = "a list of other files (only a movie in one file is played)";
        return nullptr;
    }
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
    std::unique_ptr<MediaFile> file(new MediaFile(std::move(input), std::move(format)));
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
    // Byte 0 is the start for formats whose packets can be found anywhere, and there it is
    // exact where their seeking by time (a search over timestamps that may restart) is not;
    // elsewhere byte 0 is a header (reading on from a Matroska header finds no packet), and
    // the format's index knows where the start is.
    AVFormatContext* f = format_.get();
    bool byByte = !(f->iformat->flags & AVFMT_NO_BYTE_SEEK);
    if (byByte && (f->iformat->flags & AVFMT_TS_DISCONT) &&
        av_seek_frame(f, -1, 0, AVSEEK_FLAG_BYTE) >= 0) {
        return true;
    }
    return av_seek_frame(f, -1, startTime_, AVSEEK_FLAG_BACKWARD) >= 0 ||
           av_seek_frame(f, -1, INT64_MIN, AVSEEK_FLAG_BACKWARD) >= 0 ||
           (byByte && av_seek_frame(f, -1, 0, AVSEEK_FLAG_BYTE) >= 0);
}

}  // namespace vrel::mmstream
