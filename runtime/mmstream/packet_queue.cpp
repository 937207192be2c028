#include "runtime/mmstream/packet_queue.h"

#include <new>

namespace vrel::mmstream {

PacketQueue::PacketQueue(int capacity) : durations_(capacity) {
    slots_.reserve(capacity);
    for (int i = 0; i < capacity; ++i) {
        slots_.emplace_back(av_packet_alloc());
        if (!slots_.back()) {
            throw std::bad_alloc();
        }
    }
}

void PacketQueue::Push(AVPacket* source, StreamTicks duration) {
    int tail = (head_ + size_) % static_cast<int>(slots_.size());
    bytes_ += source->size;
    duration_ += duration;
    durations_[tail] = duration;
    av_packet_move_ref(slots_[tail].get(), source);
    ++size_;
}

void PacketQueue::PopInto(AVPacket* destination) {
    AVPacket* oldest = slots_[head_].get();
    bytes_ -= oldest->size;
    duration_ -= durations_[head_];
    av_packet_move_ref(destination, oldest);
    head_ = (head_ + 1) % static_cast<int>(slots_.size());
    --size_;
}

void PacketQueue::Clear() {
    while (size_ > 0) {
        av_packet_unref(slots_[head_].get());
        head_ = (head_ + 1) % static_cast<int>(slots_.size());
        --size_;
    }
    head_ = 0;
    bytes_ = 0;
    duration_ = StreamTicks{0};
}

}  // namespace vrel::mmstream
