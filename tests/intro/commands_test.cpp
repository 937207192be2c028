// Every playback state against every command the window takes: the flags, the saved
// position, the stream calls in order, what is released, the colour index and the boxes.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "present/frame_step.h"
#include "tests/intro/double_base_support.h"
#include "tests/intro/intro_fixture_support.h"

namespace intro_test {
namespace {

const char kAboutText[] =
    "This application uses multimedia streaming to render a video file to a DirectDraw surface "
    "created through DirectDrawEx.";

enum class State {
    Playing,
    Paused,
    Stopped,
    Inactive,
    StoppedWhilePaused,
    NothingLoaded,
    TornDown
};
enum class Action { Open, Start, Pause, Stop, ExitYes, ExitNo, About, Deactivate, Activate };

const char* Name(State state) {
    constexpr const char* names[] = {
        "Playing",        "Paused",        "Stopped", "Inactive", "Stopped-while-paused",
        "nothing loaded", "after teardown"};
    return names[static_cast<int>(state)];
}

const char* Name(Action action) {
    constexpr const char* names[] = {"Open",  "Start",           "Pause",
                                     "Stop",  "Exit/yes",        "Exit/no",
                                     "About", "activation lost", "activation regained"};
    return names[static_cast<int>(action)];
}

struct Flags {
    int active;
    int paused;
    int loaded;
};

struct Row {
    State state;
    Action action;
    Flags after;
    int savedFrames;  // savedTime afterwards, in frames
    int colourSteps;  // how far the colour index moved
    bool quit;        // a quit request is pending afterwards
    std::vector<std::string> log;
    std::string echoed;  // the boxes' captions and texts on standard error
};

// ---- Expected pieces. ----

void AppendRows(std::vector<Row>& into, const std::vector<Row>& more) {
    into.insert(into.end(), more.begin(), more.end());
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        Append(all, part);
    }
    return all;
}

// The stream objects of stream 1 given back, stream 2 opened, bound and run.
std::vector<std::string> Reopen() {
    return Join({StreamReleases(1), OpenCalls(2), BindCalls(2), {Stream(2, "SetState(RUN)")}});
}

// Stop on a stream: rewind, one frame (the first of the movie), stop again.
std::vector<std::string> StopWithFrame() {
    return Join({{Stream(1, "SetState(STOP)"), Stream(1, "Seek(0)"), Stream(1, "SetState(RUN)")},
                 FrameEntries(1, 0),
                 {Stream(1, "SetState(STOP)")}});
}

const std::string kQuitBox = BoxEntry("Quit", "Quit the Program?", MB_YESNO);
const std::string kAboutBox = BoxEntry("About", kAboutText);
const std::string kQuitEcho = "[Quit] Quit the Program?\n";
const std::string kAboutEcho = std::string("[About] ") + kAboutText + "\n";

std::vector<std::string> ExitConfirmed(bool withStream) {
    return Join({{kQuitBox},
                 withStream ? StreamReleases(1) : std::vector<std::string>{},
                 DisplayReleases()});
}

// Rows for the states with a stream: Paused and Stopped-while-paused resume on Start,
// the others re-open; only Playing stops the stream before an Open.
std::vector<Row> LoadedRows(State s, Flags before, int savedBefore, int position) {
    const bool paused = before.paused != 0;
    const bool playing = s == State::Playing;
    const std::vector<std::string> open =
        playing ? Join({{Stream(1, "SetState(STOP)")}, Reopen()}) : Reopen();
    const std::vector<std::string> start =
        playing  ? std::vector<std::string>{}
        : paused ? std::vector<std::string>{Stream(1, "Seek(" +
                                                          std::to_string(savedBefore * kFrameTime) +
                                                          ")"),
                                            Stream(1, "SetState(RUN)")}
                 : Reopen();
    const std::vector<std::string> pause =
        paused ? std::vector<std::string>{}
               : std::vector<std::string>{Stream(1, "GetTime"), Stream(1, "SetState(STOP)")};
    const int pauseSaved = paused ? savedBefore : position;
    return {
        {s, Action::Open, {1, 0, 1}, savedBefore, 0, false, open, ""},
        {s, Action::Start, {1, 0, 1}, savedBefore, 0, false, start, ""},
        {s, Action::Pause, {paused ? before.active : 0, 1, 1}, pauseSaved, 0, false, pause, ""},
        {s, Action::Stop, {0, before.paused, 1}, 0, 1, false, StopWithFrame(), ""},
        {s,
         Action::ExitYes,
         {1, before.paused, 1},
         savedBefore,
         0,
         true,
         ExitConfirmed(true),
         kQuitEcho},
        {s, Action::ExitNo, {1, before.paused, 1}, savedBefore, 0, false, {kQuitBox}, kQuitEcho},
        {s, Action::About, {1, before.paused, 1}, savedBefore, 0, false, {kAboutBox}, kAboutEcho},
        {s, Action::Deactivate, {0, before.paused, 1}, savedBefore, 0, false, {}, ""},
        {s, Action::Activate, {1, before.paused, 1}, savedBefore, 0, false, {}, ""},
    };
}

std::vector<Row> NothingLoadedRows() {
    const State s = State::NothingLoaded;
    const std::string pleaseBox = BoxEntry("Error", "Please select a movie file first.");
    return {
        {s,
         Action::Open,
         {1, 0, 1},
         0,
         0,
         false,
         Join({OpenCalls(1), BindCalls(1), {Stream(1, "SetState(RUN)")}}),
         ""},
        {s,
         Action::Start,
         {0, 0, 0},
         0,
         0,
         false,
         {pleaseBox},
         "[Error] Please select a movie file first.\n"},
        {s, Action::Pause, {0, 0, 0}, 0, 0, false, {}, ""},
        {s, Action::Stop, {0, 0, 0}, 0, 0, false, {}, ""},
        {s, Action::ExitYes, {0, 0, 0}, 0, 0, true, ExitConfirmed(false), kQuitEcho},
        {s, Action::ExitNo, {0, 0, 0}, 0, 0, false, {kQuitBox}, kQuitEcho},
        {s, Action::About, {0, 0, 0}, 0, 0, false, {kAboutBox}, kAboutEcho},
        {s, Action::Deactivate, {0, 0, 0}, 0, 0, false, {}, ""},
        {s, Action::Activate, {0, 0, 0}, 0, 0, false, {}, ""},
    };
}

// A box met by a pending quit: its text reaches standard error marked as never shown.
std::string NotShown(const std::string& echo) {
    return echo.substr(0, echo.size() - 1) + " (not shown: a quit is pending)\n";
}

// After teardown every field is null and a quit is pending: boxes close at once (their
// texts still reach standard error), so Exit cannot be confirmed; nothing is called.
std::vector<Row> TornDownRows() {
    const State s = State::TornDown;
    return {
        {s,
         Action::Open,
         {1, 0, 1},
         0,
         0,
         true,
         {},
         NotShown("[Error] Could not create a CLSID_MultiMediaStream object\n"
                  "Check you have run regsvr32 amstream.dll\n")},
        {s, Action::Start, {1, 0, 1}, 0, 0, true, {}, ""},
        {s, Action::Pause, {1, 0, 1}, 0, 0, true, {}, ""},
        {s, Action::Stop, {0, 0, 1}, 0, 0, true, {}, ""},
        {s, Action::ExitYes, {1, 0, 1}, 0, 0, true, {}, NotShown(kQuitEcho)},
        {s, Action::ExitNo, {1, 0, 1}, 0, 0, true, {}, NotShown(kQuitEcho)},
        {s, Action::About, {1, 0, 1}, 0, 0, true, {}, NotShown(kAboutEcho)},
        {s, Action::Deactivate, {0, 0, 1}, 0, 0, true, {}, ""},
        {s, Action::Activate, {1, 0, 1}, 0, 0, true, {}, ""},
    };
}

std::vector<Row> Table() {
    std::vector<Row> rows;
    // Playing at frame 3; Paused there; Stopped after the first frame was shown again.
    AppendRows(rows, LoadedRows(State::Playing, {1, 0, 1}, 0, 3));
    AppendRows(rows, LoadedRows(State::Paused, {0, 1, 1}, 3, 3));
    AppendRows(rows, LoadedRows(State::Stopped, {0, 0, 1}, 0, 1));
    AppendRows(rows, LoadedRows(State::Inactive, {0, 0, 1}, 0, 3));
    AppendRows(rows, LoadedRows(State::StoppedWhilePaused, {0, 1, 1}, 0, 1));
    AppendRows(rows, NothingLoadedRows());
    AppendRows(rows, TornDownRows());
    return rows;
}

class Commands : public IntroTest {
  protected:
    // Brings the intro into the state through its own commands: Playing is three frames
    // into the movie.
    void Enter(State state) {
        StartDisplay();
        if (state == State::NothingLoaded) {
            return;
        }
        Command(IDM_OPEN);
        for (int i = 0; i < 3; ++i) {
            RenderFrame();
        }
        switch (state) {
            case State::Paused:
                Command(IDM_PAUSE);
                break;
            case State::Stopped:
                Command(IDM_STOP);
                break;
            case State::Inactive:
                Activate(WA_INACTIVE);
                break;
            case State::StoppedWhilePaused:
                Command(IDM_PAUSE);
                Command(IDM_STOP);
                break;
            case State::TornDown:
                SendMessageA(g_app.mainWindow, WM_DESTROY, 0, 0);
                break;
            default:
                break;
        }
    }

    void Apply(Action action) {
        constexpr WPARAM commands[] = {IDM_OPEN, IDM_START, IDM_PAUSE, IDM_STOP,
                                       IDM_EXIT, IDM_EXIT,  IDM_ABOUT};
        if (action == Action::ExitYes) {
            boxAnswers = {IDYES};
        }
        if (action == Action::ExitNo) {
            boxAnswers = {IDNO};
        }
        if (action == Action::Deactivate || action == Action::Activate) {
            Activate(action == Action::Activate ? WA_ACTIVE : WA_INACTIVE);
        } else {
            Command(commands[static_cast<int>(action)]);
        }
    }
};

TEST_F(Commands, EveryStateAgainstEveryCommand) {
    const std::vector<Row> table = Table();
    ASSERT_EQ(table.size(), 7u * 9u);
    for (const Row& row : table) {
        SCOPED_TRACE(std::string(Name(row.action)) + " in " + Name(row.state));
        TearDown();
        SetUp();
        Enter(row.state);
        CallLog::Clear();
        const int colourBefore = g_app.colorIndex;
        ::testing::internal::CaptureStderr();
        Apply(row.action);
        const std::string echoed = ::testing::internal::GetCapturedStderr();

        EXPECT_EQ(Log(), row.log) << CompareLines(row.log, Log());
        EXPECT_EQ(g_app.active, row.after.active) << "active";
        EXPECT_EQ(g_app.paused, row.after.paused) << "paused";
        EXPECT_EQ(g_app.loaded, row.after.loaded) << "loaded";
        EXPECT_EQ(g_app.savedTime, row.savedFrames * kFrameTime) << "savedTime";
        EXPECT_EQ(g_app.colorIndex - colourBefore, row.colourSteps) << "colour index";
        EXPECT_EQ(QuitPending(), row.quit) << "quit request";
        EXPECT_EQ(echoed, row.echoed) << "boxes on standard error";
        EXPECT_TRUE(IsWindow(g_app.mainWindow)) << "no command destroys the window";
    }
}

// Stop, then Start: the stream is opened afresh from the beginning, the old one given back
// first, and the colour cycle goes on where it was.
TEST_F(Commands, StopThenStartReopensAndTheCycleContinues) {
    Enter(State::Playing);
    Command(IDM_STOP);
    Command(IDM_START);
    CallLog::Clear();
    RenderFrame();
    EXPECT_EQ(Log(), FrameEntries(2, 0)) << CompareLines(FrameEntries(2, 0), Log());
    EXPECT_EQ(g_app.colorIndex, 5) << "three frames, the Stop frame, then this one";
}

// Pause then Start: the stream seeks to where Pause left it and the next frame follows on.
TEST_F(Commands, PauseThenStartGoesOnFromTheSavedPosition) {
    Enter(State::Playing);
    Command(IDM_PAUSE);
    Command(IDM_START);
    CallLog::Clear();
    RenderFrame();
    EXPECT_EQ(Log(), FrameEntries(1, 3)) << CompareLines(FrameEntries(1, 3), Log());
}

// Pause, Stop, Start: still paused with savedTime 0, so Start seeks to 0 and runs on the
// same stream without opening anything.
TEST_F(Commands, PauseStopStartResumesFromTheBeginningWithoutReopening) {
    Enter(State::StoppedWhilePaused);
    CallLog::Clear();
    Command(IDM_START);
    RenderFrame();
    std::vector<std::string> expected = {Stream(1, "Seek(0)"), Stream(1, "SetState(RUN)")};
    Append(expected, FrameEntries(1, 0));
    EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
}

TEST_F(Commands, ARefusedRunAfterOpenTearsDownWithoutAMessage) {
    for (WPARAM command : {IDM_OPEN, IDM_START}) {
        SCOPED_TRACE(command == IDM_OPEN ? "Open" : "Start after Stop");
        TearDown();
        SetUp();
        Enter(command == IDM_OPEN ? State::NothingLoaded : State::Stopped);
        Script().results["stream.SetState(RUN)"] = E_FAIL;
        CallLog::Clear();
        Command(command);
        const int n = command == IDM_OPEN ? 1 : 2;
        std::vector<std::string> expected =
            command == IDM_OPEN ? std::vector<std::string>{} : StreamReleases(1);
        Append(expected, Join({OpenCalls(n),
                               BindCalls(n),
                               {Stream(n, "SetState(RUN)")},
                               StreamReleases(n),
                               DisplayReleases()}));
        EXPECT_EQ(Log(), expected) << CompareLines(expected, Log());
        EXPECT_EQ(g_app.loaded, 1) << "the flags stay set";
        EXPECT_EQ(g_app.active, 1);
        EXPECT_TRUE(QuitPending());
    }
}

// Results of the Stop, Pause and resume calls are not looked at.
TEST_F(Commands, FailingStopPauseAndResumeCallsChangeNothingElse) {
    Enter(State::Playing);
    Script().results["stream.SetState(STOP)"] = E_FAIL;
    Script().results["stream.GetTime"] = E_FAIL;
    Script().results["stream.Seek"] = E_FAIL;
    Command(IDM_PAUSE);
    EXPECT_EQ(g_app.paused, 1);
    EXPECT_EQ(g_app.active, 0);
    Command(IDM_START);
    EXPECT_EQ(g_app.paused, 0);
    EXPECT_EQ(g_app.active, 1);
    EXPECT_FALSE(QuitPending());
}

TEST_F(Commands, ACommandWithAHighWordIsNotACommand) {
    Enter(State::Playing);
    CallLog::Clear();
    for (WPARAM command : {WPARAM{0x000103E9}, WPARAM{0x000103E8}, WPARAM{0x000203EA}, WPARAM{999},
                           WPARAM{1006}, WPARAM{0}}) {
        EXPECT_EQ(SendMessageA(g_app.mainWindow, WM_COMMAND, command, 0), 0) << Hex(command);
    }
    EXPECT_EQ(Log(), std::vector<std::string>{});
    EXPECT_EQ(g_app.active, 1);
    EXPECT_FALSE(QuitPending());
}

// Activation before any movie was loaded leaves active at 0, whatever the kind.
TEST_F(Commands, ActivationBeforeAnyOpenLeavesActiveAtZero) {
    MakeIntroWindow();
    for (WORD state : {WA_ACTIVE, WA_CLICKACTIVE, WA_INACTIVE}) {
        EXPECT_EQ(SendMessageA(g_app.mainWindow, WM_ACTIVATE, state, 0), 0);
        EXPECT_EQ(g_app.active, 0) << "state " << state;
    }
}

TEST_F(Commands, AClickActivationCountsAsActivation) {
    Enter(State::Inactive);
    Activate(WA_CLICKACTIVE);
    EXPECT_EQ(g_app.active, 1);
}

}  // namespace
}  // namespace intro_test
