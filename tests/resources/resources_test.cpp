// The resource-script reader (menus for what it accepts, line and cause for what it refuses,
// never a half-made menu; broken input at large: its fuzz target) and the menu calls.
#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/resources/resource_script.h"

namespace {

using namespace vrel::resources;

// Menus in a line: <id>/<language>{1 "a",SEPARATOR,POPUP "p"{...}}.
std::string Render(const std::vector<MenuItemResource>& items) {
    std::string out;
    for (const auto& item : items) {
        out += (out.empty() ? "" : ",") +
               (item.separator ? "SEPARATOR"
                : item.popup   ? "POPUP \"" + item.text + "\"" + Render(item.items)
                               : std::to_string(item.id) + " \"" + item.text + "\"");
    }
    return "{" + out + "}";
}

std::string Render(const ResourceScript& script) {
    std::string out;
    for (const MenuResource& menu : script.menus) {
        out += (out.empty() ? "" : " ") + std::to_string(menu.id) + "/" +
               std::to_string(menu.language) + Render(menu.items);
    }
    return out;
}

// A menu `depth` popups deep, as a script or as Render writes it.
std::string Nested(int depth, const std::string& head, const std::string& level) {
    std::string text = head;
    for (int i = 1; i < depth; ++i) {
        text += level;
    }
    return text + "{" + std::string(static_cast<size_t>(depth), '}');
}

// Each row: a script, and the menus it gives or the line and cause it is refused for.
TEST(ResourceScript, EachScriptGivesItsMenusOrSaysWhereAndWhyNot) {
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"5 menu begin popup \"p\" Begin MENUITEM \"a\",1 END end", "5/0{POPUP \"p\"{1 \"a\"}}"},
        {"5 MENU FIXED PURE { MENUITEM \"a\", 1, GRAYED, HELP }", "5/0{1 \"a\"}"},
        {R"(5 MENU { MENUITEM "t\tn\n""q""\\\a\r\"", 1 })", "5/0{1 \"t\tn\n\"q\"\\\b\r\"\"}"},
        {"0x10 MENU {MENUITEM \"a\",0X3e8 MENUITEM \"b\",65535}", "16/0{1000 \"a\",65535 \"b\"}"},
        {"// a\n/* b\nc */5 MENU // d\n{/* e */MENUITEM \"a\", 1}", "5/0{1 \"a\"}"},
        {"LANGUAGE LANG_GERMAN,SUBLANG_GERMAN 1 MENU{} LANGUAGE 9,1 2 MENU{}", "1/1031{} 2/1033{}"},
        {"#pragma code_page(65001)\n5 MENU { MENUITEM \"\xC3\xBC\xE2\x82\xAC\xE2\x86\x92\", 1 }",
         "5/0{1 \"\xFC\x80?\"}"},  // UTF-8 into 1252, '?' where 1252 has none
        {"5 MENU { MENUITEM \"\xC3\xBC\", 1 }", "5/0{1 \"\xC3\xBC\"}"},  // 1252 by default
        {"#pragma code_page(65001)\r\n  #pragma code_page(1252)\r\n5 MENU { MENUITEM \"\xFC\", 1 }",
         "5/0{1 \"\xFC\"}"},
        {Nested(16, "5 MENU ", "{ POPUP \"p\" "), Nested(16, "5/0", "{POPUP \"p\"")},
        {Nested(17, "5 MENU ", "{ POPUP \"p\" "), "line 1: expected at most 16 menu levels"},
        {"5 MENU {\n MENUITEM \"abc, 1 }", "line 2: expected '\"' before the line ends"},
        {std::string("5 MENU { MENUITEM \"a") + '\0' + "\", 1 }",
         "line 1: expected '\"' before the line ends"},
        {"5 MENU\nBEGIN\n MENUITEM \"a\", 1\n", "line 4: expected MENUITEM, POPUP or END"},
        {"5 MENU MENUITEM \"a\", 1", "line 1: expected BEGIN or '{'"},
        {"1 MENUEX {}", "line 1: expected MENU after the menu number"},
        {"Main MENU {}", "line 1: expected a menu number from 0 to 65535"},
        {"5 MENU { MENUITEM \"a\", 65536 }", "line 1: expected the item's id from 0 to 65535"},
        {"5 MENU { MENUITEM \"a\" 1 }", "line 1: expected ',' after the item's text"},
        {"5 MENU { MENUITEM \"a\", 1, }", "line 1: expected an item option after ','"},
        {"5 MENU { MENUITEM 1 }", "line 1: expected the item's text"},
        {"5 MENU { POPUP { } }", "line 1: expected the popup's text"},
        {"\n\n#pragma code_page(437)", "line 3: expected #pragma code_page(65001) or (1252)"},
        {"LANGUAGE 7, 1 #pragma code_page(1252)", "line 1: expected a directive alone on its line"},
        {"#pragma code_page(65001)\n5 MENU { MENUITEM \"\xE2\x82", "line 2: expected valid UTF-8"},
        {R"(5 MENU { MENUITEM "\x41", 1 })", R"(line 1: expected ", \, n, t, r or a after \)"},
        {"5 MENU {\n/* never\nends", "line 2: expected */ to end the comment"},
        {"LANGUAGE LANG_KLINGON, 1", "line 1: expected a language number from 0 to 1023"},
        {"LANGUAGE 7, 64", "line 1: expected a language number from 0 to 63"},
        {"LANGUAGE 7\n5 MENU {}", "line 2: expected ',' before the sublanguage"},
    };
    for (const auto& [script, outcome] : rows) {
        const ResourceParseResult result = ParseResourceScript(script);
        EXPECT_EQ(result.script ? Render(*result.script) : result.error, outcome) << script;
        if (!result.script) {
            EXPECT_EQ(LoadMenuFromScript(script, MAKEINTRESOURCEA(5)), nullptr) << script;
        }
    }
}

HMENU TestMenu() {
    return LoadMenuFromScript(
        R"(7 MENU { POPUP "File" { MENUITEM "Open", 11  MENUITEM SEPARATOR  MENUITEM "Quit", 12 }
                    MENUITEM "Help", 13 })",
        MAKEINTRESOURCEA(7));
}

// Text is cut to the caller's buffer and always terminated; ids and popups by position; and
// handles that are not (or no longer) menus are refused without touching the caller's memory.
TEST(MenuCalls, TextIdsAndPopupsOfAMenuAndHandlesThatAreNotMenus) {
    const struct {
        UINT item, flags;
        int maxCount;
        int result;
        const char* text;  // what the 6-byte buffer holds after the call; null: no buffer
    } cases[] = {
        {0, MF_BYPOSITION, 5, 4, "File"},   {0, MF_BYPOSITION, 4, 3, "Fil"},
        {0, MF_BYPOSITION, 1, 0, ""},       {0, MF_BYPOSITION, 0, 0, "#####"},
        {0, MF_BYPOSITION, 10, 4, nullptr}, {12, MF_BYCOMMAND, 10, 4, "Quit"},
        {99, MF_BYCOMMAND, 10, 0, "#####"}, {5, MF_BYPOSITION, 10, 0, "#####"},
    };
    HMENU menu = TestMenu();
    ASSERT_NE(menu, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "item " << c.item << ", maxCount " << c.maxCount);
        char text[6] = "#####";
        EXPECT_EQ(GetMenuStringA(menu, c.item, c.text ? text : nullptr, c.maxCount, c.flags),
                  c.result);
        EXPECT_STREQ(text, c.text ? c.text : "#####");
    }
    HMENU file = GetSubMenu(menu, 0);
    EXPECT_EQ(GetMenuItemID(file, 1), 0u) << "a separator's id";
    EXPECT_EQ(GetMenuItemID(file, 3), 0xFFFFFFFFu) << "past the end";
    EXPECT_EQ(GetSubMenu(menu, 1), nullptr) << "a command has no popup";
    EXPECT_TRUE(DestroyMenu(menu));
    HMENU next = TestMenu();
    ASSERT_NE(next, menu) << "a freed handle came back";
    int somewhere = 0;
    for (HMENU h : {HMENU{}, reinterpret_cast<HMENU>(0x1), reinterpret_cast<HMENU>(&somewhere),
                    reinterpret_cast<HMENU>(~uintptr_t{0}), menu, file}) {
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
