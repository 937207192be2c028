#include "runtime/port/menu_commands.h"

#include "runtime/port/protocol.h"
#include "runtime/resources/resource_script.h"

namespace vrel::port {
namespace {

constexpr int kMaxDepth = 8;
constexpr UINT kNoId = 0xFFFFFFFF;

// "&Open\tCtrl+O" → "Open"; "&&" stays one '&'.
std::string PlainItemText(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size() && text[i] != '\t'; ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}

std::string ItemText(HMENU menu, int position) {
    char text[256] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    return text;
}

void Collect(HMENU menu, int depth, std::vector<MenuCommand>* out) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        if (HMENU popup = GetSubMenu(menu, position)) {
            if (depth < kMaxDepth) {
                Collect(popup, depth + 1, out);
            }
            continue;
        }
        const UINT id = GetMenuItemID(menu, position);
        std::string name = PlainItemText(ItemText(menu, position));
        if (id != 0 && id != kNoId && !name.empty()) {
            out->push_back(MenuCommand{std::move(name), id});
        }
    }
}

}  // namespace

std::vector<MenuCommand> MenuCommands(HMENU menu) {
    std::vector<MenuCommand> commands;
    Collect(menu, 0, &commands);
    return commands;
}

std::vector<MenuCommand> ExecutableMenuCommands() {
    std::vector<MenuCommand> commands;
    const resources::ResourceScript* script = resources::ExecutableResources();
    for (size_t i = 0; script != nullptr && i < script->menus.size(); ++i) {
        HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(script->menus[i].id));
        Collect(menu, 0, &commands);
        DestroyMenu(menu);
    }
    return commands;
}

std::optional<UINT> FindMenuCommand(const std::vector<MenuCommand>& commands,
                                    std::string_view name) {
    for (const MenuCommand& command : commands) {
        if (EqualsNoCase(command.name, name)) {
            return command.id;
        }
    }
    return std::nullopt;
}

}  // namespace vrel::port
