// One opened movie playing: the decode thread, the picture queue, the audio renderer and the
// stream clock, with the run state, seeking and the picture hand-over that the stream's COM
// objects are made of. Thread-safe; Shutdown (or destruction) stops and joins everything.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "runtime/mmstream/audio_renderer.h"
#include "runtime/mmstream/frame_queue.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/mmstream/movie_source.h"
#include "runtime/mmstream/stream_clock.h"

namespace vrel::mmstream {

class Playback final : private DecodeTarget {
  public:
    // Made through Create so process exit can find every live playback.
    static std::shared_ptr<Playback> Create();
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Opens the file (UTF-8 name) for the wanted streams and starts decoding ahead, stopped
    // at position 0. On failure the cause is written to standard error in one line.
    // `bytes`, when given, stands in for the file's contents.
    HRESULT Open(const std::string& name, bool wantVideo, bool wantAudio,
                 std::unique_ptr<MovieBytes> bytes = nullptr);
    bool IsOpen() const;

    std::optional<VideoFormat> Video() const;
    std::optional<StreamTicks> Duration() const;
    bool HasSound() const;
    // True while the sound card is open: the stream runs and has sound left to play.
    bool SoundDeviceOpen();

    // Running, the clock goes and sound plays; stopped, both hold where they are.
    void SetRunning(bool run);
    bool Running() const;
    StreamTicks Time();
    bool ClockFollowsSound();
    void Seek(StreamTicks position);

    // How long past the next picture's due time NextFrame waits for it (the decoder behind,
    // the disk slow) before it answers Stalled: the caller shows its picture again and gets
    // back to its messages.
    static constexpr std::chrono::milliseconds kStallLimit{1000};

    enum class Next { Frame, EndOfStream, NotRunning, Stalled };
    // Waits until the next picture is due and moves it into `into` (empty on entry). Pictures
    // whose time has passed while a later one waits are skipped. Never waits past the next
    // picture's time (with no picture queued, the end of the last one given, or the last
    // Stalled answer) plus kStallLimit, and returns at once when not running.
    Next NextFrame(AVFrame* into, QueuedFrame* times);

    // What the bus shows of it; nullopt unless open and not closing.
    std::optional<PlaybackView> View();

    // Stops sound and picture and joins every thread; idempotent, from any thread.
    void Shutdown();

  private:
    Playback();

    // DecodeTarget, on the decode thread.
    bool VideoRoom() override;
    void PushVideo(AVFrame* frame, QueuedFrame times) override;
    void VideoEnded(StreamTicks end) override;
    void AudioEnded() override;

    void AttachSound(const std::string& name);
    void DecodeLoop();
    void NoteSoundPlayedOut();
    bool WantsSound();
    void OpenSoundIfWanted();
    void CloseSoundIfIdle();
    void WakeDecoder();
    void WaitForWork(uint64_t seenGeneration);
    MonoTime NextDecodeDeadline();
    void WaitForPreroll(std::unique_lock<std::mutex>& lock);
    bool Prerolled() const;
    std::optional<Next> TakeDueFrame(AVFrame* into, QueuedFrame* times, MonoTime now,
                                     MonoTime* wakeAt);

    // Lock order: sourceMutex_, then soundMutex_, then mutex_, then the clock's own.
    std::mutex sourceMutex_;  // the decode side: the decode thread's, or a seeker's
    std::unique_ptr<MovieSource> source_;
    std::mutex soundMutex_;  // the card's opening and closing, and audio_'s end
    std::unique_ptr<AudioRenderer> audio_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;  // a picture came, the state changed
    FrameQueue frames_{4};
    bool refilling_ = true;  // the decode thread fills the queue up (see VideoRoom)
    std::unique_ptr<StreamClock> clock_;
    std::optional<VideoFormat> video_;
    std::optional<StreamTicks> duration_;
    bool opened_ = false;
    bool hasSound_ = false;
    bool running_ = false;
    bool closing_ = false;
    bool videoEnded_ = false;
    bool audioEnded_ = false;
    StreamTicks soundEnd_{0};      // where the data's sound ends, once audioEnded_
    bool soundPlayedOut_ = false;  // ...and it has all been heard
    bool starting_ = false;        // SetRunning(true) is on its way: the card stays open
    MonoTime stoppedAt_{};
    StreamTicks videoEnd_{0};
    StreamTicks givenUntil_{0};  // the end of the last picture NextFrame gave
    StreamTicks shownStart_{0};  // the start of that picture, or where a seek went
    bool endReached_ = false;    // NextFrame answered EndOfStream since the last seek
    std::string name_;
    uint64_t serial_ = 0;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<uint64_t> wakeGeneration_{0};
    std::atomic<bool> stopDecoding_{false};
    std::atomic<int> controlWaiting_{0};  // a seeker wants the source lock: the loop yields
    std::thread decoder_;

    std::mutex shutdownMutex_;
};

}  // namespace vrel::mmstream
