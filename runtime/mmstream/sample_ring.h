// A lock-free single-producer single-consumer ring of audio sample frames: the decode thread
// writes, the audio callback reads, and neither ever waits for the other.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace vrel::mmstream {

class SampleRing {
  public:
    SampleRing(int frameBytes, int capacityFrames);

    // Producer side.
    int FreeFrames() const;
    // Copies up to `frames` frames in; returns how many fitted.
    int Write(const uint8_t* data, int frames);

    // Consumer side.
    int AvailableFrames() const;
    // Frames read so far: with a known start, tells where in the stream the next one lies.
    uint64_t ReadCount() const { return read_.load(std::memory_order_relaxed); }
    // Copies `frames` (at most AvailableFrames()) out.
    void Read(uint8_t* out, int frames);
    void Skip(int frames);

    // Empties the ring; neither side may be running meanwhile.
    void Clear();

  private:
    void CopyOut(uint8_t* out, uint64_t from, int frames) const;

    std::vector<uint8_t> data_;
    int frameBytes_;
    int capacity_;
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> read_{0};
};

}  // namespace vrel::mmstream
