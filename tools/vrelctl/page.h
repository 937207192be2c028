// vrelctl's --help text and manual page, from one description.
#pragma once

#include <vector>

#include "runtime/port/menu_commands.h"
#include "tools/manual/page.h"

namespace vrelctl {

// `commands`: the intro's menu commands, as vrelctl reads them from its menu resource.
vrel::manual::Page Page(const std::vector<vrel::port::MenuCommand>& commands);

// The intro's menu commands, from the menu resource this program carries.
std::vector<vrel::port::MenuCommand> IntroCommands();

}  // namespace vrelctl
