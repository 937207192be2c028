// Owning handles for sd-bus objects and plain file descriptors: each closes what it holds
// when it goes away, so no path through the bridge leaks a connection, a slot or an fd.
#pragma once

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace vrel::bus {

struct BusCloser {
    // Flushes what is queued (a last PropertiesChanged, the name's release) before closing.
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusCloser>;

struct SlotCloser {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotCloser>;

struct MessageCloser {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageCloser>;

// An sd_bus_error freed at the end of its scope.
class BusError {
  public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;

    sd_bus_error* get() { return &error_; }
    const char* Name() const { return error_.name != nullptr ? error_.name : ""; }
    const char* Message() const { return error_.message != nullptr ? error_.message : ""; }

  private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        UniqueFd(std::move(other)).Swap(*this);
        return *this;
    }

    int get() const { return fd_; }
    void Swap(UniqueFd& other) noexcept { std::swap(fd_, other.fd_); }

  private:
    int fd_;
};

}  // namespace vrel::bus
