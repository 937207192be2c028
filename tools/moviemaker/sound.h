// The sound the movie maker writes: a little synthesized music, and in test movies a short
// loud beep at the start of every second (together with the white flash frame), for
// measuring picture against sound. Every sample is a pure function of its position.
#pragma once

#include <cstdint>

namespace vrel::moviemaker {

struct SoundSettings {
    int sampleRate = 44100;
    bool beeps = true;          // 1 kHz, 50 ms, at 0 s, 1 s, 2 s, ...
    float musicVolume = 0.05f;  // quiet under the beeps; louder for the intro's movie
};

constexpr int kBeepHz = 1000;
constexpr int kBeepMilliseconds = 50;

class SoundTrack {
  public:
    explicit SoundTrack(const SoundSettings& settings) : settings_(settings) {}

    // Stereo samples in -1..1 for sample positions first .. first + count - 1.
    void Render(int64_t first, int count, float* left, float* right) const;

  private:
    float Beep(int64_t position) const;
    float Melody(int64_t position) const;
    float Bass(int64_t position) const;

    SoundSettings settings_;
};

}  // namespace vrel::moviemaker
