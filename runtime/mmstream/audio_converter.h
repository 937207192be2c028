// Decoded sound to the card's format (interleaved 16-bit at its rate and channel count)
// through swresample. The context is made once and again only when the input changes.
#pragma once

#include <vector>

#include "runtime/mmstream/ffmpeg_ptr.h"

namespace vrel::mmstream {

// Sound outside these bounds is not played: every sound buffer and the clock's idea of the
// card's delay are sized from the rate and channel count (a 1 Hz stream would claim minutes of
// buffered sound, 2^31 Hz gigabytes of memory).
constexpr int kMinSoundRate = 4'000;
constexpr int kMaxSoundRate = 384'000;
constexpr int kMaxSoundChannels = 32;
inline bool PlayableSound(int rate, int channels) {
    return rate >= kMinSoundRate && rate <= kMaxSoundRate && channels >= 1 &&
           channels <= kMaxSoundChannels;
}

class AudioConverter {
  public:
    AudioConverter(int rate, int channels);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // The converted samples of one decoded frame, valid until the next call; *frames says
    // how many (0 and null when the input cannot be converted).
    const uint8_t* Convert(const AVFrame* decoded, int* frames);
    // Forgets samples held back from earlier input (after a seek).
    void Reset();

  private:
    bool Matches(const AVFrame* decoded) const;
    bool Configure(const AVFrame* decoded);

    int rate_;
    AVChannelLayout outLayout_{};
    SwrPtr swr_;
    AVChannelLayout inLayout_{};
    int inRate_ = 0;
    int inFormat_ = -1;
    std::vector<uint8_t> buffer_;
};

}  // namespace vrel::mmstream
