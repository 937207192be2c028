// Doubles of DirectDraw and the multimedia stream in front of the runtime, for the intro's own
// code; a clean desktop and AppState per test, boxes answered in-process, no COM or GDI leaks.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"

namespace intro_test {

// What the doubles saw and the failures they are told to give; fresh for every test.
struct World {
    std::map<std::string, HRESULT> faults;  // how a logged call starts -> its result
    // e.g. "dd.SetDisplayMode(640,480,32)", "primary.Blt(<to><-<from>)", "stream.Release"
    std::vector<std::string> calls;
    // "<caption>: <text>", + " (a stream lives)" if a stream the intro failed to open outlives
    // it into the box's modal loop, which it must not.
    std::vector<std::string> boxes;
    int streams = 0;  // streams made so far: the number of the current one
    int frame = 0;    // the next frame the current stream delivers
    bool running = false, streamAlive = false;
    std::vector<uint32_t> ink;  // per frame drawn: the text's colour (0x00RRGGBB)
};
World& W();

// Steps beside the menu's commands: a frame, (de)activation, Exit confirmed, the window destroyed;
// faults for what follows: no run, a stopped, ended or broken sample, no context, a lost blit.
constexpr WPARAM F = 1, INACTIVE = 2, ACTIVE = 3, EXIT_YES = 4, DESTROY = 5, NO_RUN = 6, IDLE = 7,
                 END = 8, BROKEN = 9, NO_DC = 10, LOST = 11;

// The steps that bring the intro there, the step, and Describe() after it.
using Row = std::tuple<std::vector<WPARAM>, WPARAM, std::string>;

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    void StartDisplay();  // the intro's window at (100, 50) as g_app.mainWindow; display setup
    void Apply(WPARAM step);
    void Check(const std::vector<Row>& rows);  // each on a fresh display
    // The intro's state in a line: "active paused loaded | stream <n> runs|stopped at <frame>
    // | shown <blits> | <boxes> | quit", leaving out what is not so; calls and boxes since the
    // last Mark.
    static std::string Describe();
    static void Mark() { W().calls.clear(), W().boxes.clear(); }

    int exitAnswer = IDNO;  // what the Quit box is answered with
    long liveObjects_ = 0;
    size_t gdiHandles_ = 0;
};

}  // namespace intro_test
