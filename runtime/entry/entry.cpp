// Process start-up and exit, as the platform's C runtime does them: main() calls WinMain,
// then everything still running (streams, audio, the window) is stopped before the process
// ends with WinMain's result.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "runtime/bus/service.h"
#include "runtime/common/trace.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/port/service.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/x_connection_lost.h"
#include "runtime/user/user_runtime.h"

namespace {

// How long the window gets to end the run after the first termination signal.
constexpr long kGraceMilliseconds = 2000;
// How often a signal that came before the window looks for it again.
constexpr long kWindowLookMilliseconds = 10;

// WinMain's result once it has returned; the intro's own way out gives 0 until then.
std::atomic<int> g_result{0};

// Ends the process now: no static destructors, no joins, no flushing (a stuck thread may hold
// any lock, and a dead X server would hang them). Live streams stop with the process: its
// end closes the sound device and every decoder thread with it.
[[noreturn]] void EndNow(int code) {
    vrel::port::RemoveSocketNow();
    std::_Exit(code);  // the bus daemon frees the media-player name when the process ends
}

timespec MonotonicIn(long milliseconds) {
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_sec += milliseconds / 1000;
    at.tv_nsec += (milliseconds % 1000) * 1000000L;
    if (at.tv_nsec >= 1000000000L) {
        at.tv_nsec -= 1000000000L;
        ++at.tv_sec;
    }
    return at;
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// True when another of `signals` arrives before `until`.
bool SignalBefore(const sigset_t& signals, const timespec& until) {
    for (;;) {
        timespec now = MonotonicIn(0);
        if (!Before(now, until)) {
            return false;
        }
        timespec left{until.tv_sec - now.tv_sec, until.tv_nsec - now.tv_nsec};
        if (left.tv_nsec < 0) {
            left.tv_nsec += 1000000000L;
            --left.tv_sec;
        }
        if (sigtimedwait(&signals, nullptr, &left) > 0) {
            return true;
        }
        if (errno == EAGAIN) {
            return false;
        }
    }
}

// SIGINT, SIGTERM and SIGHUP become WM_CLOSE to the main window, so an interrupted intro
// tears down through its own window procedure; a signal that comes before the window exists
// is delivered once it does. A window that does not end the run within the grace period, or
// a second signal, ends the process at once. The signals are blocked in every thread and
// taken here.
void WatchSignals(sigset_t signals) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) {
        return;
    }
    const timespec graceEnds = MonotonicIn(kGraceMilliseconds);
    for (;;) {
        HWND window = vrel::user::MainWindow();
        if (window != nullptr && PostMessageA(window, WM_CLOSE, 0, 0)) {
            break;
        }
        timespec look = MonotonicIn(kWindowLookMilliseconds);
        if (SignalBefore(signals, Before(look, graceEnds) ? look : graceEnds) ||
            !Before(MonotonicIn(0), graceEnds)) {
            EndNow(g_result.load());
        }
    }
    SignalBefore(signals, graceEnds);
    EndNow(g_result.load());
}

sigset_t BlockTerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

// Both outward services start with the first window.
void OnWindowCreated() {
    vrel::port::EnsureListening();
    vrel::bus::EnsureBridge();
}

std::string JoinArguments(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += argv[i];
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    vrel::Trace("start");
    // A reader that went away (`vrelintro 2>&1 | head -c 1`) only fails later writes.
    std::signal(SIGPIPE, SIG_IGN);
    std::thread(WatchSignals, BlockTerminationSignals()).detach();
    // The services are joined here, where the process is put together: the message port and
    // the media-player bridge start with the first window, the port's socket goes with a lost
    // display, and the bridge hears of the stream's changes.
    vrel::user::SetWindowCreatedHook(&OnWindowCreated);
    vrel::mmstream::SetPlaybackChangedHook(&vrel::bus::NotePlaybackChanged);
    vrel::screen::SetConnectionLostHook(&vrel::port::RemoveSocketNow);
    std::string commandLine = JoinArguments(argc, argv);
    static int moduleAnchor;  // the module's instance handle only has to be unique
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&moduleAnchor);
    int result = WinMain(instance, nullptr, commandLine.data(), SW_SHOWDEFAULT);
    g_result.store(result);
    vrel::Trace("exit", result);
    vrel::mmstream::StopAllStreams();
    vrel::port::StopListening();
    vrel::bus::StopBridge();
    vrel::screen::Screen::Shutdown();
    std::fflush(nullptr);
    std::exit(result);
}
