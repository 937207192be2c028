// Menus loaded from the executable's resources: read-only handles for LoadMenuA and the
// calls that walk a menu (item count, ids, texts, popups).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"

namespace vrel::resources {
namespace {

constexpr UINT kNoItemId = 0xFFFFFFFF;

struct MenuEntry {
    std::string text;
    UINT id = 0;
    bool separator = false;
    HMENU popup = nullptr;  // its own handle, freed with this menu
};

struct Menu {
    std::vector<MenuEntry> entries;
};

// Every live menu handle. Handles are numbers that are never reused and never
// dereferenced, so a stale or made-up handle is simply not found.
class MenuTable {
  public:
    static MenuTable& Get() {
        static MenuTable table;
        return table;
    }

    HMENU Create(const std::vector<MenuItemResource>& items) {
        std::lock_guard lock(mutex_);
        return CreateLocked(items);
    }

    bool Destroy(HMENU handle) {
        std::lock_guard lock(mutex_);
        return DestroyLocked(handle);
    }

    // Runs `read` on the menu under the lock; `fallback` when the handle is not a menu.
    template <typename Result, typename Reader>
    Result Read(HMENU handle, Result fallback, Reader read) {
        std::lock_guard lock(mutex_);
        auto it = menus_.find(Key(handle));
        if (it == menus_.end()) {
            return fallback;
        }
        return read(it->second, *this);
    }

    // A menu's entry for a command id, searching its popups too (as the platform does).
    const MenuEntry* FindCommandLocked(const Menu& menu, UINT id, int depth = 0) const {
        for (const MenuEntry& entry : menu.entries) {
            if (entry.popup == nullptr && !entry.separator && entry.id == id) {
                return &entry;
            }
            auto sub = menus_.find(Key(entry.popup));
            if (entry.popup != nullptr && sub != menus_.end() && depth < 32) {
                if (const MenuEntry* found = FindCommandLocked(sub->second, id, depth + 1)) {
                    return found;
                }
            }
        }
        return nullptr;
    }

    bool IsMenuLocked(HMENU handle) const { return menus_.count(Key(handle)) != 0; }

  private:
    static uintptr_t Key(HMENU handle) { return reinterpret_cast<uintptr_t>(handle); }

    HMENU CreateLocked(const std::vector<MenuItemResource>& items) {
        Menu menu;
        for (const MenuItemResource& item : items) {
            MenuEntry entry{item.text, item.id, item.separator, nullptr};
            if (item.popup) {
                entry.popup = CreateLocked(item.items);
            }
            menu.entries.push_back(std::move(entry));
        }
        nextHandle_ += 0x10;
        menus_.emplace(nextHandle_, std::move(menu));
        return reinterpret_cast<HMENU>(nextHandle_);
    }

    bool DestroyLocked(HMENU handle) {
        auto it = menus_.find(Key(handle));
        if (it == menus_.end()) {
            return false;
        }
        std::vector<HMENU> popups;
        for (const MenuEntry& entry : it->second.entries) {
            if (entry.popup != nullptr) {
                popups.push_back(entry.popup);
            }
        }
        menus_.erase(it);
        for (HMENU popup : popups) {
            DestroyLocked(popup);  // may already be gone: destroyed on its own
        }
        return true;
    }

    std::mutex mutex_;
    std::unordered_map<uintptr_t, Menu> menus_;
    uintptr_t nextHandle_ = 0x6D000000;  // far from anything a caller might make up
};

const MenuEntry* EntryAt(const Menu& menu, int position) {
    if (position < 0 || static_cast<size_t>(position) >= menu.entries.size()) {
        return nullptr;
    }
    return &menu.entries[static_cast<size_t>(position)];
}

// Copies as much as fits with its terminator; the length copied, or the whole length when
// there is no buffer to copy into.
int CopyMenuText(const std::string& text, LPSTR buffer, int maxCount) {
    const int length = static_cast<int>(text.size());
    if (buffer == nullptr) {
        return length;
    }
    if (maxCount <= 0) {
        return 0;
    }
    const int copied = std::min(length, maxCount - 1);
    std::memcpy(buffer, text.data(), static_cast<size_t>(copied));
    buffer[copied] = '\0';
    return copied;
}

}  // namespace

const MenuResource* FindMenu(const ResourceScript& resources, LPCSTR name) {
    for (const MenuResource& menu : resources.menus) {
        // "#101" names menu 101 too, as on the platform.
        if (IS_INTRESOURCE(name) ? name != nullptr && reinterpret_cast<uintptr_t>(name) == menu.id
                                 : "#" + std::to_string(menu.id) == name) {
            return &menu;
        }
    }
    return nullptr;
}

const ResourceScript* ExecutableResources() {
    static const std::optional<ResourceScript> resources = []() -> std::optional<ResourceScript> {
        if (vrel_resource_script == nullptr) {
            return std::nullopt;
        }
        ResourceParseResult parsed = ParseResourceScript(vrel_resource_script);
        if (!parsed.script) {
            std::fprintf(stderr, "The program's resource script does not parse: %s\n",
                         parsed.error.c_str());
        }
        return std::move(parsed.script);
    }();
    return resources ? &*resources : nullptr;
}

HMENU LoadMenuFromScript(std::string_view script, LPCSTR name) {
    ResourceParseResult parsed = ParseResourceScript(script);
    if (!parsed.script) {
        return nullptr;
    }
    const MenuResource* menu = FindMenu(*parsed.script, name);
    return menu ? MenuTable::Get().Create(menu->items) : nullptr;
}

}  // namespace vrel::resources

namespace res = vrel::resources;
using res::MenuEntry;
using res::MenuTable;

// Every instance handle names this executable: there are no other modules to load from.
HMENU WINAPI LoadMenuA(HINSTANCE /*instance*/, LPCSTR name) {
    const res::ResourceScript* script = res::ExecutableResources();
    if (script == nullptr) {
        return nullptr;
    }
    const res::MenuResource* menu = res::FindMenu(*script, name);
    return menu ? MenuTable::Get().Create(menu->items) : nullptr;
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    return MenuTable::Get().Destroy(menu) ? TRUE : FALSE;
}

int WINAPI GetMenuItemCount(HMENU menu) {
    return MenuTable::Get().Read(menu, -1, [](const res::Menu& m, const MenuTable&) {
        return static_cast<int>(m.entries.size());
    });
}

UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    return MenuTable::Get().Read(
        menu, res::kNoItemId, [position](const res::Menu& m, const MenuTable&) {
            const MenuEntry* entry = res::EntryAt(m, position);
            return entry == nullptr || entry->popup != nullptr ? res::kNoItemId : entry->id;
        });
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    return MenuTable::Get().Read(
        menu, HMENU{nullptr}, [position](const res::Menu& m, const MenuTable& table) {
            const MenuEntry* entry = res::EntryAt(m, position);
            // A popup destroyed on its own is gone from its menu too.
            return entry != nullptr && table.IsMenuLocked(entry->popup) ? entry->popup : nullptr;
        });
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR text, int maxCount, UINT flags) {
    return MenuTable::Get().Read(menu, 0, [&](const res::Menu& m, const MenuTable& table) {
        const MenuEntry* entry = (flags & MF_BYPOSITION) ? res::EntryAt(m, static_cast<int>(item))
                                                         : table.FindCommandLocked(m, item);
        return entry == nullptr ? 0 : res::CopyMenuText(entry->text, text, maxCount);
    });
}
