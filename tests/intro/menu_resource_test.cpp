// The menu resource: the script the executable carries, the menu LoadMenuA finds in it, and
// the menu calls over the handles LoadMenuA gives.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/commands.h"
#include "platform/win32.h"
#include "runtime/resources/resource_script.h"
#include "tests/intro/menu_render_support.h"

namespace {

using intro_test::Render;
using intro_test::RenderHandle;

const char kIntroMenu[] =
    R"({POPUP "Men\xFC"{1005 "About",1000 "Exit",1001 "Open",1003 "Pause",1002 "Start",1004 "Stop"}})";

// ---- The executable's own menu. ----

TEST(IntroMenu, TheExecutableCarriesTheScriptFromRes) {
    ASSERT_NE(vrel_resource_script, nullptr) << "the intro's resource script is not linked in";
    const std::string source = std::string(__FILE__);
    const std::string path = source.substr(0, source.rfind("tests/intro/")) + "res/vrelintro.rc";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << path;
    std::stringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(std::string(vrel_resource_script), bytes.str());
}

TEST(IntroMenu, Menu101IsTheGermanPopupWithTheSixCommandsInOrder) {
    const vrel::resources::ResourceScript* resources = vrel::resources::ExecutableResources();
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(Render(*resources), std::string("101/0407") + kIntroMenu);

    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(RenderHandle(menu), kIntroMenu);
    EXPECT_EQ(GetMenuItemID(menu, 0), 0xFFFFFFFFu) << "a popup has no command id";
    EXPECT_TRUE(DestroyMenu(menu));
}

// What a tool sending commands relies on: each name's id is the command the window runs.
TEST(IntroMenu, ItemIdsAreTheWindowsCommandIds) {
    const struct {
        const char* name;
        WPARAM command;
    } commands[] = {{"About", IDM_ABOUT}, {"Exit", IDM_EXIT},   {"Open", IDM_OPEN},
                    {"Pause", IDM_PAUSE}, {"Start", IDM_START}, {"Stop", IDM_STOP}};
    HMENU menu = LoadMenuA(reinterpret_cast<HINSTANCE>(0x1234), MAKEINTRESOURCEA(101));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 6);
    for (int i = 0; i < 6; ++i) {
        char text[16] = {};
        EXPECT_EQ(GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION),
                  static_cast<int>(std::strlen(commands[i].name)));
        EXPECT_STREQ(text, commands[i].name) << "position " << i;
        EXPECT_EQ(GetMenuItemID(popup, i), commands[i].command) << commands[i].name;
        char byCommand[16] = {};
        GetMenuStringA(menu, static_cast<UINT>(commands[i].command), byCommand, sizeof byCommand,
                       MF_BYCOMMAND);
        EXPECT_STREQ(byCommand, commands[i].name) << "found from the top menu by command";
    }
    DestroyMenu(menu);
}

TEST(IntroMenu, NamesThatAreNotMenu101LoadNothing) {
    const struct {
        const char* label;
        LPCSTR name;
        bool found;
    } cases[] = {
        {"MAKEINTRESOURCE(101)", MAKEINTRESOURCEA(101), true},
        {"\"#101\"", "#101", true},
        {"MAKEINTRESOURCE(102)", MAKEINTRESOURCEA(102), false},
        {"MAKEINTRESOURCE(0)", MAKEINTRESOURCEA(0), false},
        {"null", nullptr, false},
        {"\"101\" (a name, not a number)", "101", false},
        {"\"#\"", "#", false},
        {"\"#70000\"", "#70000", false},
        {"\"#10x\"", "#10x", false},
    };
    for (const auto& c : cases) {
        HMENU menu = LoadMenuA(nullptr, c.name);
        EXPECT_EQ(menu != nullptr, c.found) << c.label;
        DestroyMenu(menu);
    }
}

// ---- Menu calls on handles. ----

class MenuCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        menu_ = vrel::resources::LoadMenuFromScript(R"(
            7 MENU { POPUP "File" { MENUITEM "Open", 11  MENUITEM SEPARATOR  MENUITEM "Quit", 12 }
                     MENUITEM "Help", 13 })",
                                                    MAKEINTRESOURCEA(7));
        ASSERT_NE(menu_, nullptr);
    }
    void TearDown() override { DestroyMenu(menu_); }
    HMENU menu_ = nullptr;
};

TEST_F(MenuCalls, TextIsCutToTheBufferAndAlwaysTerminated) {
    const struct {
        UINT item;
        UINT flags;
        int maxCount;
        bool buffer;
        int result;
        const char* text;
    } cases[] = {
        {0, MF_BYPOSITION, 10, true, 4, "File"},  {0, MF_BYPOSITION, 5, true, 4, "File"},
        {0, MF_BYPOSITION, 4, true, 3, "Fil"},    {0, MF_BYPOSITION, 1, true, 0, ""},
        {0, MF_BYPOSITION, 0, true, 0, "#####"},  {0, MF_BYPOSITION, 10, false, 4, nullptr},
        {12, MF_BYCOMMAND, 10, true, 4, "Quit"},  {13, MF_BYCOMMAND, 10, true, 4, "Help"},
        {99, MF_BYCOMMAND, 10, true, 0, "#####"}, {5, MF_BYPOSITION, 10, true, 0, "#####"},
    };
    for (const auto& c : cases) {
        char text[6] = "#####";
        const int result =
            GetMenuStringA(menu_, c.item, c.buffer ? text : nullptr, c.maxCount, c.flags);
        EXPECT_EQ(result, c.result) << "item " << c.item << " maxCount " << c.maxCount;
        if (c.text != nullptr) {
            EXPECT_STREQ(text, c.text) << "item " << c.item << " maxCount " << c.maxCount;
        }
    }
}

TEST_F(MenuCalls, IdsCountsAndPopupsByPosition) {
    HMENU file = GetSubMenu(menu_, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu_), 2);
    EXPECT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), 11u);
    EXPECT_EQ(GetMenuItemID(file, 1), 0u) << "a separator's id";
    EXPECT_EQ(GetMenuItemID(file, 2), 12u);
    EXPECT_EQ(GetMenuItemID(file, 3), 0xFFFFFFFFu) << "past the end";
    EXPECT_EQ(GetMenuItemID(file, -1), 0xFFFFFFFFu);
    EXPECT_EQ(GetSubMenu(menu_, 1), nullptr) << "a command has no popup";
    EXPECT_EQ(GetSubMenu(menu_, 2), nullptr);
    char text[8] = "x";
    EXPECT_EQ(GetMenuStringA(file, 1, text, sizeof text, MF_BYPOSITION), 0) << "separator";
    EXPECT_STREQ(text, "");
}

TEST_F(MenuCalls, HandlesThatAreNotMenusAreRefused) {
    int somewhere = 0;
    const HMENU bogus[] = {nullptr, reinterpret_cast<HMENU>(0x1),
                           reinterpret_cast<HMENU>(&somewhere),
                           reinterpret_cast<HMENU>(~uintptr_t{0})};
    for (HMENU h : bogus) {
        char text[4] = "abc";
        EXPECT_EQ(GetMenuItemCount(h), -1);
        EXPECT_EQ(GetMenuItemID(h, 0), 0xFFFFFFFFu);
        EXPECT_EQ(GetSubMenu(h, 0), nullptr);
        EXPECT_EQ(GetMenuStringA(h, 0, text, sizeof text, MF_BYPOSITION), 0);
        EXPECT_STREQ(text, "abc");
        EXPECT_FALSE(DestroyMenu(h));
    }
}

TEST_F(MenuCalls, DestroyingAMenuDestroysItsPopups) {
    HMENU file = GetSubMenu(menu_, 0);
    EXPECT_TRUE(DestroyMenu(menu_));
    EXPECT_EQ(GetMenuItemCount(menu_), -1);
    EXPECT_EQ(GetMenuItemCount(file), -1) << "the popup went with its menu";
    EXPECT_FALSE(DestroyMenu(menu_)) << "a second destroy";
    menu_ = nullptr;
}

TEST_F(MenuCalls, APopupDestroyedOnItsOwnIsGoneFromItsMenu) {
    HMENU file = GetSubMenu(menu_, 0);
    EXPECT_TRUE(DestroyMenu(file));
    EXPECT_EQ(GetSubMenu(menu_, 0), nullptr);
    EXPECT_EQ(GetMenuItemCount(menu_), 2);
    char text[8] = {};
    EXPECT_EQ(GetMenuStringA(menu_, 12, text, sizeof text, MF_BYCOMMAND), 0);
}

TEST(MenuHandles, EveryLoadIsItsOwnMenuAndHandlesAreNotReused) {
    HMENU first = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    HMENU second = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    DestroyMenu(first);
    EXPECT_EQ(GetMenuItemCount(second), 1) << "destroying one load leaves the other";
    HMENU third = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    EXPECT_NE(third, first) << "a freed handle came back";
    EXPECT_EQ(GetMenuItemCount(first), -1);
    DestroyMenu(second);
    DestroyMenu(third);
}

TEST(MenuHandles, LoadingAndDestroyingFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 500; ++i) {
                HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
                if (GetMenuItemCount(GetSubMenu(menu, 0)) != 6 || !DestroyMenu(menu)) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
