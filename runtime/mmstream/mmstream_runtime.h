// The multimedia stream on FFmpeg: the entry points the COM registry, process exit and the
// runtime's other services use.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/mmstream.h"

namespace vrel::mmstream {

// A new multimedia stream (CLSID_AMMultiMediaStream), asked for by iid.
HRESULT CreateAMMultiMediaStream(REFIID iid, void** out);

// Process exit: stops every stream still alive, silences audio and joins all threads.
void StopAllStreams();

// A playback as seen from outside the program (the media-player bus): a copy.
struct PlaybackView {
    bool running = false;
    bool ended = false;  // the picture's end was reached since the last seek
    // Running: the stream's clock. Stopped: the time of the picture on screen, so a Stop that
    // showed the first frame reads 0 although the clock ran for that frame.
    std::chrono::microseconds position{0};
    std::optional<std::chrono::microseconds> duration;
    std::string file;     // the name it was opened with
    uint64_t serial = 0;  // one per opened playback, rising
};

// Thread-safe: the playback opened last of those alive and open; nullopt when none is.
std::optional<PlaybackView> LatestPlayback();

// Called whenever a playback opens, starts or stops running, seeks, reaches the end of its
// picture or closes: from any of the stream's threads, possibly under its locks, so it must
// return at once and take no lock. The process sets it once; null: nothing is called.
void SetPlaybackChangedHook(void (*hook)());

}  // namespace vrel::mmstream
