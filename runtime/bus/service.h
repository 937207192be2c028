// The media-player bridge: the program's window is a media player on the session bus
// (MPRIS: media keys, desktop shells and playerctl reach it), under
// org.mpris.MediaPlayer2.<executable>.instance<pid>. Like the message port, it turns outside
// requests into allow-listed messages posted to the main window.
//
// Built on sd-bus (libsystemd): a small C API with no main-loop framework of its own, so the
// bridge is one thread of ours waiting in poll() on the bus's fd and an eventfd. The eventfd
// is how the stream tells of changes (and stopping is asked) without locks: a write that
// never blocks. Idle, the thread sleeps in the kernel with no timer.
//
// Setting (environment):
//   VREL_MPRIS=on    start with the first window
//   VREL_MPRIS=off   never start
//   unset            start when the program shows a real screen (as the port)
#pragma once

#include <string>

namespace vrel::bus {

// Called whenever a window is made: starts the bridge once, if the setting allows. It
// connects on its own thread; with no session bus it says so in one line on standard error
// and the program goes on without it.
void EnsureBridge();

// Starts the bridge now, whatever the setting says, and waits until it owns its name.
// Returns "" or the reason it could not start. For tests and tools.
std::string StartBridgeNow();

// Stops the bridge: announces what changed last, gives up the name, joins the thread. Called
// at process exit; safe to call twice or when the bridge never started.
void StopBridge();

// The bus name while the bridge owns it; "" otherwise.
std::string BridgeBusName();

// The stream's change hook (mmstream::SetPlaybackChangedHook): wakes the bridge's thread to
// announce what changed. Lock-free, never blocks.
void NotePlaybackChanged();

}  // namespace vrel::bus
