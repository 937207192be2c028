// Unix-domain sockets for the message port: owned descriptors, the listening socket (bound
// under a temporary name, made 0600, then renamed into place so nobody sees it half made),
// client connections and the peer's credentials.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <optional>
#include <string>

namespace vrel::port {

// Owns one file descriptor; closes it on destruction.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// The longest path a Unix socket address holds, and whether `path` fits.
inline constexpr size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;
inline bool SocketPathFits(const std::string& path) {
    return !path.empty() && path.size() <= kMaxSocketPath;
}

// Listens on `path` (mode 0600; any old file of that name is replaced). Invalid with the
// reason in *error when the path is too long or a call fails.
UniqueFd ListenOn(const std::string& path, int backlog, std::string* error);

enum class ConnectResult { Connected, Refused, Missing, Busy, Failed };
// Connects to the socket at `path` without blocking on a full backlog (Busy).
ConnectResult ConnectTo(const std::string& path, UniqueFd* connection, std::string* error);

// The credentials the peer connected with; nullopt when the socket cannot say.
std::optional<ucred> PeerCredentials(int fd);

// Only the user who owns the port may use it.
bool PeerAllowed(const ucred& peer, uid_t owner);

// Writes all of `bytes` (never raising SIGPIPE); false when the peer is gone or the write
// timed out.
bool WriteAll(int fd, const std::string& bytes);

}  // namespace vrel::port
