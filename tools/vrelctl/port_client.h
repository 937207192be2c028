// The client side of the message port, for vrelctl, tests and benchmarks: connects, checks
// the greeting, sends request lines and reads replies with a deadline.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/port/socket.h"

namespace vrel::port {

struct PortReply {
    bool ok = false;
    std::string value;                   // after "ok "
    std::string errorName;               // the error's code, when not ok
    std::string detail;                  // the error's text
    std::vector<std::string> dataLines;  // lines before the final one (list)
};

class PortClient {
  public:
    static constexpr size_t kMaxReplyLine = 1 << 20;

    // Connects to the socket and reads its greeting within timeoutMs. False with the reason
    // (nothing listening, refused, not a port of this protocol version).
    bool Connect(const std::string& socketPath, int timeoutMs, std::string* error);
    // The pid the port's greeting named.
    long Pid() const { return pid_; }

    // Sends one request line (the newline is added) and reads its whole reply.
    bool Exchange(std::string_view line, int timeoutMs, PortReply* reply, std::string* error);

    // Raw access for tests: bytes as they are, and one reply line.
    bool WriteRaw(std::string_view bytes);
    bool ReadLine(int timeoutMs, std::string* line, std::string* error);
    void Close() { fd_.Reset(); }

  private:
    bool ReadReply(int timeoutMs, PortReply* reply, std::string* error);

    UniqueFd fd_;
    std::string buffered_;
    long pid_ = 0;
};

}  // namespace vrel::port
