// What happens when the X server goes away under a running program.
#pragma once

namespace vrel::screen {

// From now on a lost X connection ends the process at once with exit code 1 and one line on
// standard error, after running the hook set below (the message port removes its socket
// there). Xlib's own handler would print its complaint once per connection and run every
// exit handler, which may wait on threads drawing to the dead display.
void EndRunWhenXConnectionIsLost();

// What must still happen when the display is lost, before the process ends: async-signal
// safe, no locks, no allocation. The process sets it once at start; null: nothing.
void SetConnectionLostHook(void (*hook)());

}  // namespace vrel::screen
