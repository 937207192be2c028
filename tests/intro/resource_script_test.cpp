// The resource-script reader: the menus it gives for what it accepts, and the line and cause
// it gives for what it refuses, never a half-made menu. (Broken input at large is the
// reader's fuzz target.)
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#include "runtime/resources/resource_script.h"
#include "tests/intro/menu_render_support.h"

namespace {

using intro_test::Render;
using vrel::resources::ParseResourceScript;

struct AcceptedCase {
    const char* label;
    std::string script;
    const char* menus;  // as Render writes them
};

const AcceptedCase kAccepted[] = {
    {"empty script", "", ""},
    {"braces and lower-case words", "5 menu { menuitem \"a\", 1 }", "5/0000{1 \"a\"}"},
    {"BEGIN/END with a popup",
     "5 MENU\nBEGIN\n POPUP \"p\"\n BEGIN\n  MENUITEM \"a\", 1\n END\nEND",
     "5/0000{POPUP \"p\"{1 \"a\"}}"},
    {"separator and options",
     "5 MENU DISCARDABLE PRELOAD { MENUITEM \"a\", 1, GRAYED, CHECKED MENUITEM SEPARATOR "
     "MENUITEM \"b\", 2 }",
     "5/0000{1 \"a\",SEPARATOR,2 \"b\"}"},
    {"escapes and doubled quotes", R"(5 MENU { MENUITEM "t\tn\n""q""\\\a\r\"", 1 })",
     R"(5/0000{1 "t\x09n\x0A"q"\\x08\x0D""})"},
    {"hex numbers and the largest id", "0x10 MENU { MENUITEM \"a\", 0X3e8 MENUITEM \"b\", 65535 }",
     "16/0000{1000 \"a\",65535 \"b\"}"},
    {"comments of both kinds",
     "// one\n/* two\nthree */ 5 MENU // four\n{ /* x */ MENUITEM \"a\", 1 }", "5/0000{1 \"a\"}"},
    {"language by name, then by number",
     "LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\n1 MENU {}\nLANGUAGE 9, 1\n2 MENU {}",
     "1/0407{} 2/0409{}"},
    {"code page 65001: umlaut, euro, a character 1252 lacks",
     "#pragma code_page(65001)\n5 MENU { MENUITEM \"Men\xC3\xBC \xE2\x82\xAC \xE2\x86\x92\", 1 }",
     R"(5/0000{1 "Men\xFC \x80 ?"})"},
    {"no pragma means 1252", "5 MENU { MENUITEM \"\xC3\xBC\", 1 }", R"(5/0000{1 "\xC3\xBC"})"},
    {"back to 1252 mid-file, CRLF lines",
     "#pragma code_page(65001)\r\n  #pragma code_page(1252)\r\n5 MENU { MENUITEM \"\xFC\", 1 }",
     R"(5/0000{1 "\xFC"})"},
};

TEST(ResourceScript, AcceptedScriptsGiveTheirMenus) {
    for (const AcceptedCase& c : kAccepted) {
        const vrel::resources::ResourceParseResult result = ParseResourceScript(c.script);
        ASSERT_TRUE(result.script.has_value()) << c.label << ": " << result.error;
        EXPECT_EQ(Render(*result.script), c.menus) << c.label;
    }
}

std::string Nested(int depth) {
    std::string script = "5 MENU ";
    for (int i = 1; i < depth; ++i) {
        script += "{ POPUP \"p\" ";
    }
    return script + "{" + std::string(static_cast<size_t>(depth), '}');
}

struct RefusedCase {
    const char* label;
    std::string script;
    const char* error;  // the whole message, line included
};

const RefusedCase kRefused[] = {
    {"unterminated string", "5 MENU {\n MENUITEM \"abc, 1 }",
     "line 2: expected '\"' before the line ends"},
    {"string broken by a newline", "5 MENU { MENUITEM \"a\nb\", 1 }",
     "line 1: expected '\"' before the line ends"},
    {"NUL in a string", std::string("5 MENU { MENUITEM \"a") + '\0' + "\", 1 }",
     "line 1: expected '\"' before the line ends"},
    {"missing END", "5 MENU\nBEGIN\n MENUITEM \"a\", 1\n",
     "line 4: expected MENUITEM, POPUP or END"},
    {"missing BEGIN", "5 MENU MENUITEM \"a\", 1", "line 1: expected BEGIN or '{'"},
    {"a resource type that starts like MENU", "1 MENUEX {}",
     "line 1: expected MENU after the menu number"},
    {"a menu named by a word", "Main MENU {}", "line 1: expected a menu number from 0 to 65535"},
    {"a byte-order mark",
     "\xEF\xBB\xBF"
     "5 MENU {}",
     "line 1: expected a menu number from 0 to 65535"},
    {"id above 65535", "5 MENU { MENUITEM \"a\", 65536 }",
     "line 1: expected the item's id from 0 to 65535"},
    {"symbolic id", "5 MENU { MENUITEM \"a\", IDM_OPEN }",
     "line 1: expected the item's id from 0 to 65535"},
    {"suffixed number", "5 MENU { MENUITEM \"a\", 1001L }",
     "line 1: expected the item's id from 0 to 65535"},
    {"bare hex prefix", "0x MENU {}", "line 1: expected a menu number from 0 to 65535"},
    {"id without a comma", "5 MENU { MENUITEM \"a\" 1 }",
     "line 1: expected ',' after the item's text"},
    {"option without a comma", "5 MENU { MENUITEM \"a\", 1 GRAYED }",
     "line 1: expected MENUITEM, POPUP or END"},
    {"trailing comma", "5 MENU { MENUITEM \"a\", 1, }",
     "line 1: expected an item option after ','"},
    {"text missing", "5 MENU { MENUITEM 1 }", "line 1: expected the item's text"},
    {"popup text missing", "5 MENU { POPUP { } }", "line 1: expected the popup's text"},
    {"#include", "\n\n#include \"resource.h\"",
     "line 3: expected #pragma code_page(65001) or (1252)"},
    {"unknown code page", "#pragma code_page(437)",
     "line 1: expected #pragma code_page(65001) or (1252)"},
    {"directive after a statement", "LANGUAGE 7, 1 #pragma code_page(1252)",
     "line 1: expected a directive alone on its line"},
    {"invalid UTF-8", "#pragma code_page(65001)\n5 MENU { MENUITEM \"\xC3(\", 1 }",
     "line 2: expected valid UTF-8"},
    {"overlong UTF-8", "#pragma code_page(65001)\n5 MENU { MENUITEM \"\xC0\xAF\", 1 }",
     "line 2: expected valid UTF-8"},
    {"truncated UTF-8 at the end", "#pragma code_page(65001)\n5 MENU { MENUITEM \"\xE2\x82",
     "line 2: expected valid UTF-8"},
    {"unknown escape", R"(5 MENU { MENUITEM "\x41", 1 })",
     R"(line 1: expected ", \, n, t, r or a after \)"},
    {"backslash at the end", "5 MENU { MENUITEM \"\\",
     R"(line 1: expected ", \, n, t, r or a after \)"},
    {"unterminated comment", "5 MENU {\n/* never\nends", "line 2: expected */ to end the comment"},
    {"too deep", Nested(17), "line 1: expected at most 16 menu levels"},
    {"unknown language name", "LANGUAGE LANG_KLINGON, 1",
     "line 1: expected a language number from 0 to 1023"},
    {"sublanguage name first", "LANGUAGE SUBLANG_GERMAN, 1",
     "line 1: expected a language number from 0 to 1023"},
    {"sublanguage out of range", "LANGUAGE 7, 64",
     "line 1: expected a language number from 0 to 63"},
    {"language without a sublanguage", "LANGUAGE 7\n5 MENU {}",
     "line 2: expected ',' before the sublanguage"},
    {"a control byte", "5 MENU {\x01}", "line 1: expected MENUITEM, POPUP or END"},
    {"lines counted past comments", "/*\n\n*/\n// x\n\n5 MENU { MENUITEM }",
     "line 6: expected the item's text"},
};

TEST(ResourceScript, RefusedScriptsSayWhatAndWhere) {
    for (const RefusedCase& c : kRefused) {
        const vrel::resources::ResourceParseResult result = ParseResourceScript(c.script);
        EXPECT_FALSE(result.script.has_value())
            << c.label << " was accepted as " << Render(*result.script);
        EXPECT_EQ(result.error, c.error) << c.label;
        EXPECT_EQ(vrel::resources::LoadMenuFromScript(c.script, MAKEINTRESOURCEA(5)), nullptr)
            << c.label;
    }
}

TEST(ResourceScript, NestingUpToTheLimitIsAMenu) {
    HMENU menu = vrel::resources::LoadMenuFromScript(Nested(16), MAKEINTRESOURCEA(5));
    ASSERT_NE(menu, nullptr);
    HMENU inner = menu;
    for (int i = 1; i < 16; ++i) {
        inner = GetSubMenu(inner, 0);
        ASSERT_NE(inner, nullptr) << "level " << i;
    }
    EXPECT_EQ(GetMenuItemCount(inner), 0);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(inner), -1) << "the innermost popup went with the menu";
}

}  // namespace
