// Doubles of DirectDraw and the multimedia stream in front of the runtime's own classes, so
// the intro's real code runs against them; a clean desktop and AppState for every test, boxes
// answered in-process, and a check that no COM or GDI object is left.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "common/fake_surface.h"

namespace intro_test {

// What the doubles saw and the failures they are told to give; fresh for every test.
struct World {
    // How a call as `calls` writes it starts (e.g. "dd.SetDisplayMode") -> its result.
    std::map<std::string, HRESULT> faults;
    // e.g. "dd.SetDisplayMode(640,480,32)", "primary.Blt(<to><-<from>)", "stream.Release"
    std::vector<std::string> calls;
    std::vector<std::string> boxes;  // "<caption>: <text>"
    int streams = 0;                 // streams made so far: the number of the current one
    bool running = false;
    int frame = 0;  // the next frame the current stream delivers
    bool streamAlive = false;
    bool streamInBox = false;   // a stream object was alive while a box was open
    std::vector<uint32_t> ink;  // per frame drawn: the text's colour (0x00RRGGBB), if any
    LONG textFrom = 1 << 20;    // the columns anything was drawn in, over all frames
    LONG textTo = 0;
};
World& W();

// Steps for the tables beside the menu's commands: a frame, losing and regaining activation,
// confirming Exit, destroying the window; and faults for what comes after: a stream that
// will not run, a sample that finds it stopped, at its end or broken, no context, a lost blit.
constexpr WPARAM F = 1, INACTIVE = 2, ACTIVE = 3, EXIT_YES = 4, DESTROY = 5, NO_RUN = 6, IDLE = 7,
                 END = 8, BROKEN = 9, NO_DC = 10, LOST = 11;

// The steps that bring the intro there, the step, and Describe() after it.
using Row = std::tuple<std::vector<WPARAM>, WPARAM, std::string>;

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    void StartDisplay();  // the intro's window at (100, 50) as g_app.mainWindow; display setup
    void Send(UINT message, WPARAM wParam) { SendMessageA(g_app.mainWindow, message, wParam, 0); }
    // Forgets the calls and boxes so far, so Describe tells only what comes after.
    void Mark() {
        W().calls.clear();
        W().boxes.clear();
    }
    void Apply(WPARAM step);
    void Check(const std::vector<Row>& rows);  // each on a fresh display
    // The intro's state in a line: "active paused loaded | stream <n> runs|stopped at <frame>
    // | shown <blits> | <boxes> | quit", leaving out what is not so.
    static std::string Describe();

    int exitAnswer = IDNO;  // what the Quit box is answered with
    long liveObjects_ = 0;
    size_t gdiHandles_ = 0;
};

}  // namespace intro_test
