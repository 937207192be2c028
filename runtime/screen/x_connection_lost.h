// What happens when the X server goes away under a running program.
#pragma once

namespace vrel::screen {

// From now on a lost X connection ends the process at once with exit code 1 and one line on
// standard error, after removing the message port's socket. Xlib's own handler would print
// its complaint once per connection and run every exit handler, which may wait on threads
// drawing to the dead display.
void EndRunWhenXConnectionIsLost();

}  // namespace vrel::screen
