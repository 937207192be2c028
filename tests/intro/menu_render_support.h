// Menus written out as one line, from the parsed resource or through a menu handle, so the
// two can be compared and a failure shows the whole tree.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"

namespace intro_test {

// {1005 "About",SEPARATOR,POPUP "Men\xFC"{...}}: bytes outside printable ASCII as \xHH.
std::string Render(const std::vector<vrel::resources::MenuItemResource>& items);
// Every menu of a script: <id>/<language in hex><items> ...
std::string Render(const vrel::resources::ResourceScript& script);
// The same tree as GetMenuItemCount, GetMenuItemID, GetSubMenu and GetMenuStringA show it.
std::string RenderHandle(HMENU menu);

}  // namespace intro_test
