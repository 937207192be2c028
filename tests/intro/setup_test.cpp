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
// unscaled in the offscreen surface's top-left corner, and the movie plays to its end.
TEST_F(StartUp, SetsUpTheDisplayAndPlaysTheMovieWithItsSoundIntoTheOffscreenSurface) {
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    const std::vector<std::string> expected = {"dd.SetDisplayMode(640,480,32)",
                                               "dd3.CreateSurface(offscreen,800x600x16)",
                                               "clipper.SetHWnd(main)",
                                               "stream.AddMediaStream(video,dd3,0)",
                                               "stream.AddMediaStream(audio,null,1)",
                                               "stream.OpenFile(vrelfi.dat)",
                                               "video.CreateSample(offscreen,0,0,320,240)"};
    std::vector<std::string> seen;
    std::copy_if(W().calls.begin(), W().calls.end(), std::back_inserter(seen), [&](auto& call) {
        return std::find(expected.begin(), expected.end(), call) != expected.end();
    });
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Describe(), "loaded | stream 1 stopped at 200 | shown 200");
}

// Each row: what fails, and the box the run ends with; WinMain returns 0 whatever fails. A
// stream that failed while opening is given back before its box opens, so only a failed
// binding's box opens while a stream lives. After a display failure the intro has torn down,
// so the posted Open fails too, its box unseen.
TEST_F(StartUp, EachFailingStepShowsItsBoxAndTheRunEnds) {
    const char kBind[] = "Error: Initialization failure in InitRenderToSurface";
    const std::tuple<const char*, HRESULT, const char*> rows[] = {
        {"window", E_FAIL, "Error: Couldn't create window."},  // the class name is taken
        {"ddclass.CreateInstance", REGDB_E_CLASSNOTREG, "Error: Couldn't create DirectDrawFactory"},
        {"factory.CreateDirectDraw", DDERR_GENERIC, "Error: Couldn't create DirectDraw object"},
        {"dd.QueryInterface", E_NOINTERFACE, "Error: Couldn't get IDirectDraw3"},
        {"dd.SetDisplayMode", S_FALSE, "Error: Couldn't set display mode"},  // not DD_OK
        {"dd3.CreateSurface(primary", DDERR_INVALIDCAPS, "Error: Couldn't create Primary Surface"},
        {"primary.GetSurfaceDesc", DDERR_GENERIC, "Error: Couldn't GetSurfaceDesc"},
        {"dd3.CreateSurface(offscreen", DDERR_OUTOFMEMORY,
         "Error: Couldn't create Offscreen Surface"},
        {"dd3.CreateClipper", DDERR_GENERIC, "Error: Couldn't create Clipper"},
        {"primary.SetClipper", DDERR_NOCLIPPERATTACHED, "Error: Call to SetClipper failed"},
        {"clipper.SetHWnd", DDERR_INVALIDPARAMS, "Error: Call to SetHWnd failed"},
        {"streamclass.CreateInstance", E_OUTOFMEMORY,
         "Error: Could not create a CLSID_MultiMediaStream object\n"
         "Check you have run regsvr32 amstream.dll\n"},
        {"stream.Initialize", E_FAIL, "Error: Initialize failed."},
        {"stream.AddMediaStream(video", MS_E_PURPOSEID, "Error: AddMediaStream failed."},
        {"stream.AddMediaStream(audio", E_FAIL, "Error: AddMediaStream failed."},
        {"stream.OpenFile", VFW_E_INVALID_FILE_FORMAT, "Error: File format not supported."},
        {"stream.GetMediaStream", MS_E_NOSTREAM, kBind},
        {"video.QueryInterface", E_NOINTERFACE, kBind},
        {"video.GetFormat", MS_E_NOSTREAM, kBind},
        {"video.CreateSample", DDERR_INVALIDRECT, kBind},
    };
    for (const auto& [fault, result, outcome] : rows) {
        SCOPED_TRACE(fault);
        TearDown();
        SetUp();
        W().faults[fault] = result;
        if (std::string(fault) == "window") {
            WNDCLASSA taken = {};
            taken.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
            taken.lpszClassName = "Vrel Roru Intro by Tarrow/Senmar";
            RegisterClassA(&taken);
        }
        EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
        EXPECT_EQ(Describe(), outcome);
        EXPECT_EQ(W().streamInBox, outcome == std::string(kBind));
    }
}

}  // namespace
}  // namespace intro_test
