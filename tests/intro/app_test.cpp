// The commands the intro's window takes (and the menu that names them), and its teardown.
#include "app/commands.h"
#include "app/shutdown.h"
#include "runtime/com/com_runtime.h"
#include "tests/intro/intro_support.h"

namespace intro_test {
namespace {

using Commands = IntroTest;

// Each row: how the intro got there, the command, and what it is like afterwards. Playing
// is three frames into the movie; Pause keeps the position for Start.
TEST_F(Commands, EachCommandInEachState) {
    const std::vector<WPARAM> nothing, playing = {IDM_OPEN, F, F, F},
                                       paused = {IDM_OPEN, F, F, F, IDM_PAUSE};
    Check({
        {nothing, IDM_START, "Error: Please select a movie file first."},
        {nothing, IDM_PAUSE, ""},
        {nothing, IDM_STOP, ""},
        {nothing, ACTIVE, ""},  // activation means playing only once a movie is loaded
        {playing, IDM_OPEN, "active loaded | stream 2 runs at 0"},
        {playing, IDM_START, "active loaded | stream 1 runs at 3"},
        {playing, IDM_PAUSE, "paused loaded | stream 1 stopped at 3"},
        {playing, IDM_STOP, "loaded | stream 1 stopped at 1 | shown 1"},  // the first frame
        {playing, IDM_EXIT, "active loaded | stream 1 runs at 3 | Quit: Quit the Program?"},
        {playing, EXIT_YES, "active loaded | Quit: Quit the Program? | quit"},
        {playing, IDM_ABOUT,
         "active loaded | stream 1 runs at 3 | About: This application uses multimedia streaming "
         "to render a video file to a DirectDraw surface created through DirectDrawEx."},
        {playing, INACTIVE, "loaded | stream 1 runs at 3"},
        {playing, IDM_OPEN | 0x10000, "active loaded | stream 1 runs at 3"},  // not a command
        {paused, IDM_START, "active loaded | stream 1 runs at 3"},
        {paused, IDM_OPEN, "active loaded | stream 2 runs at 0"},
        {paused, ACTIVE, "active paused loaded | stream 1 stopped at 3"},
        {{IDM_OPEN, F, F, F, IDM_STOP}, IDM_START, "active loaded | stream 2 runs at 0"},
        {{IDM_OPEN, F, F, F, INACTIVE}, ACTIVE, "active loaded | stream 1 runs at 3"},
        {{IDM_OPEN, F, F, F, IDM_PAUSE, IDM_STOP}, IDM_START, "active loaded | stream 1 runs at 0"},
        {{NO_RUN}, IDM_OPEN, "active loaded | quit"},  // ends without a word
        {{IDM_OPEN, F, F, F, IDM_STOP, NO_RUN}, IDM_START, "active loaded | quit"},
    });
}

// Teardown gives back every object, the stream's first (released, it stops), DirectDraw's last,
// and the font, and undoes its own COM initialisation; a second gives back nothing.
TEST_F(Commands, DestroyingTheWindowGivesBackEverythingInOrder) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);  // an outer initialisation, which must stay
    StartDisplay();
    Apply(IDM_OPEN);
    Apply(F);  // makes the font, which teardown deletes
    Mark();
    Apply(DESTROY);
    const std::vector<std::string> released = {
        "stream.Release",  "sample.Release",  "video.Release",
        "factory.Release", "primary.Release", "offscreen.Release",
        "clipper.Release", "dd3.Release",     "dd.Release"};
    EXPECT_EQ(W().calls, released);
    Shutdown();
    EXPECT_EQ(W().calls, released) << "the second teardown gave something back";
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1) << "the outer initialisation is gone or kept";
}

// Menu 101 names the six commands with their ids, for tools that send them from outside.
TEST(IntroMenu, Menu101NamesTheSixCommandsWithTheirIds) {
    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    HMENU popup = GetSubMenu(menu, 0);
    char text[16] = {};
    std::string items;
    for (int i = 0; GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION) > 0; ++i) {
        items += std::string(" ") + text + "=" + std::to_string(GetMenuItemID(popup, i));
    }
    EXPECT_EQ(items, " About=1005 Exit=1000 Open=1001 Pause=1003 Start=1002 Stop=1004");
    DestroyMenu(menu);
}

}  // namespace
}  // namespace intro_test
