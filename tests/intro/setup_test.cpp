// Start-up as WinMain runs it (display setup, then the posted Open), and each step's failure.
#include "app/main.h"
#include "tests/intro/intro_support.h"

namespace intro_test {
namespace {

using StartUp = IntroTest;

// 640 x 480 at 32 bits; an offscreen surface as the primary is after the mode change (so
// blits copy between equal formats); the clipper on the window; video to the intro's DirectDraw
// and sound to the default renderer before the file; frames unscaled, top-left; to the end.
TEST_F(StartUp, SetsUpTheDisplayAndPlaysTheMovieWithItsSoundIntoTheOffscreenSurface) {
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    std::string setUp;  // the calls that carry arguments, but for the frames' own
    for (const std::string& call : W().calls) {
        if (call.find('(') != std::string::npos && !call.starts_with("primary.Blt") &&
            !call.starts_with("stream.SetState")) {
            setUp += call + " ";
        }
    }
    EXPECT_EQ(setUp,
              "dd.SetDisplayMode(640,480,32) dd3.CreateSurface(primary) "
              "dd3.CreateSurface(offscreen,800x600x16) clipper.SetHWnd(main) "
              "stream.AddMediaStream(video,dd3,0) stream.AddMediaStream(audio,null,1) "
              "stream.OpenFile(vrelfi.dat) video.CreateSample(offscreen,0,0,320,240) ");
    EXPECT_EQ(Describe(), "loaded | stream 1 stopped at 200 | shown 200");
}

// Each row: what fails, and the box the run ends with; WinMain returns 0 whatever fails. After
// a display failure the intro has torn down, so the posted Open fails too, its box unseen.
TEST_F(StartUp, EachFailingStepShowsItsBoxAndTheRunEnds) {
    const char kBind[] = "Error: Initialization failure in InitRenderToSurface";
    const std::tuple<const char*, HRESULT, const char*> rows[] = {
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
        EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
        EXPECT_EQ(Describe(), outcome);
    }
}

}  // namespace
}  // namespace intro_test
