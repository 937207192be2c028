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

std::unique_ptr<AudioDevice> AudioDevice::Open(int wantedRate, int wantedChannels,
                                               std::string* error) {
    static const int quiet = snd_lib_error_set_handler(&QuietAlsa);
    (void)quiet;
    std::unique_ptr<AudioDevice> device(new AudioDevice());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *error = SDL_GetError();
        return nullptr;
    }
    device->subsystemStarted_ = true;
    SDL_AudioSpec want{};
    want.freq = wantedRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(std::clamp(wantedChannels, 1, 2));
    want.samples = BufferFrames(wantedRate);
    want.callback = &AudioDevice::Callback;
    want.userdata = device.get();
    SDL_AudioSpec have{};
    device->id_ =
        SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device->id_ == 0) {
        *error = SDL_GetError();
        return nullptr;
    }
    if (!PlayableSound(have.freq, have.channels)) {
        *error = "the device's format (" + std::to_string(have.freq) + " Hz, " +
                 std::to_string(have.channels) + " channels) is out of bounds";
        return nullptr;
    }
    device->spec_ = Spec{have.freq, have.channels, have.samples};
    return device;
}

AudioDevice::~AudioDevice() {
    if (id_ != 0) {
        SDL_CloseAudioDevice(id_);
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void AudioDevice::Start(Client* client) {
    {
        Lock lock(*this);
        client_ = client;
    }
    SDL_PauseAudioDevice(id_, 0);
}

void AudioDevice::Callback(void* self, Uint8* stream, int bytes) {
    auto* device = static_cast<AudioDevice*>(self);
    if (device->client_ != nullptr) {
        device->client_->FillAudio(stream, bytes);
    } else {
        SDL_memset(stream, 0, bytes);
    }
}

}  // namespace vrel::mmstream
