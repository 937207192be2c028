// Carries out port requests against the window manager, on a port connection's thread:
// posts join the window's queue, sends are run by the window's thread inside its message
// loop (or a message box's) and their result comes back, answers go to the open box.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/port/protocol.h"

namespace vrel::port {

// The reply to one request line: data lines (list only), then one `ok …` or `err …` line.
// A send gives up when its timeout passes or `stopping` becomes true (checked every few
// milliseconds), so no connection outlives a stopping port by more than that; it also gives
// up at `connectionEnd`, the end of its connection's time. A send that gave up before the
// window took it is dropped.
std::vector<std::string> HandleLine(std::string_view line, const std::atomic<bool>& stopping,
                                    std::chrono::steady_clock::time_point connectionEnd =
                                        std::chrono::steady_clock::time_point::max());
std::vector<std::string> HandleRequest(const Request& request, const std::atomic<bool>& stopping,
                                       std::chrono::steady_clock::time_point connectionEnd =
                                           std::chrono::steady_clock::time_point::max());

// The top-level window a request aims at (top of the z-order first; class and title compared
// without regard to ASCII case, as the platform's window search does); null when none.
HWND FindTargetWindow(const WindowTarget& target);

}  // namespace vrel::port
