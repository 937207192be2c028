#include "runtime/port/directory.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "runtime/port/socket.h"

namespace vrel::port {
namespace {

constexpr std::string_view kSocketSuffix = ".sock";
constexpr std::string_view kTemporarySuffix = ".sock.new";
constexpr long kLongestPid = 4194304;  // the kernel's highest pid_max

// The pid in "<pid>.sock" or "<pid>.sock.new"; nullopt for any other name.
std::optional<long> PidOfName(std::string_view name, bool* temporary) {
    *temporary = name.ends_with(kTemporarySuffix);
    const std::string_view suffix = *temporary ? kTemporarySuffix : kSocketSuffix;
    if (!name.ends_with(suffix)) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(0, name.size() - suffix.size());
    long pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

ConnectResult Probe(const std::string& path) {
    UniqueFd connection;
    std::string error;
    return ConnectTo(path, &connection, &error);
}

std::vector<std::string> EntryNames(const std::string& directory) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir.get())) {
        names.emplace_back(entry->d_name);
    }
    return names;
}

}  // namespace

PortLocation DefaultPortLocation() {
    auto absolute = [](const char* name) -> const char* {
        const char* value = std::getenv(name);
        return value != nullptr && value[0] == '/' ? value : nullptr;
    };
    if (const char* runtimeDir = absolute("XDG_RUNTIME_DIR")) {
        return {std::string(runtimeDir) + "/vrelintro", false};
    }
    if (const char* stateHome = absolute("XDG_STATE_HOME")) {
        return {std::string(stateHome) + "/vrelintro", true};
    }
    if (const char* home = absolute("HOME")) {
        return {std::string(home) + "/.local/state/vrelintro", true};
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return {std::string(found->pw_dir) + "/.local/state/vrelintro", true};
    }
    return {"", false};
}

std::string DefaultPortDirectory() {
    return DefaultPortLocation().directory;
}

bool CheckPortDirectory(const std::string& directory, bool create, std::string* error,
                        bool makeParents) {
    if (directory.empty()) {
        *error =
            "no directory for the port (neither XDG_RUNTIME_DIR, XDG_STATE_HOME nor HOME "
            "names one)";
        return false;
    }
    if (const std::string longest = SocketPathFor(directory, kLongestPid) + ".new";
        !SocketPathFits(longest)) {
        *error = directory + " is too long for a socket path (" + std::to_string(longest.size()) +
                 " bytes; a Unix socket address holds " + std::to_string(kMaxSocketPath) + ")";
        return false;
    }
    if (create && makeParents) {
        // Parents are ordinary directories of the user's, as any program would make them.
        for (size_t slash = directory.find('/', 1); slash != std::string::npos;
             slash = directory.find('/', slash + 1)) {
            mkdir(directory.substr(0, slash).c_str(), 0777);
        }
    }
    if (create && mkdir(directory.c_str(), 0700) == 0) {
        chmod(directory.c_str(), 0700);  // the umask may have taken more than group and other
    }
    struct stat info {};
    if (lstat(directory.c_str(), &info) != 0) {
        *error = directory + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = directory + " is not a directory";
    } else if (info.st_uid != geteuid()) {
        *error = directory + " belongs to uid " + std::to_string(info.st_uid) + ", not to uid " +
                 std::to_string(geteuid());
    } else if ((info.st_mode & 0077) != 0) {
        *error = directory + " is open to other users (mode " +
                 std::to_string((info.st_mode >> 6) & 7) + std::to_string((info.st_mode >> 3) & 7) +
                 std::to_string(info.st_mode & 7) + ")";
    } else {
        return true;
    }
    return false;
}

std::string SocketPathFor(const std::string& directory, long pid) {
    return directory + "/" + std::to_string(pid) + std::string(kSocketSuffix);
}

bool ProcessAlive(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::vector<LivePort> CleanAndListPorts(const std::string& directory, long ownPid) {
    std::vector<LivePort> live;
    for (const std::string& name : EntryNames(directory)) {
        bool temporary = false;
        const auto pid = PidOfName(name, &temporary);
        if (!pid || *pid == ownPid) {
            continue;
        }
        const std::string path = directory + "/" + name;
        const bool alive = ProcessAlive(*pid);
        if (temporary && alive) {
            continue;  // a live process is binding it right now
        }
        struct stat before {};
        if (lstat(path.c_str(), &before) != 0) {
            continue;
        }
        // Whatever the pid says, a socket that answers belongs to a live listener (a pid of
        // another namespace, or one reused since the check).
        const ConnectResult probe = Probe(path);
        if (probe == ConnectResult::Connected || probe == ConnectResult::Busy) {
            if (!temporary) {
                live.push_back(LivePort{*pid, path});
            }
            continue;
        }
        // Dead, or a live pid whose socket refuses (its process was killed and the pid taken
        // since). Only the file probed goes: a process that reused the pid may have renamed
        // a fresh socket into its place meanwhile.
        struct stat now {};
        if ((!alive || probe == ConnectResult::Refused) && lstat(path.c_str(), &now) == 0 &&
            now.st_ino == before.st_ino && now.st_dev == before.st_dev) {
            unlink(path.c_str());
        }
    }
    std::sort(live.begin(), live.end(),
              [](const LivePort& a, const LivePort& b) { return a.pid < b.pid; });
    return live;
}

}  // namespace vrel::port
