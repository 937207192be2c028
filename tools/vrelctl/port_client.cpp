#include "tools/vrelctl/port_client.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "runtime/port/protocol.h"

namespace vrel::port {

bool PortClient::Connect(const std::string& socketPath, int timeoutMs, std::string* error) {
    buffered_.clear();
    switch (ConnectTo(socketPath, &fd_, error)) {
        case ConnectResult::Connected:
            break;
        case ConnectResult::Busy:
            *error = "the intro is too busy to take a connection";
            return false;
        default:
            return false;
    }
    std::string greeting;
    if (!ReadLine(timeoutMs, &greeting, error)) {
        return false;
    }
    ReplyLine first = ParseReplyLine(greeting);
    if (first.kind == ReplyLine::Kind::Error) {
        *error = "refused (" + first.errorName + "): " + first.detail;
        return false;
    }
    auto pid = ParseGreeting(greeting);
    if (!pid) {
        *error = "not a message port of protocol version " + std::to_string(kProtocolVersion) +
                 ": " + greeting;
        return false;
    }
    pid_ = *pid;
    return true;
}

bool PortClient::WriteRaw(std::string_view bytes) {
    return fd_.Valid() && WriteAll(fd_.Get(), std::string(bytes));
}

bool PortClient::ReadLine(int timeoutMs, std::string* line, std::string* error) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (size_t newline = buffered_.find('\n'); newline != std::string::npos) {
            *line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return true;
        }
        if (buffered_.size() > kMaxReplyLine) {
            *error = "reply line too long";
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd_.Get(), POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&pfd, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            *error = "no answer within " + std::to_string(timeoutMs) + " ms";
            return false;
        }
        char buffer[4096];
        const ssize_t n = ready > 0 ? recv(fd_.Get(), buffer, sizeof buffer, 0) : -1;
        if (n <= 0) {
            *error = n == 0 ? "the intro closed the connection" : std::strerror(errno);
            return false;
        }
        buffered_.append(buffer, static_cast<size_t>(n));
    }
}

bool PortClient::ReadReply(int timeoutMs, PortReply* reply, std::string* error) {
    *reply = PortReply{};
    for (;;) {
        std::string line;
        if (!ReadLine(timeoutMs, &line, error)) {
            return false;
        }
        ReplyLine parsed = ParseReplyLine(line);
        if (parsed.kind == ReplyLine::Kind::Data) {
            reply->dataLines.push_back(std::move(line));
            continue;
        }
        reply->ok = parsed.kind == ReplyLine::Kind::Ok;
        reply->value = std::move(parsed.value);
        reply->errorName = std::move(parsed.errorName);
        reply->detail = std::move(parsed.detail);
        return true;
    }
}

bool PortClient::Exchange(std::string_view line, int timeoutMs, PortReply* reply,
                          std::string* error) {
    if (!WriteRaw(std::string(line) + "\n")) {
        *error = "the intro closed the connection";
        return false;
    }
    return ReadReply(timeoutMs, reply, error);
}

}  // namespace vrel::port
