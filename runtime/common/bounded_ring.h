// A queue of fixed capacity over slots made once: an item is queued by filling the next free
// slot in place, so nothing allocates after construction. Not thread-safe: its owner guards
// it.
#pragma once

#include <cstddef>
#include <vector>

namespace vrel {

template <typename Slot>
class BoundedRing {
  public:
    // `make()` gives each of the `capacity` slots.
    template <typename Make>
    BoundedRing(int capacity, Make make) {
        slots_.reserve(static_cast<std::size_t>(capacity));
        for (int i = 0; i < capacity; ++i) {
            slots_.push_back(make());
        }
    }

    int Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    bool Full() const { return size_ == Capacity(); }

    // The oldest item. Must not be empty.
    Slot& Front() { return slots_[static_cast<std::size_t>(head_)]; }
    const Slot& Front() const { return slots_[static_cast<std::size_t>(head_)]; }
    // The slot `index` places after the oldest; index < Size().
    const Slot& At(int index) const {
        return slots_[static_cast<std::size_t>((head_ + index) % Capacity())];
    }
    // The free slot after the newest item, to fill before Push. Must not be full.
    Slot& Next() { return slots_[static_cast<std::size_t>((head_ + size_) % Capacity())]; }
    // The filled Next slot joins the queue.
    void Push() { ++size_; }
    // The Front slot leaves the queue (its owner has emptied it).
    void Pop() {
        head_ = (head_ + 1) % Capacity();
        --size_;
    }

  private:
    int Capacity() const { return static_cast<int>(slots_.size()); }

    std::vector<Slot> slots_;
    int head_ = 0;
    int size_ = 0;
};

}  // namespace vrel
