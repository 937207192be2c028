#include "runtime/bus/service.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>

#include "runtime/bus/bridge.h"
#include "runtime/bus/mpris_rules.h"
#include "runtime/common/service_setting.h"

namespace vrel::bus {
namespace {

// The bridge's state: at most one bridge per process, and the eventfd that wakes it. The
// eventfd lives as long as the service, so the stream's hook never writes to a closed fd.
class BusService {
  public:
    static BusService& Get() {
        static BusService service;
        return service;
    }

    void Ensure() {
        if (tried_.exchange(true) || !ServiceWanted("VREL_MPRIS")) {
            return;  // cheap: called for every window made
        }
        std::lock_guard lock(mutex_);
        if (!bridge_) {
            bridge_ = MakeBridge();
        }
    }

    std::string StartNow() {
        std::lock_guard lock(mutex_);
        if (!bridge_) {
            bridge_ = MakeBridge();
        }
        std::string error = bridge_->WaitUntilReady();
        if (!error.empty()) {
            bridge_.reset();
        }
        return error;
    }

    void Stop() {
        std::unique_ptr<Bridge> bridge;
        {
            std::lock_guard lock(mutex_);
            bridge = std::move(bridge_);
        }
        bridge.reset();  // joins its thread outside the lock
    }

    std::string BusName() {
        std::lock_guard lock(mutex_);
        return bridge_ && bridge_->Serving() ? bridge_->BusName() : std::string();
    }

    void Wake() {
        const uint64_t one = 1;
        if (write(wake_.get(), &one, sizeof one) < 0) {
            // Full (a wake-up is waiting anyway) or gone: nothing for the stream to do.
        }
    }

  private:
    BusService() : wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    std::unique_ptr<Bridge> MakeBridge() {
        const std::string program = program_invocation_short_name;
        return std::make_unique<Bridge>(program, BusNameFor(program, getpid()), wake_.get());
    }

    UniqueFd wake_;
    std::atomic<bool> tried_{false};
    std::mutex mutex_;
    std::unique_ptr<Bridge> bridge_;
};

}  // namespace

void EnsureBridge() {
    BusService::Get().Ensure();
}

std::string StartBridgeNow() {
    return BusService::Get().StartNow();
}

void StopBridge() {
    BusService::Get().Stop();
}

std::string BridgeBusName() {
    return BusService::Get().BusName();
}

void NotePlaybackChanged() {
    BusService::Get().Wake();
}

}  // namespace vrel::bus
