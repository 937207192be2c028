// What kind of desktop the real window lands on: it decides how the window covers the
// screen (the window manager's full-screen state, or a borderless window of the desktop's
// size where nobody manages windows).
#pragma once

#include <SDL.h>

namespace vrel::screen {

enum class DesktopKind {
    BareX11,     // an X server without a window manager (Xvfb, kiosks)
    ManagedX11,  // an X server with an EWMH window manager
    Compositor,  // Wayland: the compositor always manages the window
    Other,
};

// Looks at the desktop `window` belongs to. Never fails: unknown desktops are Other.
DesktopKind DetectDesktop(SDL_Window* window);

// Before `window` is first shown: asks the window manager or compositor of `kind` to show it
// full screen. On X11 the state goes straight into the window's _NET_WM_STATE, keeping the
// states already there: SDL's own request waits 100 ms for a size change that never comes
// to a window already of the desktop's size.
void AskFullscreenBeforeShowing(SDL_Window* window, DesktopKind kind);

}  // namespace vrel::screen
