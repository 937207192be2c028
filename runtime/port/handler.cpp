#include "runtime/port/handler.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "runtime/user/user_runtime.h"

namespace vrel::port {
namespace {

using user::TopLevelWindow;

// How often a waiting send looks at the port's stop flag.
constexpr std::chrono::milliseconds kSendSlice{20};

bool Matches(const std::optional<std::string>& wanted, const std::string& actual) {
    return !wanted || EqualsNoCase(*wanted, actual);
}

std::string_view BoxKind(UINT type) {
    switch (type) {
        case MB_YESNO:
            return "yesno";
        case MB_OKCANCEL:
            return "okcancel";
        default:
            return "ok";
    }
}

std::vector<std::string> List() {
    std::vector<std::string> lines;
    for (const TopLevelWindow& window : user::TopLevelWindows()) {
        lines.push_back("window " + Quote(window.className) + " " + Quote(window.title));
    }
    const size_t windows = lines.size();
    if (auto box = user::TopMessageBox()) {
        lines.push_back("box " + Quote(box->caption) + " " + Quote(box->text) + " " +
                        std::string(BoxKind(box->type)));
    }
    lines.push_back(OkLine(std::to_string(windows)));
    return lines;
}

std::string NoWindowLine(const WindowTarget& target) {
    auto name = [](const std::optional<std::string>& value) {
        return value ? Quote(*value) : std::string("*");
    };
    return ErrorLine(ErrorCode::NoWindow, "no top-level window of class " + name(target.className) +
                                              " titled " + name(target.title));
}

std::string Post(HWND window, const Request& request) {
    if (PostMessageA(window, request.message, request.FullWParam(), request.FullLParam())) {
        return OkLine();
    }
    if (!IsWindow(window)) {
        return NoWindowLine(request.target);
    }
    return ErrorLine(ErrorCode::QueueFull, "the window's message queue is full");
}

// As SendFromOtherThread, but the wait also ends when the port stops (at process exit the
// window's thread has left its loop and will never answer) or the connection's time is up.
std::string Send(HWND window, const Request& request, const std::atomic<bool>& stopping,
                 std::chrono::steady_clock::time_point connectionEnd) {
    using std::chrono::milliseconds;
    using Clock = std::chrono::steady_clock;
    const auto requestEnd = Clock::now() + milliseconds(request.timeoutMs);
    const auto deadline = std::min(requestEnd, connectionEnd);
    user::OutsideSend send(window, request.message, request.FullWParam(), request.FullLParam());
    LRESULT result = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        const auto slice = std::min(kSendSlice, std::max(left, milliseconds(0)));
        if (send.WaitForAnswer(static_cast<int>(slice.count()), &result)) {
            return OkLine(std::to_string(result));
        }
        const bool stop = stopping.load();
        if (!stop && Clock::now() < deadline) {
            continue;
        }
        // Nobody will wait for it any more: it must not run later, nor pile up.
        const bool dropped = send.Withdraw();
        if (!dropped && send.WaitForAnswer(0, &result)) {
            return OkLine(std::to_string(result));
        }
        const std::string fate = dropped ? " (dropped)" : " (the window is handling it)";
        if (stop) {
            return ErrorLine(ErrorCode::Stopped, "the port is shutting down");
        }
        if (requestEnd <= connectionEnd) {
            return ErrorLine(
                ErrorCode::Timeout,
                "no answer within " + std::to_string(request.timeoutMs) + " ms" + fate);
        }
        return ErrorLine(ErrorCode::Timeout, "the connection's time is up" + fate);
    }
}

std::string Answer(int answer) {
    if (user::AnswerMessageBox(answer)) {
        return OkLine();
    }
    if (user::TopMessageBox()) {
        return ErrorLine(ErrorCode::NoButton, "the open message box has no such button");
    }
    return ErrorLine(ErrorCode::NoBox, "no message box is open");
}

}  // namespace

HWND FindTargetWindow(const WindowTarget& target) {
    for (const TopLevelWindow& window : user::TopLevelWindows()) {
        if (Matches(target.className, window.className) && Matches(target.title, window.title)) {
            return window.handle;
        }
    }
    return nullptr;
}

std::vector<std::string> HandleRequest(const Request& request, const std::atomic<bool>& stopping,
                                       std::chrono::steady_clock::time_point connectionEnd) {
    switch (request.verb) {
        case Verb::List:
            return List();
        case Verb::Answer:
            return {Answer(request.answer)};
        case Verb::Post:
        case Verb::Send:
            break;
    }
    HWND window = FindTargetWindow(request.target);
    if (window == nullptr) {
        return {NoWindowLine(request.target)};
    }
    return {request.verb == Verb::Post ? Post(window, request)
                                       : Send(window, request, stopping, connectionEnd)};
}

std::vector<std::string> HandleLine(std::string_view line, const std::atomic<bool>& stopping,
                                    std::chrono::steady_clock::time_point connectionEnd) {
    ParseResult parsed = ParseRequest(line);
    if (!parsed.request) {
        return {ErrorLine(parsed.error, parsed.detail)};
    }
    return HandleRequest(*parsed.request, stopping, connectionEnd);
}

}  // namespace vrel::port
