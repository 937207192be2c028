// Decoded pictures waiting for their time: a fixed ring of AVFrames allocated once, so queuing
// a picture moves a reference and never allocates. Not thread-safe: its owner guards it.
#pragma once

#include "runtime/common/bounded_ring.h"
#include "runtime/mmstream/ffmpeg_ptr.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream {

struct QueuedFrame {
    StreamTicks start;     // when it is due on the stream clock
    StreamTicks duration;  // how long it stays
    StreamTicks End() const { return start + duration; }
};

class FrameQueue {
  public:
    explicit FrameQueue(int capacity);

    int Size() const { return ring_.Size(); }
    bool Empty() const { return ring_.Empty(); }
    bool Full() const { return ring_.Full(); }

    // Takes source's picture (source is left empty). The queue must not be full.
    void Push(AVFrame* source, QueuedFrame times);
    // The oldest picture's times. The queue must not be empty.
    const QueuedFrame& Front() const { return ring_.Front().times; }
    // The times of the picture `index` places after the oldest; index < Size().
    const QueuedFrame& At(int index) const { return ring_.At(index).times; }
    // Moves the oldest picture into destination (which must be empty) and removes it.
    void PopInto(AVFrame* destination);
    void DropFront();
    void Clear();

  private:
    struct Slot {
        FramePtr picture;
        QueuedFrame times{};
    };
    BoundedRing<Slot> ring_;
};

}  // namespace vrel::mmstream
