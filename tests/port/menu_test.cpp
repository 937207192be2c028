// Command names and ids read from a menu, as vrelctl reads them from the intro's resource.
// (That the intro's own menu carries the ids its window procedure acts on is the intro's
// menu test.)
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"
#include "tools/vrelctl/port_menu.h"

namespace vrel::test {
namespace {

using port::FindMenuCommand;
using port::MenuCommand;
using port::MenuCommands;

std::string Show(const std::vector<MenuCommand>& commands) {
    std::string text;
    for (const MenuCommand& c : commands) {
        text += c.name + "=" + std::to_string(c.id) + " ";
    }
    return text;
}

TEST(PortMenuTest, NamesAreFoundWithoutRegardToCase) {
    const std::vector<MenuCommand> commands = {{"About", 1005}, {"Pause", 1003}};
    struct Case {
        const char* name;
        std::optional<UINT> id;
    };
    const std::vector<Case> cases = {
        {"about", 1005u},       {"ABOUT", 1005u},         {"pAuSe", 1003u},
        {"paus", std::nullopt}, {"pause ", std::nullopt}, {"", std::nullopt},
        {"exit", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindMenuCommand(commands, c.name), c.id) << "'" << c.name << "'";
    }
}

TEST(PortMenuTest, MarkersAcceleratorsSeparatorsAndNestedPopupsAreHandled) {
    HMENU menu = resources::LoadMenuFromScript(R"(
7 MENU
BEGIN
    POPUP "&File"
    BEGIN
        MENUITEM "&Open\tCtrl+O", 11
        MENUITEM SEPARATOR
        POPUP "Recent"
        BEGIN
            MENUITEM "Save && Quit", 12
        END
    END
    MENUITEM "He&lp", 13
END
)",
                                               MAKEINTRESOURCEA(7));
    ASSERT_NE(menu, nullptr);
    const std::vector<MenuCommand> commands = MenuCommands(menu);
    DestroyMenu(menu);
    ASSERT_EQ(commands.size(), 3u) << Show(commands);
    EXPECT_EQ(commands[0].name, "Open");
    EXPECT_EQ(commands[0].id, 11u);
    EXPECT_EQ(commands[1].name, "Save & Quit");
    EXPECT_EQ(commands[1].id, 12u);
    EXPECT_EQ(commands[2].name, "Help");
    EXPECT_TRUE(MenuCommands(nullptr).empty());
    EXPECT_TRUE(MenuCommands(reinterpret_cast<HMENU>(uintptr_t{0x1234})).empty());
}

}  // namespace
}  // namespace vrel::test
