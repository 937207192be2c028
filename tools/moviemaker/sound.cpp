#include "tools/moviemaker/sound.h"

#include <algorithm>
#include <cmath>

namespace vrel::moviemaker {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A pentatonic tune in semitones above A3, one note per quarter second, and a bass line of
// four chord roots, one per second.
constexpr int kMelody[16] = {12, 15, 17, 19, 22, 19, 17, 15, 12, 10, 12, 15, 17, 15, 12, 7};
constexpr int kBassLine[4] = {0, -4, -7, -2};

double NoteHz(int semitonesAboveA3) {
    return 220.0 * std::pow(2.0, semitonesAboveA3 / 12.0);
}

// A plucked note: quick attack, exponential decay.
float Pluck(double hz, double secondsIntoNote, double decayPerSecond) {
    if (secondsIntoNote < 0) {
        return 0;
    }
    double attack = std::min(1.0, secondsIntoNote / 0.005);
    double envelope = attack * std::exp(-decayPerSecond * secondsIntoNote);
    return static_cast<float>(envelope * std::sin(2 * kPi * hz * secondsIntoNote));
}

}  // namespace

float SoundTrack::Beep(int64_t position) const {
    const int64_t rate = settings_.sampleRate;
    int64_t intoSecond = position % rate;
    int64_t length = rate * kBeepMilliseconds / 1000;
    if (!settings_.beeps || intoSecond >= length) {
        return 0;
    }
    // Full level from the first sample, so the onset is sharp; a short fade at the end only.
    int64_t fade = rate / 1000;
    double gain = std::min<double>(1.0, static_cast<double>(length - intoSecond) / fade);
    return static_cast<float>(0.8 * gain *
                              std::sin(2 * kPi * kBeepHz * static_cast<double>(intoSecond) / rate));
}

float SoundTrack::Melody(int64_t position) const {
    const int64_t noteLength = settings_.sampleRate / 4;
    int64_t note = position / noteLength;
    double into = static_cast<double>(position % noteLength) / settings_.sampleRate;
    return Pluck(NoteHz(kMelody[note % 16]), into, 6.0);
}

float SoundTrack::Bass(int64_t position) const {
    const int64_t rate = settings_.sampleRate;
    int64_t bar = position / rate;
    double into = static_cast<double>(position % rate) / rate;
    return Pluck(NoteHz(kBassLine[bar % 4] - 12), into, 2.0);
}

void SoundTrack::Render(int64_t first, int count, float* left, float* right) const {
    const float volume = settings_.musicVolume;
    for (int i = 0; i < count; ++i) {
        int64_t position = first + i;
        float melody = volume * Melody(position);
        float bass = volume * 0.8f * Bass(position);
        float beep = Beep(position);
        left[i] = std::clamp(0.7f * melody + bass + beep, -1.0f, 1.0f);
        right[i] = std::clamp(melody + 0.7f * bass + beep, -1.0f, 1.0f);
    }
}

}  // namespace vrel::moviemaker
