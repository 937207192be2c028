// The message port's server: a listener thread that accepts connections of the same user
// and one thread per connection (at most kMaxConnections), so a send waiting for its answer
// never holds up another client's request.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "runtime/user/port_lines.h"
#include "runtime/user/port_protocol.h"
#include "runtime/user/port_socket.h"

namespace vrel::user::port {

class PortServer {
  public:
    static constexpr size_t kMaxConnections = 16;
    static constexpr int kIdleTimeoutSeconds = 60;  // a silent client is dropped after this
    static constexpr int kWriteTimeoutSeconds = 2;  // a client that never reads is dropped

    // Listens at `socketPath` (its directory already checked); null with the reason when it
    // cannot.
    static std::unique_ptr<PortServer> Start(const std::string& socketPath, std::string* error);

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
        std::thread thread;
        std::atomic<bool> finished{false};
    };

    PortServer(std::string path, UniqueFd listening, UniqueFd wake);
    void ListenLoop();
    void AcceptOne();
    void ReapFinished();
    void Serve(Connection* connection);
    bool ServeChunk(int fd, std::string_view bytes, LineReader& reader);
    void WakeListener();

    std::string path_;
    uid_t owner_;
    UniqueFd listening_;
    UniqueFd wake_;  // eventfd: a connection ended, or the port stops
    std::atomic<bool> stopping_{false};
    bool stopped_ = false;
    // Touched by the listener thread only, and by Stop once the listener is joined.
    std::list<std::unique_ptr<Connection>> connections_;
    std::thread listener_;
};

}  // namespace vrel::user::port
