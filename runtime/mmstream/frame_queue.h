// Decoded pictures waiting for their time: a fixed ring of AVFrames allocated once, so queuing
// a picture moves a reference and never allocates. Not thread-safe: its owner guards it.
#pragma once

#include <vector>

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

    int Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    bool Full() const { return size_ == static_cast<int>(slots_.size()); }

    // Takes source's picture (source is left empty). The queue must not be full.
    void Push(AVFrame* source, QueuedFrame times);
    // The oldest picture's times. The queue must not be empty.
    const QueuedFrame& Front() const { return times_[head_]; }
    // Moves the oldest picture into destination (which must be empty) and removes it.
    void PopInto(AVFrame* destination);
    void DropFront();
    void Clear();

  private:
    std::vector<FramePtr> slots_;
    std::vector<QueuedFrame> times_;
    int head_ = 0;
    int size_ = 0;
};

}  // namespace vrel::mmstream
