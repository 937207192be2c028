// The frame step: the next frame, the text over it in the colour cycle's next colour, the
// movie stretched onto the window; and what every other outcome of a step does.
#include "present/frame_step.h"
#include "tests/intro/intro_support.h"

namespace intro_test {
namespace {

using FrameStep = IntroTest;

// The text's colour steps once a frame through six ramps of 32 (blue to cyan, green, yellow,
// red, magenta and back, by 8 up to 248), with no background; the movie fills the window.
TEST_F(FrameStep, EachFrameDrawsTheTextInTheNextColourAndStretchesTheMovieOverTheWindow) {
    const std::map<int, uint32_t> colours = {{1, 0x0000F8},   {2, 0x0008F8},   {32, 0x00F8F8},
                                             {33, 0x00F8F8},  {34, 0x00F8F0},  {64, 0x00F800},
                                             {96, 0xF8F800},  {128, 0xF80000}, {160, 0xF800F8},
                                             {192, 0x0000F8}, {194, 0x0008F8}};  // 0xRRGGBB
    StartDisplay();
    Apply(IDM_OPEN);
    for (int frame = 1; frame <= 194; ++frame) {
        RenderFrame();
    }
    for (const auto& [frame, colour] : colours) {
        EXPECT_EQ(W().ink.at(frame - 1), colour) << "frame " << frame;
    }
    EXPECT_EQ(W().calls.back(), "primary.Blt(100,50,740,530<-0,0,320,240)");
}

// A stream found stopped is paused, not over; its end or a broken stream quits, keeping every
// object; a failed context or blit shows its box and tears down; torn down, nothing is touched.
TEST_F(FrameStep, EachOutcomeOfAStep) {
    Check({
        {{IDM_OPEN}, F, "active loaded | stream 1 runs at 1 | shown 1"},
        {{IDM_OPEN, IDLE}, F, "loaded | stream 1 runs at 0"},
        {{IDM_OPEN, END}, F, "loaded | stream 1 stopped at 0 | quit"},
        {{IDM_OPEN, BROKEN}, F, "loaded | stream 1 stopped at 0 | quit"},
        {{IDM_OPEN, NO_DC}, F, "active loaded | Error: getdc failed | quit"},  // S_FALSE
        {{IDM_OPEN, LOST}, F, "active loaded | shown 1 | Error: Blt failed | quit"},
        {{IDM_OPEN, DESTROY}, F, "active loaded | quit"},
    });
}

}  // namespace
}  // namespace intro_test
