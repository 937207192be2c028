#include "tools/vrelctl/page.h"

#include <string>

namespace vrelctl {
namespace {

constexpr WORD kMenuId = 101;

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

}  // namespace

std::vector<vrel::port::MenuCommand> IntroCommands() {
    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(kMenuId));
    std::vector<vrel::port::MenuCommand> commands = vrel::port::MenuCommands(menu);
    DestroyMenu(menu);
    return commands;
}

vrel::manual::Page Page(const std::vector<vrel::port::MenuCommand>& commands) {
    using vrel::manual::Entry;
    using vrel::manual::Section;
    std::string names;
    Section ids{"menu commands and their ids", {}, {}};
    for (const vrel::port::MenuCommand& command : commands) {
        names += (names.empty() ? "" : "|") + Lowered(command.name);
        ids.entries.push_back({Lowered(command.name), std::to_string(command.id)});
    }
    Section verbs{"commands", {}, {}};
    verbs.entries = {
        {names, "the intro's menu commands (posted as WM_COMMAND)"},
        {"answer ok|yes|no", "press a button of the open message box"},
        {"list", "running intros, their windows and open box"},
        {"raw MESSAGE WPARAM [LPARAM]",
         "post WM_COMMAND or WM_CLOSE with any 32-bit parameters (decimal or 0x hex)"},
    };
    Section options{"options", {}, {}};
    options.entries = {
        {"--send", "wait for the window procedure's result and print it"},
        {"--timeout S", "how long --send waits, in seconds, 1 to 60 (default 5)"},
        {"--pid N", "the intro to talk to when several run"},
        {"--help", "print this help and exit"},
    };
    Section exits{"exit status", {}, {}};
    exits.entries = {
        {"0", "done"},
        {"1", "bad usage"},
        {"2", "no intro running (or several without --pid)"},
        {"3", "the intro refused the request (the reason is printed)"},
        {"4", "no answer in time"},
    };
    Section environment{"environment", {}, {}, false};
    environment.entries = {
        {"XDG_RUNTIME_DIR", "the port's sockets are looked for in $XDG_RUNTIME_DIR/vrelintro"},
        {"XDG_STATE_HOME", "without XDG_RUNTIME_DIR: in $XDG_STATE_HOME/vrelintro"},
        {"HOME", "without either: in ~/.local/state/vrelintro"},
    };
    Section files{"files", {}, {}, false};
    files.entries = {
        {"$XDG_RUNTIME_DIR/vrelintro/PID.sock",
         "the message port of the intro with process id PID, a Unix-domain socket (mode 0600) "
         "in a directory of the user's closed to everybody else (mode 0700); a socket left by "
         "a killed intro is removed"},
    };
    Section examples{"examples", {}, {}, false, true};
    examples.entries = {
        {"vrelctl pause", "Pause the running intro:"},
        {"vrelctl --send exit", "Ask it to quit and wait while \"Quit the Program?\" is open:"},
        {"vrelctl answer yes", "Answer that box from another terminal:"},
        {"vrelctl --pid 4242 start", "Play the movie again in one of several intros:"},
    };
    Section seeAlso{"see also", {"vrelintro(1), vrelmovie(1)"}, {}, false};
    return vrel::manual::Page{
        "vrelctl",
        "send commands to a running vrelintro",
        {"[--pid N] [--send] [--timeout S] COMMAND"},
        {"Sends commands to a running vrelintro through its message port.",
         "The intro's window understands the commands of its menu but has no menu and no keys "
         "for them: they come from other programs. Commands are posted (vrelctl returns at "
         "once) unless --send is given. The command names and ids come from the intro's own "
         "menu resource, which vrelctl carries too; names are matched without regard to case."},
        {verbs, options, ids, exits, environment, files, examples, seeAlso},
    };
}

}  // namespace vrelctl
