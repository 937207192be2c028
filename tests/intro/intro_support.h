// The ground the intro's tests stand on: doubles of DirectDraw and the multimedia stream in
// front of the runtime's own classes, so the intro's real code runs against them; a clean
// desktop and AppState, boxes answered in-process, and a check that no COM or GDI object is
// left.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "common/fake_surface.h"

namespace intro_test {

constexpr STREAM_TIME kFrameTime = 400000;  // 25 frames a second, in 100 ns units
constexpr uint32_t kNoInk = 0xFFFFFFFF;

// What the doubles saw and the failures they are told to give; fresh for every test.
struct World {
    // How a call as `calls` writes it starts (e.g. "dd.SetDisplayMode") -> its result.
    std::map<std::string, HRESULT> faults;
    // e.g. "dd.SetDisplayMode(640,480,32)", "primary.Blt(<to><-<from>)", "stream.Release"
    std::vector<std::string> calls;
    std::vector<std::string> boxes;  // "<caption>: <text>"
    DWORD screenWidth = 640;         // what the primary surface reports
    DWORD screenHeight = 480;
    DDPIXELFORMAT screenFormat = vrel::test::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    DDSURFACEDESC offscreen{};  // the description the offscreen surface was made from
    int movieFrames = 1000;     // every movie is 320 x 240
    int streams = 0;            // streams made so far: the number of the current one
    bool running = false;
    int frame = 0;  // the next frame the current stream delivers
    bool streamAlive = false;
    bool streamInBox = false;   // a stream object was alive while a box was open
    std::vector<uint32_t> ink;  // per frame drawn: the text's colour (0x00RRGGBB) or kNoInk
    LONG textFrom = 1 << 20;    // the columns anything was drawn in, over all frames
    LONG textTo = 0;
};
World& W();

std::string Text(const RECT& rect);

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    void Restart() {
        TearDown();
        SetUp();
    }
    // The intro's window at (x, y) as g_app.mainWindow, and display setup.
    void StartDisplay(int x = 0, int y = 0);
    void Play(int x = 0, int y = 0);  // then Open: the movie runs
    void Send(UINT message, WPARAM wParam) { SendMessageA(g_app.mainWindow, message, wParam, 0); }
    // Forgets the calls and boxes so far, so Describe tells only what comes after.
    void Mark() {
        W().calls.clear();
        W().boxes.clear();
    }
    // The intro's state in a line: "active paused loaded | stream <n> runs|stopped at <frame>
    // | shown <blits> | <boxes> | quit", leaving out what is not so.
    static std::string Describe();

    int exitAnswer = IDNO;  // what the Quit box is answered with

  private:
    long liveObjects_ = 0;
    size_t gdiHandles_ = 0;
};

}  // namespace intro_test
