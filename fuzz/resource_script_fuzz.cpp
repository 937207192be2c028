// Any bytes as a resource script: the reader gives menus or an error with a line that exists,
// never a crash, and every menu it gives loads into handles that show exactly what it read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"

namespace {

using vrel::resources::MenuItemResource;

constexpr int kMaxDepth = 16;  // the reader's own limit on nested popups

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string ItemText(HMENU menu, int position) {
    const int length = GetMenuStringA(menu, static_cast<UINT>(position), nullptr, 0, MF_BYPOSITION);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    Require(GetMenuStringA(menu, static_cast<UINT>(position), text.data(), length + 1,
                           MF_BYPOSITION) == length);
    text.resize(static_cast<size_t>(length));
    return text;
}

void RequireSame(HMENU menu, const std::vector<MenuItemResource>& items, int depth) {
    Require(depth <= kMaxDepth && GetMenuItemCount(menu) == static_cast<int>(items.size()));
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const MenuItemResource& item = items[static_cast<size_t>(i)];
        Require(item.text.find('\0') == std::string::npos && ItemText(menu, i) == item.text);
        Require(!item.separator || (item.text.empty() && item.id == 0));
        HMENU popup = GetSubMenu(menu, i);
        Require((popup != nullptr) == item.popup);
        if (popup != nullptr) {
            RequireSame(popup, item.items, depth + 1);
        } else {
            Require(GetMenuItemID(menu, i) == item.id);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    const vrel::resources::ResourceParseResult parsed =
        vrel::resources::ParseResourceScript(script);
    if (!parsed.script) {
        const size_t lines =
            1 + static_cast<size_t>(std::count(script.begin(), script.end(), '\n'));
        const size_t line = std::strtoul(parsed.error.c_str() + 5, nullptr, 10);
        Require(parsed.error.rfind("line ", 0) == 0 && line >= 1 && line <= lines);
        Require(vrel::resources::LoadMenuFromScript(script, MAKEINTRESOURCEA(1)) == nullptr);
        return 0;
    }
    std::set<WORD> loaded;  // LoadMenuA finds the first of several menus with one number
    for (const vrel::resources::MenuResource& resource : parsed.script->menus) {
        if (!loaded.insert(resource.id).second || resource.id == 0) {
            continue;  // MAKEINTRESOURCEA(0) is no name
        }
        HMENU menu = vrel::resources::LoadMenuFromScript(script, MAKEINTRESOURCEA(resource.id));
        Require(menu != nullptr);
        RequireSame(menu, resource.items, 1);
        Require(DestroyMenu(menu) && GetMenuItemCount(menu) == -1);
    }
    return 0;
}
