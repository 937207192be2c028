// The multimedia stream service's own state, in one place: the playbacks alive (so process
// exit can stop them all and the bus can show the latest), who hears of their changes, and
// what has already been said on standard error. FFmpeg's own
// messages stay quiet (the stream says what matters in one line) unless VREL_FFMPEG_LOG is
// set in the environment.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/mmstream/mmstream_runtime.h"

namespace vrel::mmstream {

class Playback;

class StreamService {
  public:
    static StreamService& Get();

    void Add(const std::shared_ptr<Playback>& playback);
    void Remove(const Playback* playback);
    std::optional<PlaybackView> Latest();
    void SetChangedHook(void (*hook)());
    // Tells the hook, if any, that a playback changed. Lock-free.
    void NotifyChanged();
    // Shuts every live playback down and waits for their threads.
    void StopAll();
    // Says once per process that sound cannot be played, and why.
    void ReportNoAudioDevice(const std::string& reason);
    // For tests: what was said once may be said again.
    void ForgetReports();

  private:
    StreamService();

    std::mutex mutex_;
    // A playback is in the list from its making until its destruction begins (Remove runs
    // first, under mutex_), so the raw pointer is valid while mutex_ is held.
    std::vector<std::pair<Playback*, std::weak_ptr<Playback>>> live_;
    std::atomic<void (*)()> changedHook_{nullptr};
    bool noAudioDeviceReported_ = false;
};

}  // namespace vrel::mmstream
