// Menu calls over the handles LoadMenuA gives: text cut to the caller's buffer and always
// terminated, ids and popups by position, and handles that are not (or no longer) menus
// refused without touching the caller's memory.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"

namespace {

HMENU TestMenu() {
    return vrel::resources::LoadMenuFromScript(
        R"(7 MENU { POPUP "File" { MENUITEM "Open", 11  MENUITEM SEPARATOR  MENUITEM "Quit", 12 }
                    MENUITEM "Help", 13 })",
        MAKEINTRESOURCEA(7));
}

TEST(MenuCalls, TextIsCutToTheBufferAndAlwaysTerminated) {
    const struct {
        UINT item, flags;
        int maxCount;
        bool buffer;
        int result;
        const char* text;  // what the 6-byte buffer holds after the call
    } cases[] = {
        {0, MF_BYPOSITION, 10, true, 4, "File"},  {0, MF_BYPOSITION, 5, true, 4, "File"},
        {0, MF_BYPOSITION, 4, true, 3, "Fil"},    {0, MF_BYPOSITION, 1, true, 0, ""},
        {0, MF_BYPOSITION, 0, true, 0, "#####"},  {0, MF_BYPOSITION, 10, false, 4, "#####"},
        {12, MF_BYCOMMAND, 10, true, 4, "Quit"},  {13, MF_BYCOMMAND, 10, true, 4, "Help"},
        {99, MF_BYCOMMAND, 10, true, 0, "#####"}, {5, MF_BYPOSITION, 10, true, 0, "#####"},
    };
    HMENU menu = TestMenu();
    ASSERT_NE(menu, nullptr);
    for (const auto& c : cases) {
        char text[6] = "#####";
        EXPECT_EQ(GetMenuStringA(menu, c.item, c.buffer ? text : nullptr, c.maxCount, c.flags),
                  c.result)
            << "item " << c.item << ", maxCount " << c.maxCount;
        EXPECT_STREQ(text, c.text) << "item " << c.item << ", maxCount " << c.maxCount;
    }
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ(GetMenuItemID(file, 1), 0u) << "a separator's id";
    EXPECT_EQ(GetMenuItemID(file, 3), 0xFFFFFFFFu) << "past the end";
    EXPECT_EQ(GetSubMenu(menu, 1), nullptr) << "a command has no popup";
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(file), -1) << "the popup went with its menu";
}

TEST(MenuCalls, HandlesThatAreNotMenusAreRefused) {
    int somewhere = 0;
    HMENU destroyed = TestMenu();
    DestroyMenu(destroyed);
    HMENU next = TestMenu();
    EXPECT_NE(next, destroyed) << "a freed handle came back";
    for (HMENU h : {HMENU{}, reinterpret_cast<HMENU>(0x1), reinterpret_cast<HMENU>(&somewhere),
                    reinterpret_cast<HMENU>(~uintptr_t{0}), destroyed}) {
        char text[4] = "abc";
        EXPECT_EQ(GetMenuItemCount(h), -1);
        EXPECT_EQ(GetMenuItemID(h, 0), 0xFFFFFFFFu);
        EXPECT_EQ(GetSubMenu(h, 0), nullptr);
        EXPECT_EQ(GetMenuStringA(h, 0, text, sizeof text, MF_BYPOSITION), 0);
        EXPECT_STREQ(text, "abc");
        EXPECT_FALSE(DestroyMenu(h));
    }
    DestroyMenu(next);
}

}  // namespace
