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
#include "runtime/common/trace.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/port_service.h"
#include "runtime/user/user_runtime.h"

namespace {

// How long the window gets to end the run after the first termination signal.
constexpr time_t kGraceSeconds = 2;

// WinMain's result once it has returned; the intro's own way out gives 0 until then.
std::atomic<int> g_result{0};

// Ends the process now: no static destructors, no joins, no flushing (a stuck thread may hold
// any lock, and a dead X server would hang them). Live streams stop with the process: its
// end closes the sound device and every decoder thread with it.
[[noreturn]] void EndNow(int code) {
    vrel::user::port::RemoveSocketNow();
    std::_Exit(code);
}

// Waits until a second signal arrives or the grace period after the first has passed.
void WaitForSecondSignalOrGrace(const sigset_t& signals) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += kGraceSeconds;
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
        if (left.tv_nsec < 0) {
            left.tv_nsec += 1000000000L;
            --left.tv_sec;
        }
        if (left.tv_sec < 0 || sigtimedwait(&signals, nullptr, &left) > 0 || errno == EAGAIN) {
            return;
        }
    }
}

// SIGINT, SIGTERM and SIGHUP become WM_CLOSE to the main window, so an interrupted intro
// tears down through its own window procedure. A window that does not end the run in time,
// or a second signal, ends the process at once. The signals are blocked in every thread and
// taken here.
void WatchSignals(sigset_t signals) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) {
        return;
    }
    HWND window = vrel::user::MainWindow();
    if (window == nullptr || !PostMessageA(window, WM_CLOSE, 0, 0)) {
        EndNow(128 + received);  // nothing to close: end as the signal would
    }
    WaitForSecondSignalOrGrace(signals);
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
    std::string commandLine = JoinArguments(argc, argv);
    static int moduleAnchor;  // the module's instance handle only has to be unique
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&moduleAnchor);
    int result = WinMain(instance, nullptr, commandLine.data(), SW_SHOWDEFAULT);
    g_result.store(result);
    vrel::Trace("exit", result);
    vrel::mmstream::StopAllStreams();
    vrel::user::port::StopListening();
    vrel::screen::Screen::Shutdown();
    std::fflush(nullptr);
    std::exit(result);
}
