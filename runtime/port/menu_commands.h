// The commands a menu offers, by name: how tools outside a program (vrelctl) and the runtime's
// own bridges (the media-player bus) learn its WM_COMMAND ids from the program's own menu
// resource, so they never disagree.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace vrel::port {

struct MenuCommand {
    std::string name;  // the item's text without '&' markers or a tab and what follows it
    UINT id;
};

// Every command item of the menu and its popups, in menu order; empty for a bad handle.
std::vector<MenuCommand> MenuCommands(HMENU menu);

// Every command of every menu the executable carries, menus in resource order; empty for a
// program without resources.
std::vector<MenuCommand> ExecutableMenuCommands();

// The id of the command named `name`, compared without regard to ASCII case.
std::optional<UINT> FindMenuCommand(const std::vector<MenuCommand>& commands,
                                    std::string_view name);

}  // namespace vrel::port
