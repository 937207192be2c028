#include "runtime/mmstream/audio_device.h"

#include <alsa/asoundlib.h>

#include <algorithm>

#include "runtime/mmstream/audio_converter.h"

namespace vrel::mmstream {
namespace {

// The largest power of two up to about 25 ms (1024 frames at 44.1 or 48 kHz): short enough
// for a tight clock and a quick close, long enough not to run dry on a busy machine. Powers
// of two because SDL's drivers pace them exactly (its dummy driver runs 12 % slow with 1764).
Uint16 BufferFrames(int rate) {
    int frames = 256;
    while (frames * 2 <= rate / 40 && frames < 2048) {
        frames *= 2;
    }
    return static_cast<Uint16>(frames);
}

// libasound prints its own lines for every device it tries and fails; our one-line notice
// says it all. SDL loads the same libasound, so this handler is the one it reports to.
void QuietAlsa(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
               const char* /*format*/, ...) {}

}  // namespace

std::unique_ptr<AudioDevice> AudioDevice::Create(int wantedRate, int wantedChannels,
                                                 std::string* error) {
    static const int quiet = snd_lib_error_set_handler(&QuietAlsa);
    (void)quiet;
    std::unique_ptr<AudioDevice> device(new AudioDevice());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *error = SDL_GetError();
        return nullptr;
    }
    device->subsystemStarted_ = true;
    device->spec_ = PreferredSpec(wantedRate, wantedChannels);
    return device;
}

// The card's own rate and channel count where the driver tells them (the sound's otherwise),
// found without opening the card: opening and closing it costs a buffer or more.
AudioDevice::Spec AudioDevice::PreferredSpec(int wantedRate, int wantedChannels) {
    SDL_AudioSpec card{};
    int rate = wantedRate;
    int channels = wantedChannels;
    if (SDL_GetDefaultAudioInfo(nullptr, &card, 0) == 0 &&
        PlayableSound(card.freq, card.channels)) {
        rate = card.freq;
        channels = card.channels;
    }
    return Spec{rate, std::clamp(channels, 1, 2), BufferFrames(rate)};
}

AudioDevice::~AudioDevice() {
    Close();
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool AudioDevice::Open(Client* client, std::string* error) {
    std::lock_guard lock(mutex_);
    if (id_ != 0) {
        return true;
    }
    client_ = client;
    SDL_AudioSpec want{};
    want.freq = spec_.rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(spec_.channels);
    want.samples = static_cast<Uint16>(spec_.bufferFrames);
    want.callback = &AudioDevice::Callback;
    want.userdata = this;
    // No changes allowed: should the card take another format (now, or since this one was
    // found), SDL converts, so the timeline and the converter made for it stay right.
    id_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (id_ == 0) {
        *error = SDL_GetError();
        return false;
    }
    SDL_PauseAudioDevice(id_, 0);
    return true;
}

void AudioDevice::Close() {
    std::lock_guard lock(mutex_);
    if (id_ != 0) {
        SDL_CloseAudioDevice(id_);
        id_ = 0;
    }
}

bool AudioDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return id_ != 0;
}

AudioDevice::Lock::Lock(AudioDevice& device) : guard_(device.mutex_), id_(device.id_) {
    if (id_ != 0) {
        SDL_LockAudioDevice(id_);
    }
}

AudioDevice::Lock::~Lock() {
    if (id_ != 0) {
        SDL_UnlockAudioDevice(id_);
    }
}

void AudioDevice::Callback(void* self, Uint8* stream, int bytes) {
    static_cast<AudioDevice*>(self)->client_->FillAudio(stream, bytes);
}

}  // namespace vrel::mmstream
