#include "runtime/user/port_directory.h"

#include <dirent.h>
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

#include "runtime/user/port_socket.h"

namespace vrel::user::port {
namespace {

constexpr std::string_view kSocketSuffix = ".sock";
constexpr std::string_view kTemporarySuffix = ".sock.new";

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

std::string DefaultPortDirectory() {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        return std::string(runtimeDir) + "/vrelintro";
    }
    return "/tmp/vrelintro-" + std::to_string(geteuid());
}

bool CheckPortDirectory(const std::string& directory, bool create, std::string* error) {
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
        if (!ProcessAlive(*pid)) {
            unlink(path.c_str());
            continue;
        }
        if (temporary) {
            continue;  // a live process is binding it right now
        }
        // A live pid whose socket refuses connections: its process was killed and the pid
        // has been taken since.
        const ConnectResult probe = Probe(path);
        if (probe == ConnectResult::Refused) {
            unlink(path.c_str());
        } else if (probe == ConnectResult::Connected || probe == ConnectResult::Busy) {
            live.push_back(LivePort{*pid, path});
        }
    }
    std::sort(live.begin(), live.end(),
              [](const LivePort& a, const LivePort& b) { return a.pid < b.pid; });
    return live;
}

}  // namespace vrel::user::port
