#include "tests/intro/menu_render_support.h"

#include <cstdio>

namespace intro_test {
namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

std::string RenderHandleAt(HMENU menu, int depth) {
    std::string out = "{";
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        out += i ? "," : "";
        if (HMENU sub = GetSubMenu(menu, i)) {
            out += "POPUP " + Quote(text) + (depth < 20 ? RenderHandleAt(sub, depth + 1) : "{...}");
        } else if (GetMenuItemID(menu, i) == 0 && text[0] == '\0') {
            out += "SEPARATOR";
        } else {
            out += std::to_string(GetMenuItemID(menu, i)) + " " + Quote(text);
        }
    }
    return out + "}";
}

}  // namespace

std::string Render(const std::vector<vrel::resources::MenuItemResource>& items) {
    std::string out = "{";
    for (size_t i = 0; i < items.size(); ++i) {
        const vrel::resources::MenuItemResource& item = items[i];
        out += i ? "," : "";
        if (item.separator) {
            out += "SEPARATOR";
        } else if (item.popup) {
            out += "POPUP " + Quote(item.text) + Render(item.items);
        } else {
            out += std::to_string(item.id) + " " + Quote(item.text);
        }
    }
    return out + "}";
}

std::string Render(const vrel::resources::ResourceScript& script) {
    std::string out;
    for (const vrel::resources::MenuResource& menu : script.menus) {
        char language[8];
        std::snprintf(language, sizeof language, "%04X", menu.language);
        out += out.empty() ? "" : " ";
        out += std::to_string(menu.id) + "/" + language + Render(menu.items);
    }
    return out;
}

std::string RenderHandle(HMENU menu) {
    return RenderHandleAt(menu, 0);
}

}  // namespace intro_test
