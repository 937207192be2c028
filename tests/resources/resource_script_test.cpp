// The resource-script reader: the menus it gives for what it accepts, and the line and cause
// it gives for what it refuses, never a half-made menu. (Broken input at large: its fuzz target.)
#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/resources/resource_script.h"

namespace {

using vrel::resources::ParseResourceScript;

// Menus in a line: 5/0407{1 "a",SEPARATOR,POPUP "p"{...}}.
std::string Render(const std::vector<vrel::resources::MenuItemResource>& items) {
    std::string out;
    for (const auto& item : items) {
        out += (out.empty() ? "" : ",") +
               (item.separator ? "SEPARATOR"
                : item.popup   ? "POPUP \"" + item.text + "\"" + Render(item.items)
                               : std::to_string(item.id) + " \"" + item.text + "\"");
    }
    return "{" + out + "}";
}

std::string Render(const vrel::resources::ResourceScript& script) {
    std::string out;
    for (const vrel::resources::MenuResource& menu : script.menus) {
        char head[16];
        std::snprintf(head, sizeof head, "%u/%04X", unsigned{menu.id}, unsigned{menu.language});
        out += (out.empty() ? "" : " ") + std::string(head) + Render(menu.items);
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

TEST(ResourceScript, AcceptedScriptsGiveTheirMenus) {
    const std::pair<std::string, std::string> accepted[] = {
        {"", ""},
        {"5 menu { menuitem \"a\", 1 }", "5/0000{1 \"a\"}"},
        {"5 MENU BEGIN POPUP \"p\" BEGIN MENUITEM \"a\",1 END END", "5/0000{POPUP \"p\"{1 \"a\"}}"},
        {"5 MENU DISCARDABLE PRELOAD { MENUITEM \"a\", 1, GRAYED, CHECKED MENUITEM SEPARATOR }",
         "5/0000{1 \"a\",SEPARATOR}"},
        {R"(5 MENU { MENUITEM "t\tn\n""q""\\\a\r\"", 1 })", "5/0000{1 \"t\tn\n\"q\"\\\b\r\"\"}"},
        {"0x10 MENU { MENUITEM \"a\", 0X3e8 MENUITEM \"b\", 65535 }",
         "16/0000{1000 \"a\",65535 \"b\"}"},
        {"// a\n/* b\nc */5 MENU // d\n{/* e */MENUITEM \"a\", 1}", "5/0000{1 \"a\"}"},
        {"LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\n1 MENU {}\nLANGUAGE 9, 1\n2 MENU {}",
         "1/0407{} 2/0409{}"},
        {"#pragma code_page(65001)\n5 MENU { MENUITEM \"\xC3\xBC\xE2\x82\xAC\xE2\x86\x92\", 1 }",
         "5/0000{1 \"\xFC\x80?\"}"},  // UTF-8 into 1252, '?' where 1252 has none
        {"5 MENU { MENUITEM \"\xC3\xBC\", 1 }", "5/0000{1 \"\xC3\xBC\"}"},  // 1252 by default
        {"#pragma code_page(65001)\r\n  #pragma code_page(1252)\r\n5 MENU { MENUITEM \"\xFC\", 1 }",
         "5/0000{1 \"\xFC\"}"},
        {Nested(16, "5 MENU ", "{ POPUP \"p\" "), Nested(16, "5/0000", "{POPUP \"p\"")},
    };
    for (const auto& [script, menus] : accepted) {
        const vrel::resources::ResourceParseResult result = ParseResourceScript(script);
        ASSERT_TRUE(result.script.has_value()) << script << ": " << result.error;
        EXPECT_EQ(Render(*result.script), menus) << script;
    }
}

TEST(ResourceScript, RefusedScriptsSayWhereAndWhy) {
    const std::pair<std::string, std::string> refused[] = {
        {"5 MENU {\n MENUITEM \"abc, 1 }", "line 2: expected '\"' before the line ends"},
        {std::string("5 MENU { MENUITEM \"a") + '\0' + "\", 1 }",
         "line 1: expected '\"' before the line ends"},
        {"5 MENU\nBEGIN\n MENUITEM \"a\", 1\n", "line 4: expected MENUITEM, POPUP or END"},
        {"5 MENU MENUITEM \"a\", 1", "line 1: expected BEGIN or '{'"},
        {"1 MENUEX {}", "line 1: expected MENU after the menu number"},
        {"Main MENU {}", "line 1: expected a menu number from 0 to 65535"},
        {"\xEF\xBB\xBF 5 MENU {}", "line 1: expected a menu number from 0 to 65535"},
        {"5 MENU { MENUITEM \"a\", 65536 }", "line 1: expected the item's id from 0 to 65535"},
        {"5 MENU { MENUITEM \"a\" 1 }", "line 1: expected ',' after the item's text"},
        {"5 MENU { MENUITEM \"a\", 1 GRAYED }", "line 1: expected MENUITEM, POPUP or END"},
        {"5 MENU { MENUITEM \"a\", 1, }", "line 1: expected an item option after ','"},
        {"5 MENU { MENUITEM 1 }", "line 1: expected the item's text"},
        {"5 MENU { POPUP { } }", "line 1: expected the popup's text"},
        {"\n\n#include \"resource.h\"", "line 3: expected #pragma code_page(65001) or (1252)"},
        {"#pragma code_page(437)", "line 1: expected #pragma code_page(65001) or (1252)"},
        {"LANGUAGE 7, 1 #pragma code_page(1252)", "line 1: expected a directive alone on its line"},
        {"#pragma code_page(65001)\n5 MENU { MENUITEM \"\xC3(\"", "line 2: expected valid UTF-8"},
        {"#pragma code_page(65001)\n5 MENU { MENUITEM \"\xE2\x82", "line 2: expected valid UTF-8"},
        {R"(5 MENU { MENUITEM "\x41", 1 })", R"(line 1: expected ", \, n, t, r or a after \)"},
        {"5 MENU { MENUITEM \"\\", R"(line 1: expected ", \, n, t, r or a after \)"},
        {"5 MENU {\n/* never\nends", "line 2: expected */ to end the comment"},
        {Nested(17, "5 MENU ", "{ POPUP \"p\" "), "line 1: expected at most 16 menu levels"},
        {"LANGUAGE LANG_KLINGON, 1", "line 1: expected a language number from 0 to 1023"},
        {"LANGUAGE 7, 64", "line 1: expected a language number from 0 to 63"},
        {"LANGUAGE 7\n5 MENU {}", "line 2: expected ',' before the sublanguage"},
        {"5 MENU {\x01}", "line 1: expected MENUITEM, POPUP or END"},
        {"/*\n\n*/\n// x\n\n5 MENU { MENUITEM }", "line 6: expected the item's text"},
    };
    for (const auto& [script, error] : refused) {
        const vrel::resources::ResourceParseResult result = ParseResourceScript(script);
        EXPECT_FALSE(result.script.has_value()) << script;
        EXPECT_EQ(result.error, error) << script;
        EXPECT_EQ(vrel::resources::LoadMenuFromScript(script, MAKEINTRESOURCEA(5)), nullptr);
    }
}

}  // namespace
