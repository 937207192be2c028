// One connection to the session bus and the thread that serves it: owns the bus name, serves
// the media-player object and announces the stream's changes when woken.
#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "runtime/bus/bus_handles.h"

namespace vrel::bus {

class MprisObject;

class Bridge {
  public:
    // Starts the thread, which connects and asks for `busName`; `wake` is an eventfd that
    // the bridge reads but does not own (it outlives every bridge).
    Bridge(std::string program, std::string busName, int wake);
    // Asks the thread to stop and joins it.
    ~Bridge();
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    // Waits until the thread owns the name ("") or gave up (the reason).
    std::string WaitUntilReady();
    const std::string& BusName() const { return busName_; }
    // True while the thread serves the bus.
    bool Serving() const { return serving_.load(); }

  private:
    void Run();
    std::string Connect(BusPtr* bus);
    void Serve(sd_bus* bus, MprisObject* object);
    // Sleeps until the bus or the eventfd has something, or until `announceAt` (CLOCK_MONOTONIC
    // µs); a negative errno when it cannot.
    int WaitForWork(sd_bus* bus, uint64_t announceAt);
    bool DrainWakeups();

    std::string program_;
    std::string busName_;
    int wake_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> serving_{false};
    std::promise<std::string> ready_;
    std::shared_future<std::string> readyResult_;
    std::thread thread_;
};

}  // namespace vrel::bus
