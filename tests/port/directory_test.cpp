// Where sockets live and who may use them: the directory's checks, stale sockets of dead
// or killed processes removed while live ones stay, and the peer credential check.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "port/port_support.h"
#include "runtime/port/directory.h"
#include "runtime/port/socket.h"

namespace vrel::test {
namespace {

using port::CheckPortDirectory;
using port::CleanAndListPorts;

// Sets an environment variable for one scope, and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(PortDirectoryTest, DefaultDirectoryFollowsXdgRuntimeDir) {
    // Without a runtime directory, a place under the user's own home: nothing another user
    // can create first, as they could a name in /tmp.
    const std::string home = "/home/u/.local/state/vrelintro";
    struct Case {
        const char* xdg;
        const char* state;
        std::string expected;
        bool makeParents;
    };
    const std::vector<Case> cases = {
        {"/run/user/1234", "/s", "/run/user/1234/vrelintro", false},
        {nullptr, nullptr, home, true},
        {"", "/home/u/state", "/home/u/state/vrelintro", true},
        {"relative/dir", "relative/state", home, true},
    };
    ScopedEnv homeEnv("HOME", "/home/u");
    for (const Case& c : cases) {
        ScopedEnv env("XDG_RUNTIME_DIR", c.xdg);
        ScopedEnv stateEnv("XDG_STATE_HOME", c.state);
        const port::PortLocation location = port::DefaultPortLocation();
        EXPECT_EQ(location.directory, c.expected)
            << "XDG_RUNTIME_DIR=" << (c.xdg ? c.xdg : "-")
            << " XDG_STATE_HOME=" << (c.state ? c.state : "-");
        EXPECT_EQ(location.makeParents, c.makeParents) << c.expected;
        EXPECT_EQ(port::DefaultPortDirectory(), c.expected);
    }
}

struct DirectoryCase {
    const char* name;
    std::function<std::string(const std::string& base)> make;  // returns the path to check
    bool create;
    bool expectedOk;
    const char* reasonPart;
    bool makeParents = false;
};

TEST(PortDirectoryTest, OnlyAPrivateDirectoryOfOurOwnIsUsed) {
    const std::vector<DirectoryCase> cases = {
        {"missing, made", [](const std::string& b) { return b + "/new"; }, true, true, ""},
        {"missing, not made", [](const std::string& b) { return b + "/new"; }, false, false,
         "No such file"},
        {"0700",
         [](const std::string& b) {
             mkdir((b + "/d").c_str(), 0700);
             return b + "/d";
         },
         false, true, ""},
        {"0755",
         [](const std::string& b) {
             mkdir((b + "/d").c_str(), 0700);
             chmod((b + "/d").c_str(), 0755);
             return b + "/d";
         },
         true, false, "open to other users (mode 755)"},
        {"0710",
         [](const std::string& b) {
             mkdir((b + "/d").c_str(), 0700);
             chmod((b + "/d").c_str(), 0710);
             return b + "/d";
         },
         false, false, "open to other users"},
        {"symlink to a good one",
         [](const std::string& b) {
             mkdir((b + "/real").c_str(), 0700);
             symlink((b + "/real").c_str(), (b + "/link").c_str());
             return b + "/link";
         },
         true, false, "is not a directory"},
        {"a file",
         [](const std::string& b) {
             std::ofstream(b + "/file") << "x";
             chmod((b + "/file").c_str(), 0600);
             return b + "/file";
         },
         true, false, "is not a directory"},
        {"no parent", [](const std::string& b) { return b + "/none/deeper"; }, true, false,
         "No such file"},
        {"no parents, made for the fallback",
         [](const std::string& b) { return b + "/home/.local/state/vrelintro"; }, true, true, "",
         true},
        {"too long for a socket path",
         [](const std::string& b) { return b + "/" + std::string(90, 'x'); }, true, false,
         "too long for a socket path", true},
    };
    for (const DirectoryCase& c : cases) {
        TempDir base;
        const std::string path = c.make(base.Path());
        std::string error;
        EXPECT_EQ(CheckPortDirectory(path, c.create, &error, c.makeParents), c.expectedOk)
            << c.name << ": " << error;
        EXPECT_NE(error.find(c.reasonPart), std::string::npos)
            << c.name << "\nexpected a reason with: " << c.reasonPart << "\nactual: " << error;
    }
}

TEST(PortDirectoryTest, MadeDirectoryIsPrivateWhateverTheUmask) {
    TempDir base;
    const mode_t old = umask(0);
    std::string error;
    const bool ok = CheckPortDirectory(base.Path() + "/made", true, &error);
    umask(old);
    ASSERT_TRUE(ok) << error;
    struct stat info {};
    ASSERT_EQ(stat((base.Path() + "/made").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(PortDirectoryTest, DirectoryOfAnotherUserIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory away";
    }
    TempDir base;
    const std::string path = base.Path() + "/theirs";
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    std::string error;
    EXPECT_FALSE(CheckPortDirectory(path, true, &error));
    EXPECT_NE(error.find("belongs to uid 65534"), std::string::npos) << error;
}

// A socket file nobody listens on: what a killed process leaves behind.
void LeaveDeadSocket(const std::string& path) {
    port::UniqueFd fd(socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
}

pid_t DeadPid() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

TEST(PortDirectoryTest, StaleSocketsGoLiveOnesStay) {
    TempDir dir;
    const std::string d = dir.Path();
    const pid_t dead = DeadPid();
    const pid_t alive = getppid();  // a process that surely runs, but not this one
    LeaveDeadSocket(d + "/" + std::to_string(dead) + ".sock");
    std::ofstream(d + "/" + std::to_string(dead) + ".sock.new") << "";
    LeaveDeadSocket(d + "/1.sock");  // pid 1 lives; its socket refuses: a reused pid
    std::string error;
    port::UniqueFd live = port::ListenOn(port::SocketPathFor(d, alive), 4, &error);
    ASSERT_TRUE(live.Valid()) << error;
    std::ofstream(d + "/" + std::to_string(alive) + ".sock.new") << "";
    const pid_t gone = DeadPid();  // its pid looks dead, but a listener answers there
    port::UniqueFd answering = port::ListenOn(port::SocketPathFor(d, gone), 4, &error);
    ASSERT_TRUE(answering.Valid()) << error;
    LeaveDeadSocket(port::SocketPathFor(d, getpid()));
    std::ofstream(d + "/notes.txt") << "";
    std::ofstream(d + "/12ab.sock") << "";

    auto ports = CleanAndListPorts(d, getpid());

    ASSERT_EQ(ports.size(), 2u);
    for (const port::LivePort& port : ports) {
        EXPECT_TRUE(port.pid == alive || port.pid == gone) << port.pid;
        EXPECT_EQ(port.path, port::SocketPathFor(d, port.pid));
    }
    struct Expect {
        std::string name;
        bool present;
    };
    const std::vector<Expect> expectations = {
        {std::to_string(dead) + ".sock", false},
        {std::to_string(dead) + ".sock.new", false},
        {"1.sock", false},
        {std::to_string(alive) + ".sock", true},
        {std::to_string(gone) + ".sock", true},
        {std::to_string(alive) + ".sock.new", true},
        {std::to_string(getpid()) + ".sock", true},
        {"notes.txt", true},
        {"12ab.sock", true},
    };
    for (const Expect& e : expectations) {
        EXPECT_EQ(FileExists(d + "/" + e.name), e.present) << e.name;
    }
}

TEST(PortDirectoryTest, OnlyTheOwnerIsAllowed) {
    struct Case {
        uid_t peer;
        uid_t owner;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {1000, 1000, true}, {1001, 1000, false}, {0, 1000, false}, {0, 0, true}, {65534, 0, false},
    };
    for (const Case& c : cases) {
        ucred peer{};
        peer.pid = 1;
        peer.uid = c.peer;
        peer.gid = c.owner;  // the group says nothing
        EXPECT_EQ(port::PeerAllowed(peer, c.owner), c.allowed)
            << "peer uid " << c.peer << ", owner uid " << c.owner;
    }
}

TEST(PortDirectoryTest, ListeningSocketIsPrivateAndReplacesAnOldOne) {
    TempDir dir;
    const std::string path = dir.Path() + "/5.sock";
    std::ofstream(path) << "left over";
    std::string error;
    port::UniqueFd fd = port::ListenOn(path, 4, &error);
    ASSERT_TRUE(fd.Valid()) << error;
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(FileExists(path + ".new"));
    port::UniqueFd tooLong = port::ListenOn(dir.Path() + "/" + std::string(120, 'x'), 4, &error);
    EXPECT_FALSE(tooLong.Valid());
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

}  // namespace
}  // namespace vrel::test
