// The multimedia stream service's own state, in one place: the playbacks alive (so process
// exit can stop them all) and what has already been said on standard error. FFmpeg's own
// messages stay quiet (the stream says what matters in one line) unless VREL_FFMPEG_LOG is
// set in the environment.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vrel::mmstream {

class Playback;

class StreamService {
  public:
    static StreamService& Get();

    void Add(const std::shared_ptr<Playback>& playback);
    void Remove(const Playback* playback);
    // Shuts every live playback down and waits for their threads.
    void StopAll();
    // Says once per process that sound cannot be played, and why.
    void ReportNoAudioDevice(const std::string& reason);
    // For tests: what was said once may be said again.
    void ForgetReports();

  private:
    StreamService();

    std::mutex mutex_;
    std::vector<std::pair<const Playback*, std::weak_ptr<Playback>>> live_;
    bool noAudioDeviceReported_ = false;
};

}  // namespace vrel::mmstream
