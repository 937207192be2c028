#include "runtime/screen/x_connection_lost.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace vrel::screen {
namespace {

std::atomic<bool> g_reported{false};
std::atomic<void (*)()> g_lostHook{nullptr};

// Xlib calls this on any thread whose connection broke (SDL's and ours), and ends the
// process itself if it returns: the first caller speaks, every caller ends the process.
int OnConnectionLost(Display*) {
    if (!g_reported.exchange(true)) {
        static constexpr char kLine[] = "vrelintro: the display went away; ending\n";
        [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kLine, sizeof kLine - 1);
        if (auto hook = g_lostHook.load()) {
            hook();
        }
    }
    std::_Exit(1);
}

}  // namespace

void SetConnectionLostHook(void (*hook)()) {
    g_lostHook.store(hook);
}

void EndRunWhenXConnectionIsLost() {
    XSetIOErrorHandler(&OnConnectionLost);
}

}  // namespace vrel::screen
