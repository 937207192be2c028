// Start-up as WinMain runs it: the window, display setup, then the posted Open's stream
// setup and render-to-surface binding; and the box every failing step shows.
#include "app/main.h"
#include "tests/intro/intro_support.h"

namespace intro_test {
namespace {

using StartUp = IntroTest;

// 640 x 480 at 32 bits; the offscreen surface takes the size and pixel format the primary
// reports after the mode change (here 800 x 600 at 16 bits), so that blits copy between
// equal formats; the clipper keeps frames inside the window. The video goes to the intro's
// DirectDraw and the sound to the default renderer before the file is opened; frames land
// unscaled in the offscreen surface's top-left corner.
TEST_F(StartUp, SetsUpTheDisplayAndPlaysTheMovieWithItsSoundIntoTheOffscreenSurface) {
    W().screenWidth = 800;
    W().screenHeight = 600;
    W().screenFormat = vrel::test::RgbFormat(16, 0xF800, 0x07E0, 0x001F);
    W().movieFrames = 0;
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    const std::vector<std::string> expected = {"dd.SetDisplayMode(640,480,32)",
                                               "dd3.CreateSurface(offscreen)",
                                               "primary.SetClipper",
                                               "clipper.SetHWnd(main)",
                                               "stream.Initialize",
                                               "stream.AddMediaStream(video,dd3,0)",
                                               "stream.AddMediaStream(audio,null,1)",
                                               "stream.OpenFile(vrelfi.dat)",
                                               "ddStream.CreateSample(offscreen,0,0,320,240)",
                                               "stream.SetState(RUN)"};
    std::vector<std::string> seen;
    std::copy_if(W().calls.begin(), W().calls.end(), std::back_inserter(seen), [&](auto& call) {
        return std::find(expected.begin(), expected.end(), call) != expected.end();
    });
    EXPECT_EQ(seen, expected);
    const DDSURFACEDESC made = W().offscreen;
    EXPECT_EQ(made.dwFlags, DWORD{DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT});
    EXPECT_EQ(made.ddsCaps.dwCaps, DWORD{DDSCAPS_OFFSCREENPLAIN});
    EXPECT_EQ(Text({0, 0, LONG(made.dwWidth), LONG(made.dwHeight)}), "0,0,800,600");
    EXPECT_EQ(std::memcmp(&made.ddpfPixelFormat, &W().screenFormat, sizeof(DDPIXELFORMAT)), 0);
}

const char kBind[] = "Error: Initialization failure in InitRenderToSurface";

// Each row: what fails, and what the run ends with; WinMain returns 0 whatever fails. A
// stream that failed while opening is given back before its box opens, so nothing of it
// lives on meanwhile. After a display failure the intro has torn down, so the posted Open
// fails too, its box unseen.
TEST_F(StartUp, EachFailingStepShowsItsBoxAndTheRunEnds) {
    const struct {
        const char* fault;
        HRESULT result;
        const char* outcome;
        bool streamInBox;
    } rows[] = {
        {"", S_OK, "loaded | stream 1 stopped at 5 | shown 5", false},  // five frames to the end
        {"window", E_FAIL, "Error: Couldn't create window.", false},    // the class name is taken
        {"ddclass.CreateInstance", REGDB_E_CLASSNOTREG, "Error: Couldn't create DirectDrawFactory",
         false},
        {"factory.CreateDirectDraw", DDERR_GENERIC, "Error: Couldn't create DirectDraw object",
         false},
        {"dd.QueryInterface", E_NOINTERFACE, "Error: Couldn't get IDirectDraw3", false},
        {"dd.SetDisplayMode", DDERR_INVALIDMODE, "Error: Couldn't set display mode", false},
        {"dd.SetDisplayMode", S_FALSE, "Error: Couldn't set display mode", false},  // not DD_OK
        {"dd3.CreateSurface(primary", DDERR_INVALIDCAPS, "Error: Couldn't create Primary Surface",
         false},
        {"primary.GetSurfaceDesc", DDERR_GENERIC, "Error: Couldn't GetSurfaceDesc", false},
        {"dd3.CreateSurface(offscreen", DDERR_OUTOFMEMORY,
         "Error: Couldn't create Offscreen Surface", false},
        {"dd3.CreateClipper", DDERR_GENERIC, "Error: Couldn't create Clipper", false},
        {"primary.SetClipper", DDERR_NOCLIPPERATTACHED, "Error: Call to SetClipper failed", false},
        {"clipper.SetHWnd", DDERR_INVALIDPARAMS, "Error: Call to SetHWnd failed", false},
        {"streamclass.CreateInstance", E_OUTOFMEMORY,
         "Error: Could not create a CLSID_MultiMediaStream object\n"
         "Check you have run regsvr32 amstream.dll\n",
         false},
        {"stream.Initialize", E_FAIL, "Error: Initialize failed.", false},
        {"stream.AddMediaStream(video", MS_E_PURPOSEID, "Error: AddMediaStream failed.", false},
        {"stream.AddMediaStream(audio", E_FAIL, "Error: AddMediaStream failed.", false},
        {"stream.OpenFile", VFW_E_INVALID_FILE_FORMAT, "Error: File format not supported.", false},
        {"stream.GetMediaStream", MS_E_NOSTREAM, kBind, true},
        {"video.QueryInterface", E_NOINTERFACE, kBind, true},
        {"ddStream.GetFormat", MS_E_NOSTREAM, kBind, true},
        {"ddStream.CreateSample", DDERR_INVALIDRECT, kBind, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        Restart();
        W().faults[row.fault] = row.result;
        W().movieFrames = 5;
        WNDCLASSA taken = {};
        taken.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
        taken.lpszClassName = "Vrel Roru Intro by Tarrow/Senmar";
        if (std::string(row.fault) == "window") {
            RegisterClassA(&taken);
        }
        EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
        EXPECT_EQ(Describe(), row.outcome);
        EXPECT_EQ(W().streamInBox, row.streamInBox);
    }
}

}  // namespace
}  // namespace intro_test
