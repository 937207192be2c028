#include "runtime/port/socket.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vrel::port {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset(other.Release());
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

namespace {

std::string Describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool MakeAddress(const std::string& path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path) {
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

UniqueFd ListenOn(const std::string& path, int backlog, std::string* error) {
    const std::string temporary = path + ".new";
    sockaddr_un address{};
    if (!MakeAddress(temporary, &address)) {
        *error = "socket path too long: " + temporary;
        return UniqueFd();
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        *error = Describe("socket for", path);
        return UniqueFd();
    }
    unlink(temporary.c_str());
    // The directory is private already; 0600 keeps the socket so if it is ever moved.
    if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(temporary.c_str(), 0600) != 0 || listen(fd.Get(), backlog) != 0 ||
        rename(temporary.c_str(), path.c_str()) != 0) {
        *error = Describe("cannot listen on", path);
        unlink(temporary.c_str());
        return UniqueFd();
    }
    return fd;
}

ConnectResult ConnectTo(const std::string& path, UniqueFd* connection, std::string* error) {
    sockaddr_un address{};
    if (!MakeAddress(path, &address)) {
        *error = "socket path too long: " + path;
        return ConnectResult::Failed;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        *error = Describe("socket for", path);
        return ConnectResult::Failed;
    }
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int code = errno;
        *error = Describe("cannot connect to", path);
        if (code == ECONNREFUSED) {
            return ConnectResult::Refused;
        }
        if (code == ENOENT) {
            return ConnectResult::Missing;
        }
        return code == EAGAIN || code == EINPROGRESS ? ConnectResult::Busy : ConnectResult::Failed;
    }
    fcntl(fd.Get(), F_SETFL, fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    *connection = std::move(fd);
    return ConnectResult::Connected;
}

std::optional<ucred> PeerCredentials(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials) {
        return std::nullopt;
    }
    return credentials;
}

bool PeerAllowed(const ucred& peer, uid_t owner) {
    return peer.uid == owner;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace vrel::port
