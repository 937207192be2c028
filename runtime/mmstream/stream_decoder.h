// One stream's decoder: a codec context opened for the stream, pictures with FFmpeg's frame
// threads.
#pragma once

#include <string>

#include "runtime/mmstream/ffmpeg_ptr.h"

namespace vrel::mmstream {

class StreamDecoder {
  public:
    // Opens a decoder for `stream`; false with the reason in *error.
    bool Open(const AVStream* stream, std::string* error);
    bool IsOpen() const { return context_ != nullptr; }
    const AVStream* Stream() const { return stream_; }
    const AVCodecContext* Context() const { return context_.get(); }

    // avcodec_send_packet (null: no more input) and avcodec_receive_frame.
    int Send(const AVPacket* packet) { return avcodec_send_packet(context_.get(), packet); }
    int Receive(AVFrame* frame) { return avcodec_receive_frame(context_.get(), frame); }
    // Forgets all input (after a seek).
    void Flush() { avcodec_flush_buffers(context_.get()); }

  private:
    const AVStream* stream_ = nullptr;
    CodecContextPtr context_;
};

}  // namespace vrel::mmstream
