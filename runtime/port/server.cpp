#include "runtime/port/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

#include "runtime/port/handler.h"
#include "runtime/port/lines.h"

namespace vrel::port {
namespace {

void SetTimeout(int fd, int option, int seconds) {
    timeval timeout{};
    timeout.tv_sec = seconds;
    setsockopt(fd, SOL_SOCKET, option, &timeout, sizeof timeout);
}

void Refuse(int fd, ErrorCode code, const std::string& detail) {
    WriteAll(fd, ErrorLine(code, detail) + "\n");
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace

std::unique_ptr<PortServer> PortServer::Start(const std::string& socketPath, std::string* error,
                                              std::chrono::milliseconds connectionLimit) {
    UniqueFd listening = ListenOn(socketPath, static_cast<int>(kMaxConnections), error);
    if (!listening.Valid()) {
        return nullptr;
    }
    fcntl(listening.Get(), F_SETFL, fcntl(listening.Get(), F_GETFL) | O_NONBLOCK);
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.Valid()) {
        *error = "eventfd failed";
        unlink(socketPath.c_str());
        return nullptr;
    }
    std::unique_ptr<PortServer> server(
        new PortServer(socketPath, std::move(listening), std::move(wake), connectionLimit));
    server->listener_ = std::thread(&PortServer::ListenLoop, server.get());
    return server;
}

PortServer::PortServer(std::string path, UniqueFd listening, UniqueFd wake,
                       std::chrono::milliseconds connectionLimit)
    : path_(std::move(path)),
      owner_(geteuid()),
      connectionLimit_(connectionLimit),
      listening_(std::move(listening)),
      wake_(std::move(wake)) {}

void PortServer::Stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    stopping_ = true;
    WakeListener();
    if (listener_.joinable()) {
        listener_.join();
    }
    for (auto& connection : connections_) {
        shutdown(connection->fd.Get(), SHUT_RD);  // ends a read in progress; replies still go
    }
    for (auto& connection : connections_) {
        connection->thread.join();
    }
    connections_.clear();
    listening_.Reset();
    unlink(path_.c_str());
}

void PortServer::WakeListener() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wake_.Get(), &one, sizeof one);
}

void PortServer::ListenLoop() {
    pollfd fds[2] = {{listening_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
    while (!stopping_) {
        if (poll(fds, 2, -1) < 0) {
            continue;  // EINTR
        }
        if (fds[1].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(wake_.Get(), &count, sizeof count);
            ReapFinished();
        }
        if (!stopping_ && (fds[0].revents & POLLIN) != 0) {
            AcceptOne();
        }
    }
}

void PortServer::AcceptOne() {
    UniqueFd fd(accept4(listening_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd.Valid()) {
        return;
    }
    SetTimeout(fd.Get(), SO_SNDTIMEO, kWriteTimeoutSeconds);
    auto peer = PeerCredentials(fd.Get());
    if (!peer || !PeerAllowed(*peer, owner_)) {
        Refuse(fd.Get(), ErrorCode::Denied,
               "this port belongs to uid " + std::to_string(owner_) + ", you are uid " +
                   (peer ? std::to_string(peer->uid) : std::string("unknown")));
        return;
    }
    ReapFinished();
    if (connections_.size() >= kMaxConnections) {
        Refuse(fd.Get(), ErrorCode::Busy, "too many connections; try again later");
        return;
    }
    auto connection = std::make_unique<Connection>();
    connection->fd = std::move(fd);
    connection->end = std::chrono::steady_clock::now() + connectionLimit_;
    try {
        connection->thread = std::thread(&PortServer::Serve, this, connection.get());
    } catch (const std::system_error&) {
        Refuse(connection->fd.Get(), ErrorCode::Busy, "cannot start a thread; try again later");
        return;
    }
    connections_.push_back(std::move(connection));
}

void PortServer::ReapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = connections_.erase(it);  // closes its socket
        } else {
            ++it;
        }
    }
}

// Answers every complete line in `bytes`; false when the client stopped reading.
bool PortServer::ServeChunk(const Connection& connection, std::string_view bytes,
                            LineReader& reader) {
    const int fd = connection.fd.Get();
    std::vector<LineEvent> events;
    reader.Feed(bytes, &events);
    for (const LineEvent& event : events) {
        const std::vector<std::string> reply =
            event.tooLong ? std::vector<std::string>{ErrorLine(
                                ErrorCode::TooLong, "a request is at most " +
                                                        std::to_string(kMaxRequestBytes) +
                                                        " bytes with its newline")}
                          : HandleLine(event.line, stopping_, connection.end);
        if (!WriteAll(fd, JoinLines(reply))) {
            return false;
        }
    }
    return true;
}

namespace {

// Waits for bytes until the connection's time is up; -1 with errno on failure, 0 when the
// peer closed or the time is up.
ssize_t ReceiveBefore(int fd, std::chrono::steady_clock::time_point end, char* buffer,
                      size_t size) {
    using std::chrono::milliseconds;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return 0;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
        if (ready < 0 && errno != EINTR) {
            return -1;
        }
        if (ready > 0) {
            return recv(fd, buffer, size, MSG_DONTWAIT);
        }
    }
}

}  // namespace

void PortServer::Serve(Connection* connection) {
    const int fd = connection->fd.Get();
    LineReader reader(kMaxRequestBytes);
    bool open = WriteAll(fd, Greeting(getpid()) + "\n");
    char buffer[1024];
    while (open && !stopping_) {
        const ssize_t n = ReceiveBefore(fd, connection->end, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        open = n > 0 &&
               ServeChunk(*connection, std::string_view(buffer, static_cast<size_t>(n)), reader);
    }
    connection->finished = true;
    WakeListener();
}

}  // namespace vrel::port
