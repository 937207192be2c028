// A movie file opened by FFmpeg by its content, whatever its name: its best picture and sound
// streams, reading packets and seeking.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/mmstream.h"
#include "runtime/mmstream/ffmpeg_ptr.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

// Where a movie's bytes come from: the checked file itself, or whatever a test stands in for
// it (a disk that stops answering). FFmpeg's conventions: Read returns the bytes read or a
// negative AVERROR, Seek takes whence with AVSEEK_SIZE and returns the position or the size.
class MovieBytes {
  public:
    virtual ~MovieBytes() = default;
    virtual int Read(uint8_t* buffer, int size) = 0;
    virtual int64_t Seek(int64_t offset, int whence) = 0;
};

class MediaFile {
  public:
    // Opens and examines the file. On failure, null with *result saying whether the file is
    // missing (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), unreadable, or not playable
    // (VFW_E_INVALID_FILE_FORMAT, VFW_E_UNSUPPORTED_STREAM), and the cause in *cause.
    // Only a regular file is played (a FIFO or a device could keep a read waiting for ever),
    // and only that one file: a demuxer that wants to open others (playlists, concat lists)
    // gets none of them. Once `stop` is set every read fails at once.
    // `bytes`, when given, is read in place of the file (`name` then only names it).
    static std::unique_ptr<MediaFile> Open(const std::string& name,
                                           std::unique_ptr<MovieBytes> bytes,
                                           const std::atomic<bool>* stop, HRESULT* result,
                                           std::string* cause);
    ~MediaFile();

    // The best stream of each kind that this FFmpeg can decode; null when there is none.
    AVStream* Video() const { return video_; }
    AVStream* Audio() const { return audio_; }
    // Stream time zero as a timestamp of `stream`.
    int64_t StartIn(const AVStream* stream) const;
    std::optional<StreamTicks> Duration() const;

    // The next packet; negative at the end of the file or on a read error.
    int Read(AVPacket* packet);
    // Moves reading to a point at or before `position` (as far as the file can tell);
    // `fromStart` tells whether it went back to the very beginning.
    void Seek(StreamTicks position, bool* fromStart);

  private:
    struct Input;
    MediaFile(std::unique_ptr<Input> input, FormatPtr format);
    bool SeekToStart();

    std::unique_ptr<Input> input_;  // outlives format_, which reads through it
    FormatPtr format_;
    AVStream* video_ = nullptr;
    AVStream* audio_ = nullptr;
    int64_t startTime_ = 0;  // in AV_TIME_BASE units
};

}  // namespace vrel::mmstream
