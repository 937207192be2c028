// The message port's server: a listener thread that accepts connections of the same user
// and one thread per connection (at most kMaxConnections), so a send waiting for its answer
// never holds up another client's request.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "runtime/port/lines.h"
#include "runtime/port/protocol.h"
#include "runtime/port/socket.h"

namespace vrel::port {

class PortServer {
  public:
    static constexpr size_t kMaxConnections = 16;
    // A connection is closed this long after it was accepted, however much it sends: a
    // client trickling bytes cannot hold one of the few places for ever.
    static constexpr std::chrono::milliseconds kConnectionLimit{60000};
    static constexpr int kWriteTimeoutSeconds = 2;  // a client that never reads is dropped

    // Listens at `socketPath` (its directory already checked); null with the reason when it
    // cannot. `connectionLimit` is kConnectionLimit but for tests.
    static std::unique_ptr<PortServer> Start(
        const std::string& socketPath, std::string* error,
        std::chrono::milliseconds connectionLimit = kConnectionLimit);

    PortServer(const PortServer&) = delete;
    PortServer& operator=(const PortServer&) = delete;
    ~PortServer() { Stop(); }

    // Ends every connection (a waiting send answers "stopped"), joins every thread and
    // removes the socket. Once only; later calls do nothing.
    void Stop();

    const std::string& SocketPath() const { return path_; }

  private:
    struct Connection {
        UniqueFd fd;
        std::chrono::steady_clock::time_point end;  // closed then
        std::thread thread;
        std::atomic<bool> finished{false};
    };

    PortServer(std::string path, UniqueFd listening, UniqueFd wake,
               std::chrono::milliseconds connectionLimit);
    void ListenLoop();
    void AcceptOne();
    void ReapFinished();
    void Serve(Connection* connection);
    bool ServeChunk(const Connection& connection, std::string_view bytes, LineReader& reader);
    void WakeListener();

    std::string path_;
    uid_t owner_;
    std::chrono::milliseconds connectionLimit_;
    UniqueFd listening_;
    UniqueFd wake_;  // eventfd: a connection ended, or the port stops
    std::atomic<bool> stopping_{false};
    bool stopped_ = false;
    // Touched by the listener thread only, and by Stop once the listener is joined.
    std::list<std::unique_ptr<Connection>> connections_;
    std::thread listener_;
};

}  // namespace vrel::port
