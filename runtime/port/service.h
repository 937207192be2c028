// The message port: every top-level window of this process can be found and reached by
// other processes of the same user (tools/vrelctl), through one Unix-domain socket per
// process. See protocol.h for what crosses it.
//
// Setting (environment):
//   VREL_PORT=on    listen as soon as the first window exists
//   VREL_PORT=off   never listen
//   unset           listen when the program shows a real screen (VREL_SCREEN is not `none`),
//                   so test programs running without a screen start no port threads
#pragma once

#include <chrono>
#include <string>

#include "runtime/port/server.h"

namespace vrel::port {

// Called whenever a window is made: starts the port once, if the setting allows. A port that
// cannot start says why on standard error; the program goes on without it.
void EnsureListening();

// Stops the port: ends every connection, joins every thread and removes the socket. Called
// at process exit; safe to call twice or when the port never started.
void StopListening();

// Starts the port now in `directory` (made if missing, and checked as the default one),
// whatever the setting says. Returns "" or the reason it could not start. For tests and
// tools that need a port of their own; tests may shorten the connections' time.
std::string StartListeningIn(
    const std::string& directory,
    std::chrono::milliseconds connectionLimit = PortServer::kConnectionLimit);

// The socket's path while listening; "" otherwise.
std::string ListeningPath();

// Removes the socket at once, without locks or allocation: for a process that ends
// immediately (a signal handler, a lost display) while its threads may be stuck. The
// connections and threads are left to the process's end.
void RemoveSocketNow();

}  // namespace vrel::port
