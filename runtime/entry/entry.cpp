// Process start-up and exit, as the platform's C runtime does them: main() calls WinMain,
// then everything still running (streams, audio, the window) is stopped before the process
// ends with WinMain's result.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "runtime/common/trace.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/port_service.h"
#include "runtime/user/user_runtime.h"

namespace {

// SIGINT and SIGTERM become WM_CLOSE to the main window, so an interrupted intro tears down
// through its own window procedure. The signals are blocked in every thread and taken here.
void WatchSignals(sigset_t signals) {
    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            return;
        }
        HWND window = vrel::user::MainWindow();
        if (window == nullptr || !PostMessageA(window, WM_CLOSE, 0, 0)) {
            std::_Exit(128 + received);  // nothing to close: end as the signal would
        }
    }
}

sigset_t BlockTerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
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
    std::thread(WatchSignals, BlockTerminationSignals()).detach();
    std::string commandLine = JoinArguments(argc, argv);
    static int moduleAnchor;  // the module's instance handle only has to be unique
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&moduleAnchor);
    int result = WinMain(instance, nullptr, commandLine.data(), SW_SHOWDEFAULT);
    vrel::Trace("exit", result);
    vrel::mmstream::StopAllStreams();
    vrel::user::port::StopListening();
    vrel::screen::Screen::Shutdown();
    std::fflush(nullptr);
    std::exit(result);
}
