#include "runtime/screen/screen.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/screen/memory_screen.h"
#include "runtime/screen/sdl_screen.h"

namespace vrel::screen {

namespace {

std::mutex g_mutex;
// Not destroyed by static destruction: when the X server goes away, Xlib ends the process
// from inside SDL, and closing the window then would wait for the dead server for ever.
// Screen::Shutdown closes it on the normal way out.
Screen* g_screen = nullptr;

bool HasDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return (x && *x) || (wayland && *wayland) || (driver && *driver);
}

std::unique_ptr<Screen> OpenScreen() {
    const char* setting = std::getenv("VREL_SCREEN");
    std::string mode = setting ? setting : "fullscreen";
    if (mode == "none") {
        return std::make_unique<MemoryScreen>();
    }
    if (mode != "window" && mode != "fullscreen") {
        std::fprintf(stderr,
                     "vrelintro: VREL_SCREEN=%s is not one of fullscreen, window, none; "
                     "using fullscreen\n",
                     mode.c_str());
    }
    std::string error = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    if (HasDisplay()) {
        auto sdl = SdlScreen::Open(
            mode == "window" ? SdlScreen::Mode::Window : SdlScreen::Mode::Fullscreen, &error);
        if (sdl) {
            return sdl;
        }
    }
    std::fprintf(stderr, "vrelintro: no display (%s); running without a screen\n", error.c_str());
    return std::make_unique<MemoryScreen>();
}

}  // namespace

Screen& Screen::Get() {
    std::lock_guard lock(g_mutex);
    if (g_screen == nullptr) {
        g_screen = OpenScreen().release();
    }
    return *g_screen;
}

void Screen::WakeCurrent() {
    std::lock_guard lock(g_mutex);
    if (g_screen != nullptr) {
        g_screen->Wake();
    }
}

void Screen::Shutdown() {
    std::lock_guard lock(g_mutex);
    delete g_screen;
    g_screen = nullptr;
}

}  // namespace vrel::screen
