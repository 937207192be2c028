#include "runtime/mmstream/sample_ring.h"

#include <algorithm>
#include <cstring>

namespace vrel::mmstream {

SampleRing::SampleRing(int frameBytes, int capacityFrames)
    : data_(static_cast<size_t>(frameBytes) * capacityFrames),
      frameBytes_(frameBytes),
      capacity_(capacityFrames) {}

int SampleRing::FreeFrames() const {
    uint64_t used =
        written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return capacity_ - static_cast<int>(used);
}

int SampleRing::Write(const uint8_t* data, int frames) {
    uint64_t written = written_.load(std::memory_order_relaxed);
    int count = std::min(frames, FreeFrames());
    int first = static_cast<int>(written % capacity_);
    int head = std::min(count, capacity_ - first);
    std::memcpy(&data_[static_cast<size_t>(first) * frameBytes_], data,
                static_cast<size_t>(head) * frameBytes_);
    std::memcpy(data_.data(), data + static_cast<size_t>(head) * frameBytes_,
                static_cast<size_t>(count - head) * frameBytes_);
    written_.store(written + count, std::memory_order_release);
    return count;
}

int SampleRing::AvailableFrames() const {
    return static_cast<int>(written_.load(std::memory_order_acquire) -
                            read_.load(std::memory_order_relaxed));
}

void SampleRing::CopyOut(uint8_t* out, uint64_t from, int frames) const {
    int first = static_cast<int>(from % capacity_);
    int head = std::min(frames, capacity_ - first);
    std::memcpy(out, &data_[static_cast<size_t>(first) * frameBytes_],
                static_cast<size_t>(head) * frameBytes_);
    std::memcpy(out + static_cast<size_t>(head) * frameBytes_, data_.data(),
                static_cast<size_t>(frames - head) * frameBytes_);
}

void SampleRing::Read(uint8_t* out, int frames) {
    uint64_t read = read_.load(std::memory_order_relaxed);
    CopyOut(out, read, frames);
    read_.store(read + frames, std::memory_order_release);
}

void SampleRing::Skip(int frames) {
    read_.store(read_.load(std::memory_order_relaxed) + frames, std::memory_order_release);
}

void SampleRing::Clear() {
    written_.store(0, std::memory_order_relaxed);
    read_.store(0, std::memory_order_relaxed);
}

}  // namespace vrel::mmstream
