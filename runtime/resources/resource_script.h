// Resources carried by the executable: its resource script in the platform's syntax, and
// the menus read from it for LoadMenuA and the menu calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

// The executable's resource script (UTF-8 text), placed there at build time. Weak: null in
// programs built without one.
extern "C" const char vrel_resource_script[] __attribute__((weak));

namespace vrel::resources {

struct MenuItemResource {
    std::string text;  // Windows-1252; empty for a separator
    UINT id = 0;       // the command; 0 for separators and popups
    bool separator = false;
    bool popup = false;
    std::vector<MenuItemResource> items;  // a popup's own items
};

struct MenuResource {
    WORD id = 0;
    WORD language = 0;
    std::vector<MenuItemResource> items;
};

struct ResourceScript {
    std::vector<MenuResource> menus;
};

struct ResourceParseResult {
    std::optional<ResourceScript> script;  // empty when the text does not parse
    std::string error;                     // "line N: what was wrong" when it does not
};

// Reads the numbered MENU resources of a script (the grammar heads resource_script.cpp);
// anything else is an error with its line, never a crash.
ResourceParseResult ParseResourceScript(std::string_view text);

// The menu LoadMenuA means by `name` (MAKEINTRESOURCEA(id) or "#id"); null when there is
// none.
const MenuResource* FindMenu(const ResourceScript& resources, LPCSTR name);

// The executable's resources, parsed on first use; null when the program carries no script
// or it does not parse (said once on standard error).
const ResourceScript* ExecutableResources();

// What LoadMenuA does, over any script: null when the script does not parse or has no such
// menu. The handle is freed with DestroyMenu.
HMENU LoadMenuFromScript(std::string_view script, LPCSTR name);

}  // namespace vrel::resources
