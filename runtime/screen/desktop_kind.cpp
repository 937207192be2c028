#include "runtime/screen/desktop_kind.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vrel::screen {

namespace {

// A window id the window manager left behind may be gone: Xlib's default handler would end
// the process on the BadWindow that follows.
int IgnoreXError(Display* /*display*/, XErrorEvent* /*error*/) {
    return 0;
}

Window ReadWindowProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    Window value = None;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &remaining, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1 && data != nullptr) {
        value = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

// EWMH: the root names a child of the window manager's, which names itself again; a stale
// root property left by a window manager that died fails the second look.
bool HasWindowManager(Display* display) {
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) {
        return false;
    }
    XSync(display, False);
    auto previous = XSetErrorHandler(IgnoreXError);
    Window wm = ReadWindowProperty(display, DefaultRootWindow(display), check);
    bool alive = wm != None && ReadWindowProperty(display, wm, check) == wm;
    XSync(display, False);
    XSetErrorHandler(previous);
    return alive;
}

void AddNetWmState(Display* display, Window window, const char* stateName) {
    Atom property = XInternAtom(display, "_NET_WM_STATE", False);
    Atom state = XInternAtom(display, stateName, False);
    XChangeProperty(display, window, property, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&state), 1);
    XFlush(display);
}

}  // namespace

void AskFullscreenBeforeShowing(SDL_Window* window, DesktopKind kind) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (kind == DesktopKind::ManagedX11 && SDL_GetWindowWMInfo(window, &info) == SDL_TRUE &&
        info.subsystem == SDL_SYSWM_X11) {
        AddNetWmState(info.info.x11.display, info.info.x11.window, "_NET_WM_STATE_FULLSCREEN");
        return;
    }
    if (kind != DesktopKind::BareX11) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
}

DesktopKind DetectDesktop(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE) {
        return DesktopKind::Other;
    }
    switch (info.subsystem) {
        case SDL_SYSWM_X11:
            return HasWindowManager(info.info.x11.display) ? DesktopKind::ManagedX11
                                                           : DesktopKind::BareX11;
        case SDL_SYSWM_WAYLAND:
            return DesktopKind::Compositor;
        default:
            return DesktopKind::Other;
    }
}

}  // namespace vrel::screen
