// Where the message port's sockets live, one per process: <directory>/<pid>.sock, in
// $XDG_RUNTIME_DIR/vrelintro or, without it, $XDG_STATE_HOME/vrelintro or
// ~/.local/state/vrelintro: places under the user's own control, which no other user can
// create first (a shared /tmp name could be squatted). The directory must be a real directory
// of this user's, closed to everybody else (mode 0700 or stricter); any other is refused,
// since whoever controls it could put a socket of their own in our place.
#pragma once

#include <string>
#include <vector>

namespace vrel::port {

struct PortLocation {
    std::string directory;  // empty when the environment names no place at all
    bool makeParents;       // the fallbacks' parents may be missing; the runtime dir's may not
};

// The directory for this user, from the environment.
PortLocation DefaultPortLocation();
std::string DefaultPortDirectory();

// True when `directory` is fit for sockets; with `create`, a missing one is made (0700; its
// parent must exist, unless `makeParents`, which makes missing parents with the user's
// umask). A directory whose socket paths would not fit a Unix socket address is refused
// before anything is made. False with the reason otherwise.
bool CheckPortDirectory(const std::string& directory, bool create, std::string* error,
                        bool makeParents = false);

std::string SocketPathFor(const std::string& directory, long pid);

bool ProcessAlive(long pid);

struct LivePort {
    long pid;
    std::string path;
};

// Removes sockets whose process is gone or that refuse connections (left by a process that
// was killed), and returns the others, by pid. A socket that answers is never removed,
// whatever its name says, nor one replaced while it was being looked at. `ownPid`'s socket is
// neither removed nor listed.
std::vector<LivePort> CleanAndListPorts(const std::string& directory, long ownPid);

}  // namespace vrel::port
