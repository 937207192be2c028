// The default sound output through SDL audio: 16-bit samples, the rate and channel count the
// card prefers, a buffer of at most 2048 frames. Only SDL's audio subsystem is used, counted
// with every other user of SDL (never SDL_Quit).
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

namespace vrel::mmstream {

class AudioDevice {
  public:
    struct Spec {
        int rate = 0;
        int channels = 0;
        int bufferFrames = 0;  // one buffer the card holds: the latency of a written sample
        int FrameBytes() const { return channels * 2; }
    };
    // Runs on SDL's audio thread and must never block.
    class Client {
      public:
        virtual void FillAudio(uint8_t* out, int bytes) = 0;

      protected:
        ~Client() = default;
    };

    // Opens the default device, paused; null with SDL's reason in *error when there is none.
    static std::unique_ptr<AudioDevice> Open(int wantedRate, int wantedChannels,
                                             std::string* error);
    ~AudioDevice();  // stops the card and joins SDL's audio thread
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    const Spec& GetSpec() const { return spec_; }
    // Starts calling `client` (which must outlive the device).
    void Start(Client* client);

    // Holds the audio thread off between callbacks for as long as it lives.
    class Lock {
      public:
        explicit Lock(const AudioDevice& device) : id_(device.id_) { SDL_LockAudioDevice(id_); }
        ~Lock() { SDL_UnlockAudioDevice(id_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        SDL_AudioDeviceID id_;
    };

  private:
    AudioDevice() = default;
    static void Callback(void* self, Uint8* stream, int bytes);

    bool subsystemStarted_ = false;
    SDL_AudioDeviceID id_ = 0;
    Spec spec_;
    Client* client_ = nullptr;
};

}  // namespace vrel::mmstream
