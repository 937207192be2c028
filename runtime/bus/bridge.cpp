#include "runtime/bus/bridge.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "runtime/bus/mpris_object.h"

namespace vrel::bus {
namespace {

std::string Reason(int negativeErrno) {
    return std::strerror(-negativeErrno);
}

// A command takes the stream through several states within milliseconds (Stop: held, back to
// the start, one picture shown, held): what changed is announced once it has settled this
// long, not state by state. Only a change arms it: idle, nothing wakes the thread.
constexpr uint64_t kSettleUs = 40000;

uint64_t MonotonicNowUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
}

// poll()'s timeout for a deadline on CLOCK_MONOTONIC in µs (UINT64_MAX for none), as sd-bus
// gives its own.
int TimeoutUntil(uint64_t deadline) {
    if (deadline == UINT64_MAX) {
        return -1;
    }
    const uint64_t now = MonotonicNowUs();
    if (deadline <= now) {
        return 0;
    }
    const uint64_t ms = (deadline - now + 999) / 1000;
    return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

}  // namespace

Bridge::Bridge(std::string program, std::string busName, int wake)
    : program_(std::move(program)),
      busName_(std::move(busName)),
      wake_(wake),
      readyResult_(ready_.get_future().share()) {
    thread_ = std::thread([this] { Run(); });
}

Bridge::~Bridge() {
    stopping_.store(true);
    const uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) {
        // The counter is full: the thread has a wake-up waiting anyway.
    }
    thread_.join();
}

std::string Bridge::WaitUntilReady() {
    return readyResult_.get();
}

void Bridge::Run() {
    pthread_setname_np(pthread_self(), "vrel-bus");  // for top and the idle benchmark
    BusPtr bus;
    MprisObject object(program_, port::ExecutableMenuCommands());
    std::string error = Connect(&bus);
    if (error.empty()) {
        if (int r = object.Attach(bus.get()); r < 0) {
            error = "cannot serve " + std::string(kObjectPath) + ": " + Reason(r);
        }
    }
    if (error.empty()) {
        if (int r = sd_bus_request_name(bus.get(), busName_.c_str(), 0); r < 0) {
            error = "cannot own " + busName_ + ": " + Reason(r);
        }
    }
    if (!error.empty()) {
        std::fprintf(stderr, "%s: no media-player bus (%s)\n", program_.c_str(), error.c_str());
        ready_.set_value(error);
        return;
    }
    serving_.store(true);
    ready_.set_value("");
    Serve(bus.get(), &object);
    serving_.store(false);
}  // closing the connection gives up the name: the bus daemon releases it at once

std::string Bridge::Connect(BusPtr* bus) {
    sd_bus* connection = nullptr;
    int r = sd_bus_open_user(&connection);
    bus->reset(connection);
    if (r < 0) {
        return "no session bus: " + Reason(r);
    }
    return "";
}

// Serves calls until asked to stop or the bus goes away; woken by a change, it announces
// what changed once things settle, and at once when stopping.
void Bridge::Serve(sd_bus* bus, MprisObject* object) {
    uint64_t announceAt = UINT64_MAX;
    for (;;) {
        int r = 0;
        do {
            r = sd_bus_process(bus, nullptr);
        } while (r > 0);
        if (DrainWakeups() && announceAt == UINT64_MAX) {
            announceAt = MonotonicNowUs() + kSettleUs;
        }
        const bool stop = stopping_.load();  // after the drain: a stop's wake-up is not lost
        if (r >= 0 && (stop || MonotonicNowUs() >= announceAt)) {
            r = object->EmitChanges(bus);
            announceAt = UINT64_MAX;
        }
        if (r >= 0 && !stop) {
            r = WaitForWork(bus, announceAt);
        }
        if (r < 0) {
            std::fprintf(stderr, "%s: media-player bus lost (%s)\n", program_.c_str(),
                         Reason(r).c_str());
            return;
        }
        if (stop) {
            return;
        }
    }
}

int Bridge::WaitForWork(sd_bus* bus, uint64_t announceAt) {
    const int events = sd_bus_get_events(bus);
    if (events < 0) {
        return events;
    }
    uint64_t deadline = UINT64_MAX;
    sd_bus_get_timeout(bus, &deadline);
    deadline = std::min(deadline, announceAt);
    pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(events), 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, TimeoutUntil(deadline)) < 0 && errno != EINTR) {
        return -errno;
    }
    return 0;
}

bool Bridge::DrainWakeups() {
    uint64_t count = 0;
    return read(wake_, &count, sizeof count) == sizeof count;
}

}  // namespace vrel::bus
