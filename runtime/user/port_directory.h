// Where the message port's sockets live, one per process: <directory>/<pid>.sock, in
// $XDG_RUNTIME_DIR/vrelintro or, without it, /tmp/vrelintro-<uid>. The directory must be a
// real directory of this user's, closed to everybody else (mode 0700 or stricter); any other
// is refused, since whoever controls it could put a socket of their own in our place.
#pragma once

#include <string>
#include <vector>

namespace vrel::user::port {

// The directory for this user, from the environment.
std::string DefaultPortDirectory();

// True when `directory` is fit for sockets; with `create`, a missing one is made (0700; its
// parent must exist). False with the reason otherwise.
bool CheckPortDirectory(const std::string& directory, bool create, std::string* error);

std::string SocketPathFor(const std::string& directory, long pid);

bool ProcessAlive(long pid);

struct LivePort {
    long pid;
    std::string path;
};

// Removes sockets whose process is gone or that refuse connections (left by a process that
// was killed), and returns the others, by pid. `ownPid`'s socket is neither removed nor
// listed.
std::vector<LivePort> CleanAndListPorts(const std::string& directory, long ownPid);

}  // namespace vrel::user::port
