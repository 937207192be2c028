#include "runtime/mmstream/audio_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace vrel::mmstream {
namespace {

// Streams sometimes say only how many channels they have; take the usual layout for it.
AVChannelLayout InputLayout(const AVFrame* decoded) {
    AVChannelLayout layout{};
    if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout, decoded->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&layout, &decoded->ch_layout);
    }
    return layout;
}

}  // namespace

AudioConverter::AudioConverter(int rate, int channels) : rate_(rate) {
    av_channel_layout_default(&outLayout_, channels);
}

AudioConverter::~AudioConverter() {
    av_channel_layout_uninit(&outLayout_);
    av_channel_layout_uninit(&inLayout_);
}

bool AudioConverter::Matches(const AVFrame* decoded) const {
    return swr_ && decoded->sample_rate == inRate_ && decoded->format == inFormat_ &&
           decoded->ch_layout.nb_channels == inLayout_.nb_channels;
}

bool AudioConverter::Configure(const AVFrame* decoded) {
    swr_.reset();
    av_channel_layout_uninit(&inLayout_);
    inLayout_ = InputLayout(decoded);
    inRate_ = decoded->sample_rate;
    inFormat_ = decoded->format;
    SwrContext* swr = nullptr;
    if (swr_alloc_set_opts2(&swr, &outLayout_, AV_SAMPLE_FMT_S16, rate_, &inLayout_,
                            static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr) < 0) {
        return false;
    }
    swr_.reset(swr);
    if (swr_init(swr) < 0) {
        swr_.reset();
        return false;
    }
    return true;
}

const uint8_t* AudioConverter::Convert(const AVFrame* decoded, int* frames) {
    *frames = 0;
    if (!PlayableSound(decoded->sample_rate, decoded->ch_layout.nb_channels) ||
        (!Matches(decoded) && !Configure(decoded))) {
        return nullptr;
    }
    int capacity = swr_get_out_samples(swr_.get(), decoded->nb_samples);
    size_t bytes = static_cast<size_t>(capacity) * outLayout_.nb_channels * 2;
    if (capacity <= 0) {
        return nullptr;
    }
    if (buffer_.size() < bytes) {
        buffer_.resize(bytes);  // grows to the largest frame once, then stays
    }
    uint8_t* out[1] = {buffer_.data()};
    int converted =
        swr_convert(swr_.get(), out, capacity, const_cast<const uint8_t**>(decoded->extended_data),
                    decoded->nb_samples);
    if (converted <= 0) {
        return nullptr;
    }
    *frames = converted;
    return buffer_.data();
}

void AudioConverter::Reset() {
    swr_.reset();
    inRate_ = 0;
}

}  // namespace vrel::mmstream
