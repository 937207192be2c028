#include "runtime/port/service.h"

#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "runtime/common/service_setting.h"
#include "runtime/port/directory.h"
#include "runtime/port/server.h"

namespace vrel::port {
namespace {

// A copy of the socket's path for RemoveSocketNow, which may run while another thread holds
// the service's mutex forever. Written before it is published and only while unpublished.
char g_socketPath[sizeof(sockaddr_un::sun_path)];
std::atomic<bool> g_socketPublished{false};

void PublishSocketPath(const std::string& path) {
    if (path.size() < sizeof g_socketPath) {
        path.copy(g_socketPath, path.size());
        g_socketPath[path.size()] = '\0';
        g_socketPublished.store(true, std::memory_order_release);
    }
}

// The port's state: at most one server per process.
class PortService {
  public:
    static PortService& Get() {
        static PortService service;
        return service;
    }

    void EnsureListening() {
        if (tried_.exchange(true)) {
            return;  // cheap: called for every window made
        }
        if (!ServiceWanted("VREL_PORT") || !Path().empty()) {
            return;  // not wanted, or already started by StartListeningIn
        }
        const PortLocation location = DefaultPortLocation();
        if (std::string error =
                StartIn(location.directory, location.makeParents, PortServer::kConnectionLimit);
            !error.empty()) {
            std::fprintf(stderr, "vrelintro: no message port (%s)\n", error.c_str());
        }
    }

    std::string StartIn(const std::string& directory, bool makeParents,
                        std::chrono::milliseconds connectionLimit) {
        std::lock_guard lock(mutex_);
        if (server_) {
            return "the port is already listening at " + server_->SocketPath();
        }
        std::string error;
        if (!CheckPortDirectory(directory, true, &error, makeParents)) {
            return error;
        }
        CleanAndListPorts(directory, getpid());
        server_ = PortServer::Start(SocketPathFor(directory, getpid()), &error, connectionLimit);
        if (!server_) {
            return error;
        }
        PublishSocketPath(server_->SocketPath());
        if (!atExitRegistered_) {
            atExitRegistered_ = std::atexit(&StopListening) == 0;  // a last chance at exit
        }
        return "";
    }

    void Stop() {
        std::unique_ptr<PortServer> server;
        {
            std::lock_guard lock(mutex_);
            server = std::move(server_);
        }
        if (server) {
            server->Stop();
            g_socketPublished.store(false, std::memory_order_release);  // unlinked by Stop
        }
    }

    std::string Path() {
        std::lock_guard lock(mutex_);
        return server_ ? server_->SocketPath() : std::string();
    }

  private:
    PortService() = default;

    std::atomic<bool> tried_{false};
    std::mutex mutex_;
    std::unique_ptr<PortServer> server_;
    bool atExitRegistered_ = false;
};

}  // namespace

void EnsureListening() {
    PortService::Get().EnsureListening();
}

void StopListening() {
    PortService::Get().Stop();
}

std::string StartListeningIn(const std::string& directory,
                             std::chrono::milliseconds connectionLimit) {
    return PortService::Get().StartIn(directory, false, connectionLimit);
}

std::string ListeningPath() {
    return PortService::Get().Path();
}

void RemoveSocketNow() {
    if (g_socketPublished.exchange(false, std::memory_order_acq_rel)) {
        unlink(g_socketPath);
    }
}

}  // namespace vrel::port
