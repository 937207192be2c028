// The default sound output through SDL audio: 16-bit samples, the rate and channel count the
// card prefers (where the driver says; the sound's own otherwise), a buffer of at most 2048
// frames. The card is only open while sound plays: an open SDL device wakes its thread every
// buffer even when paused, so it is closed while the stream is stopped and opened again, in
// the same format, when it runs. Only SDL's audio subsystem is used, counted with every other
// user of SDL (never SDL_Quit).
#pragma once

#include <SDL.h>

#include <memory>
#include <mutex>
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

    // SDL's audio and the format the card will be opened in, the card left closed; null with
    // SDL's reason in *error when there is no sound.
    static std::unique_ptr<AudioDevice> Create(int wantedRate, int wantedChannels,
                                               std::string* error);
    ~AudioDevice();  // closes the card
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    const Spec& GetSpec() const { return spec_; }
    // Opens the card, if closed, in GetSpec() and has it call `client` (which must outlive
    // the device); false with the reason in *error when it cannot be had.
    bool Open(Client* client, std::string* error);
    // Stops the card and joins SDL's audio thread: no call to the client after it.
    void Close();
    bool IsOpen() const;

    // Holds the audio thread off between callbacks (and the card open or closed) for as long
    // as it lives.
    class Lock {
      public:
        explicit Lock(AudioDevice& device);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        std::lock_guard<std::mutex> guard_;
        SDL_AudioDeviceID id_;
    };

  private:
    AudioDevice() = default;
    static Spec PreferredSpec(int wantedRate, int wantedChannels);
    static void Callback(void* self, Uint8* stream, int bytes);

    bool subsystemStarted_ = false;
    Spec spec_;
    // Guards id_ and the card's opening and closing: SDL's lock of a device being closed
    // is no lock at all. The audio callback never takes it.
    mutable std::mutex mutex_;
    SDL_AudioDeviceID id_ = 0;
    Client* client_ = nullptr;
};

}  // namespace vrel::mmstream
