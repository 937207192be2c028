#include "runtime/mmstream/packet_queue.h"

namespace vrel::mmstream {

PacketQueue::PacketQueue(int capacity) : ring_(capacity, [] { return Slot{NewPacket()}; }) {}

void PacketQueue::Push(AVPacket* source, StreamTicks duration) {
    Slot& slot = ring_.Next();
    bytes_ += source->size;
    duration_ += duration;
    slot.duration = duration;
    av_packet_move_ref(slot.packet.get(), source);
    ring_.Push();
}

void PacketQueue::PopInto(AVPacket* destination) {
    Slot& oldest = ring_.Front();
    bytes_ -= oldest.packet->size;
    duration_ -= oldest.duration;
    av_packet_move_ref(destination, oldest.packet.get());
    ring_.Pop();
}

void PacketQueue::Clear() {
    while (!ring_.Empty()) {
        av_packet_unref(ring_.Front().packet.get());
        ring_.Pop();
    }
    bytes_ = 0;
    duration_ = StreamTicks{0};
}

}  // namespace vrel::mmstream
