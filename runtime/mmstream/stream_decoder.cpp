#include "runtime/mmstream/stream_decoder.h"

namespace vrel::mmstream {

bool StreamDecoder::Open(const AVStream* stream, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        *error = "no decoder for " + std::string(avcodec_get_name(stream->codecpar->codec_id));
        return false;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        *error = "out of memory";
        return false;
    }
    context->pkt_timebase = stream->time_base;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        context->thread_count = 0;  // as many as the machine has
        context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    int result = avcodec_open2(context.get(), codec, nullptr);
    if (result < 0) {
        *error = std::string(codec->name) + ": " + AvErrorText(result);
        return false;
    }
    stream_ = stream;
    context_ = std::move(context);
    return true;
}

}  // namespace vrel::mmstream
