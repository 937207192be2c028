// One encoded stream of the output file: its codec context and its muxer stream.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vrel::moviemaker {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The text of an FFmpeg error code.
std::string ErrorText(int code);

class Encoder {
  public:
    // Allocates the codec context; configure it through Context(), then call Open.
    bool Create(const char* encoderName, std::string* error);
    AVCodecContext* Context() const { return context_.get(); }
    const AVCodec* Codec() const { return codec_; }

    // Opens the codec and adds its stream to the muxer.
    bool Open(AVFormatContext* muxer, AVDictionary** options, std::string* error);
    // Encodes one frame (null flushes) and writes every packet that comes out.
    bool Encode(AVFrame* frame, AVFormatContext* muxer, std::string* error);

  private:
    const AVCodec* codec_ = nullptr;
    std::unique_ptr<AVCodecContext, CodecContextFree> context_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    AVStream* stream_ = nullptr;
};

}  // namespace vrel::moviemaker
