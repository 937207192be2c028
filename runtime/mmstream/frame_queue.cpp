#include "runtime/mmstream/frame_queue.h"

namespace vrel::mmstream {

FrameQueue::FrameQueue(int capacity) : ring_(capacity, [] { return Slot{NewFrame()}; }) {}

void FrameQueue::Push(AVFrame* source, QueuedFrame times) {
    Slot& slot = ring_.Next();
    av_frame_move_ref(slot.picture.get(), source);
    slot.times = times;
    ring_.Push();
}

void FrameQueue::PopInto(AVFrame* destination) {
    av_frame_move_ref(destination, ring_.Front().picture.get());
    ring_.Pop();
}

void FrameQueue::DropFront() {
    av_frame_unref(ring_.Front().picture.get());
    ring_.Pop();
}

void FrameQueue::Clear() {
    while (!ring_.Empty()) {
        DropFront();
    }
}

}  // namespace vrel::mmstream
