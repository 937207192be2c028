// Stream opening and render-to-surface binding: the calls, each failure's text, what is
// released and when, and what the fields hold meanwhile.
#include <gtest/gtest.h>

#include <thread>

#include "app/commands.h"
#include "app/shutdown.h"
#include "media/render_binding.h"
#include "media/stream_open.h"
#include "present/frame_step.h"
#include "runtime/com/unknown.h"
#include "runtime/user/user_runtime.h"
#include "tests/intro/double_base_support.h"
#include "tests/intro/intro_fixture_support.h"

namespace intro_test {
namespace {

const char kCreateText[] =
    "Could not create a CLSID_MultiMediaStream object\nCheck you have run regsvr32 amstream.dll\n";
const char kBindText[] = "Initialization failure in InitRenderToSurface";

std::vector<std::string> Prefix(const std::vector<std::string>& entries, size_t count) {
    return {entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(count)};
}

using StreamSetup = IntroTest;

TEST_F(StreamSetup, OpenOpensBindsAndRuns) {
    StartDisplay();
    CallLog::Clear();
    Command(IDM_OPEN);
    std::vector<std::string> expected = OpenCalls(1);
    Append(expected, BindCalls(1));
    expected.push_back(Stream(1, "SetState(RUN)"));
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(g_app.loaded, 1);
    EXPECT_EQ(g_app.active, 1);
    EXPECT_EQ(g_app.paused, 0);
    const RECT movie = g_app.movieRect;
    EXPECT_EQ(RectText(&movie), "0,0,320,240");
    EXPECT_NE(g_app.mmStream, nullptr);
    EXPECT_NE(g_app.videoStream, nullptr);
    EXPECT_NE(g_app.ddStream, nullptr);
    EXPECT_NE(g_app.sample, nullptr);
}

struct OpenFailure {
    int step;
    const char* failing;
    HRESULT result;
    const char* text;
    size_t callsMade;
};

const OpenFailure kOpenFailures[] = {
    {2, "streamclass.CreateInstance", E_OUTOFMEMORY, kCreateText, 1},
    {3, "stream.Initialize", E_FAIL, "Initialize failed.", 2},
    {4, "stream.AddMediaStream(video)", MS_E_PURPOSEID, "AddMediaStream failed.", 3},
    {5, "stream.AddMediaStream(audio)", E_FAIL, "AddMediaStream failed.", 4},
    {6, "stream.OpenFile", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "File format not supported.",
     5},
    {6, "stream.OpenFile", VFW_E_INVALID_FILE_FORMAT, "File format not supported.", 5},
    {6, "stream.OpenFile", VFW_E_UNSUPPORTED_STREAM, "File format not supported.", 5},
};

// A stream that fails after it was made is released before its box opens, never reaches
// AppState, and the Open command then tears everything down.
TEST_F(StreamSetup, EachFailingOpeningStepReleasesTheStreamBeforeItsBox) {
    for (const OpenFailure& c : kOpenFailures) {
        SCOPED_TRACE(std::string("step ") + std::to_string(c.step) + ", " + c.failing);
        TearDown();
        SetUp();
        Script().results[c.failing] = c.result;
        StartDisplay();
        const long liveBefore = vrel::com::LiveObjects::Count();
        CallLog::Clear();
        long liveInBox = -1;
        onBox = [&](const vrel::user::testing::MessageBoxInfo&) {
            liveInBox = vrel::com::LiveObjects::Count();
            EXPECT_EQ(g_app.mmStream, nullptr);
        };
        Command(IDM_OPEN);

        std::vector<std::string> expected = Prefix(OpenCalls(1), c.callsMade);
        if (c.step > 2) {
            expected.push_back(Stream(1, "Release"));
        }
        expected.push_back(BoxEntry("Error", c.text));
        Append(expected, DisplayReleases());
        EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
        EXPECT_EQ(liveInBox, liveBefore) << "a stream object was alive while the box was open";
        EXPECT_EQ(g_app.mmStream, nullptr);
        EXPECT_EQ(g_app.loaded, 0);
        EXPECT_EQ(g_app.active, 0);
        EXPECT_TRUE(QuitPending());
    }
}

TEST_F(StreamSetup, OpenMovieStreamAnswersAsItsCallersExpect) {
    StartDisplay();
    EXPECT_EQ(OpenMovieStream("vrelfi.dat"), S_OK);
    EXPECT_NE(g_app.mmStream, nullptr);
    ReleaseInterface(g_app.mmStream);

    Script().results["stream.OpenFile"] = E_FAIL;
    EXPECT_EQ(OpenMovieStream("vrelfi.dat"), E_FAIL);
    EXPECT_EQ(g_app.mmStream, nullptr);
}

// After teardown COM is gone: creating the stream fails with the first text, and nothing
// reaches the stream (directDraw3 is null by then and must not be handed on). The quit
// request teardown left pending closes the box at once; its text still goes to stderr.
TEST_F(StreamSetup, AfterTeardownOpeningFailsAtCreationWithoutTouchingAStream) {
    StartDisplay();
    Shutdown();
    CallLog::Clear();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(OpenMovieStream("vrelfi.dat"), E_FAIL);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[Error] Could not create a CLSID_MultiMediaStream object\n"
              "Check you have run regsvr32 amstream.dll (not shown: a quit is pending)\n");
    EXPECT_EQ(Log(), std::vector<std::string>{}) << "the stream class was reached";
}

struct BindFailure {
    int step;
    const char* failing;
    HRESULT result;
    size_t bindCallsMade;
    std::vector<std::string> released;  // the stream objects teardown gives back
    bool movieRectSet;
};

const BindFailure kBindFailures[] = {
    {1, "stream.GetMediaStream", MS_E_NOSTREAM, 1, {"stream1.Release"}, false},
    {2, "video.QueryInterface", E_NOINTERFACE, 2, {"stream1.Release", "video1.Release"}, false},
    {3,
     "ddStream.GetFormat",
     MS_E_NOSTREAM,
     3,
     {"stream1.Release", "ddStream1.Release", "video1.Release"},
     false},
    {5,
     "ddStream.CreateSample",
     DDERR_INVALIDRECT,
     4,
     {"stream1.Release", "ddStream1.Release", "video1.Release"},
     true},
};

TEST_F(StreamSetup, EachFailingBindingStepShowsTheOneTextAndTeardownFollows) {
    for (const BindFailure& c : kBindFailures) {
        SCOPED_TRACE(std::string("binding step ") + std::to_string(c.step) + ", " + c.failing);
        TearDown();
        SetUp();
        Script().results[c.failing] = c.result;
        StartDisplay();
        g_app.movieRect = RECT{1, 2, 3, 4};  // what an earlier open would have left
        CallLog::Clear();
        Command(IDM_OPEN);

        std::vector<std::string> expected = OpenCalls(1);
        Append(expected, Prefix(BindCalls(1), c.bindCallsMade));
        expected.push_back(BoxEntry("Error", kBindText));
        Append(expected, c.released);
        Append(expected, DisplayReleases());
        EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
        const RECT movie = g_app.movieRect;
        EXPECT_EQ(RectText(&movie), c.movieRectSet ? "0,0,320,240" : "1,2,3,4");
        EXPECT_EQ(g_app.loaded, 0);
        EXPECT_EQ(g_app.active, 0);
        EXPECT_TRUE(QuitPending());
    }
}

// A movie bigger than the screen reaches CreateSample as it is; the sample's refusal is
// the binding's failure.
TEST_F(StreamSetup, AMovieLargerThanTheSurfaceGivesAMovieRectBeyondIt) {
    Script().movieWidth = 800;
    Script().movieHeight = 600;
    Script().results["ddStream.CreateSample"] = DDERR_INVALIDRECT;
    StartDisplay();
    CallLog::Clear();
    Command(IDM_OPEN);
    EXPECT_EQ(CallLog::Count("ddStream1.CreateSample(offscreen,0,0,800,600,0)"), 1);
    EXPECT_EQ(CallLog::Count(BoxEntry("Error", kBindText)), 1);
    const RECT movie = g_app.movieRect;
    EXPECT_EQ(RectText(&movie), "0,0,800,600");
}

// Commands sent from outside while the binding's failure box is open run inside the box's
// loop, on the half-bound stream (no sample yet), and touch nothing that is not there.
TEST_F(StreamSetup, CommandsSentWhileAFailureBoxIsOpenAreDispatchedInsideIt) {
    StartDisplay();
    Command(IDM_OPEN);
    RenderFrame();
    RenderFrame();
    Script().results["ddStream.GetFormat"] = MS_E_NOSTREAM;  // the re-open fails to bind
    CallLog::Clear();
    std::thread outside;
    answerBox = [&](const vrel::user::testing::MessageBoxInfo&) {
        outside = std::thread([] {
            for (WPARAM command : {IDM_STOP, IDM_PAUSE, IDM_START}) {
                SendMessageA(g_app.mainWindow, WM_COMMAND, command, 0);  // waits for the answer
            }
            vrel::user::AnswerMessageBox(IDOK);
        });
        return 0;  // stays open until the thread answers it
    };
    Command(IDM_OPEN);
    outside.join();

    std::vector<std::string> expected = {Stream(1, "SetState(STOP)")};
    Append(expected, StreamReleases(1));
    Append(expected, OpenCalls(2));
    Append(expected, Prefix(BindCalls(2), 3));
    Append(expected, {BoxEntry("Error", kBindText),
                      // Stop: no sample, so its frame step returns at once
                      Stream(2, "SetState(STOP)"), Stream(2, "Seek(0)"), Stream(2, "SetState(RUN)"),
                      Stream(2, "SetState(STOP)"),
                      // Pause
                      Stream(2, "GetTime"), Stream(2, "SetState(STOP)"),
                      // Start resumes
                      Stream(2, "Seek(0)"), Stream(2, "SetState(RUN)"),
                      // the box closed: teardown
                      "stream2.Release", "ddStream2.Release", "video2.Release"});
    Append(expected, DisplayReleases());
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
    EXPECT_EQ(g_app.loaded, 1);
    EXPECT_EQ(g_app.paused, 0);
    EXPECT_EQ(g_app.active, 1) << "the box's closing activates the window again";
    EXPECT_EQ(g_app.colorIndex, 2) << "no frame was presented inside the box";
}

}  // namespace
}  // namespace intro_test
