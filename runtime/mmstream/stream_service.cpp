#include "runtime/mmstream/stream_service.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/mmstream/playback.h"

namespace vrel::mmstream {

StreamService::StreamService() {
    av_log_set_level(std::getenv("VREL_FFMPEG_LOG") != nullptr ? AV_LOG_INFO : AV_LOG_QUIET);
}

StreamService& StreamService::Get() {
    static StreamService service;
    return service;
}

void StreamService::Add(const std::shared_ptr<Playback>& playback) {
    std::lock_guard lock(mutex_);
    live_.emplace_back(playback.get(), playback);
}

void StreamService::Remove(const Playback* playback) {
    std::lock_guard lock(mutex_);
    std::erase_if(live_, [playback](const auto& entry) { return entry.first == playback; });
}

// Newest first: a reopened movie's playback is made after its predecessor's.
std::optional<PlaybackView> StreamService::Latest() {
    std::lock_guard lock(mutex_);
    for (auto entry = live_.rbegin(); entry != live_.rend(); ++entry) {
        if (std::optional<PlaybackView> view = entry->first->View()) {
            return view;
        }
    }
    return std::nullopt;
}

void StreamService::SetChangedHook(void (*hook)()) {
    changedHook_.store(hook);
}

void StreamService::NotifyChanged() {
    if (void (*hook)() = changedHook_.load()) {
        hook();
    }
}

void StreamService::StopAll() {
    std::vector<std::shared_ptr<Playback>> alive;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : live_) {
            if (std::shared_ptr<Playback> playback = entry.second.lock()) {
                alive.push_back(std::move(playback));
            }
        }
    }
    for (const std::shared_ptr<Playback>& playback : alive) {
        playback->Shutdown();
    }
}

void StreamService::ReportNoAudioDevice(const std::string& reason) {
    std::lock_guard lock(mutex_);
    if (!noAudioDeviceReported_) {
        noAudioDeviceReported_ = true;
        std::fprintf(stderr, "vrel: no sound device (%s); movies play without sound\n",
                     reason.c_str());
    }
}

void StreamService::ForgetReports() {
    std::lock_guard lock(mutex_);
    noAudioDeviceReported_ = false;
}

void StopAllStreams() {
    StreamService::Get().StopAll();
}

std::optional<PlaybackView> LatestPlayback() {
    return StreamService::Get().Latest();
}

void SetPlaybackChangedHook(void (*hook)()) {
    StreamService::Get().SetChangedHook(hook);
}

}  // namespace vrel::mmstream
