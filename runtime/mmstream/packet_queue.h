// Demuxed packets waiting for their decoder: a fixed ring of AVPackets allocated once.
// Used by the decode thread only.
#pragma once

#include "runtime/common/bounded_ring.h"
#include "runtime/mmstream/ffmpeg_ptr.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

class PacketQueue {
  public:
    explicit PacketQueue(int capacity);

    bool Empty() const { return ring_.Empty(); }
    bool Full() const { return ring_.Full(); }
    int64_t Bytes() const { return bytes_; }
    StreamTicks Duration() const { return duration_; }

    // Takes source's data (source is left empty); `duration` counts toward Duration().
    // The queue must not be full.
    void Push(AVPacket* source, StreamTicks duration);
    // Moves the oldest packet into destination (which must be empty). Must not be empty.
    void PopInto(AVPacket* destination);
    void Clear();

  private:
    struct Slot {
        PacketPtr packet;
        StreamTicks duration{0};
    };
    BoundedRing<Slot> ring_;
    int64_t bytes_ = 0;
    StreamTicks duration_{0};
};

}  // namespace vrel::mmstream
