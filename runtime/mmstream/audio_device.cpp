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
    SDL_AudioSpec have{};
    have.freq = wantedRate;
    have.channels = static_cast<Uint8>(std::clamp(wantedChannels, 1, 2));
    have.samples = BufferFrames(wantedRate);
    SDL_AudioDeviceID id = device->OpenSdl(
        &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE, error);
    if (id == 0) {
        return nullptr;
    }
    SDL_CloseAudioDevice(id);  // opened again when the sound runs
    if (!PlayableSound(have.freq, have.channels)) {
        *error = "the device's format (" + std::to_string(have.freq) + " Hz, " +
                 std::to_string(have.channels) + " channels) is out of bounds";
        return nullptr;
    }
    device->spec_ = Spec{have.freq, have.channels, have.samples};
    return device;
}

// Opens the default device, paused, for `spec` (rate, channels and buffer size); `spec` is
// then what the card takes.
SDL_AudioDeviceID AudioDevice::OpenSdl(SDL_AudioSpec* spec, int allowedChanges,
                                       std::string* error) {
    SDL_AudioSpec want = *spec;
    want.format = AUDIO_S16SYS;
    want.callback = &AudioDevice::Callback;
    want.userdata = this;
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, spec, allowedChanges);
    if (id == 0) {
        *error = SDL_GetError();
    }
    return id;
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
    SDL_AudioSpec have{};
    have.freq = spec_.rate;
    have.channels = static_cast<Uint8>(spec_.channels);
    have.samples = static_cast<Uint16>(spec_.bufferFrames);
    // No changes allowed: SDL converts if the card now prefers another format, so the
    // timeline and the converter, made for the first, stay right.
    id_ = OpenSdl(&have, 0, error);
    if (id_ != 0) {
        SDL_PauseAudioDevice(id_, 0);
    }
    return id_ != 0;
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
