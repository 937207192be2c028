#include "runtime/mmstream/frame_queue.h"

#include <new>

namespace vrel::mmstream {

FrameQueue::FrameQueue(int capacity) : times_(capacity) {
    slots_.reserve(capacity);
    for (int i = 0; i < capacity; ++i) {
        slots_.emplace_back(av_frame_alloc());
        if (!slots_.back()) {
            throw std::bad_alloc();
        }
    }
}

void FrameQueue::Push(AVFrame* source, QueuedFrame times) {
    int tail = (head_ + size_) % static_cast<int>(slots_.size());
    av_frame_move_ref(slots_[tail].get(), source);
    times_[tail] = times;
    ++size_;
}

void FrameQueue::PopInto(AVFrame* destination) {
    av_frame_move_ref(destination, slots_[head_].get());
    head_ = (head_ + 1) % static_cast<int>(slots_.size());
    --size_;
}

void FrameQueue::DropFront() {
    av_frame_unref(slots_[head_].get());
    head_ = (head_ + 1) % static_cast<int>(slots_.size());
    --size_;
}

void FrameQueue::Clear() {
    while (size_ > 0) {
        DropFront();
    }
    head_ = 0;
}

}  // namespace vrel::mmstream
