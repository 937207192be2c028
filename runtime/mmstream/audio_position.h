// What the sound card is playing, published by the audio callback without ever blocking it
// and read by the stream clock: a sequence lock over two atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

class AudioPosition {
  public:
    struct Reading {
        StreamTicks heard;  // the stream position reaching the listener...
        MonoTime at;        // ...at this moment
        uint64_t sequence;  // changes with every publication; 0 = nothing published yet
    };

    // Audio thread only. Every access is sequentially consistent (no separate fences): a
    // reader that sees the same even sequence before and after read the fields between two
    // publications, and ThreadSanitizer can follow it. A few publications a second cost
    // nothing.
    void Publish(StreamTicks heard, MonoTime at) {
        uint64_t sequence = sequence_.load();
        sequence_.store(sequence + 1);
        heard_.store(heard.count());
        at_.store(at.time_since_epoch().count());
        sequence_.store(sequence + 2);
    }

    // The latest publication, or nothing when none exists or the writer kept interrupting.
    std::optional<Reading> Read() const {
        for (int attempt = 0; attempt < 8; ++attempt) {
            uint64_t before = sequence_.load();
            int64_t heard = heard_.load();
            int64_t at = at_.load();
            uint64_t after = sequence_.load();
            if (before == after && (before & 1) == 0) {
                if (before == 0) {
                    return std::nullopt;
                }
                return Reading{StreamTicks(heard), MonoTime(MonoClock::duration(at)), before};
            }
        }
        return std::nullopt;
    }

  private:
    std::atomic<uint64_t> sequence_{0};
    std::atomic<int64_t> heard_{0};
    std::atomic<int64_t> at_{0};
};

}  // namespace vrel::mmstream
