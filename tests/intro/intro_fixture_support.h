// The ground every behaviour test of the intro stands on: a clean desktop, a zeroed
// AppState, the doubles registered, message boxes answered in-process and logged, and at
// the end a check that every COM object and GDI object the test made is gone.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "runtime/user/testing.h"
#include "tests/intro/call_log_support.h"
#include "tests/intro/doubles_support.h"

namespace intro_test {

// The log line a message box leaves: "box(owner=main,type=0)[Error] getdc failed", line
// breaks in the text written as \n.
std::string BoxEntry(const std::string& caption, const std::string& text, UINT type = MB_OK,
                     const std::string& owner = "main");

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A window made as start-up makes the intro's (its class, styles and size, WindowProc)
    // at (x, y); becomes g_app.mainWindow, with the colour table built.
    HWND MakeIntroWindow(int x = 0, int y = 0);
    // The window and display setup, as start-up brings them up. Asserts setup succeeded.
    void StartDisplay();
    // A command as the window receives it from outside.
    void Command(WPARAM command);
    void Activate(WORD state);
    // Whether a quit request is pending (left pending).
    static bool QuitPending();
    // Runs WinMain as the process would, with a watchdog that ends a run that hangs.
    int RunWinMain();

    // Answers for the next boxes, in order; when empty, IDOK (MB_OK) or IDNO (MB_YESNO).
    std::deque<int> boxAnswers;
    // Runs inside each box before it is answered (the box's modal loop is running).
    std::function<void(const vrel::user::testing::MessageBoxInfo&)> onBox;
    // When set, decides the answer instead of boxAnswers: 0 leaves the box open for
    // vrel::user::AnswerMessageBox.
    std::function<int(const vrel::user::testing::MessageBoxInfo&)> answerBox;

    std::vector<std::string> Log() const { return CallLog::Entries(); }

  private:
    long liveObjectsBefore_ = 0;
    size_t gdiHandlesBefore_ = 0;
};

// One presented frame in the log, from the sample update to the blit.
std::vector<std::string> FrameEntries(int generation, int frame,
                                      const std::string& screen = "0,0,640,480",
                                      const std::string& movie = "0,0,320,240");
// Display setup, every step succeeding.
std::vector<std::string> DisplaySetupCalls();
// Stream opening and binding of the N-th stream, each call as the doubles log it.
std::vector<std::string> OpenCalls(int generation);
std::vector<std::string> BindCalls(int generation);
// Teardown's releases: the four stream objects (in its order), then the display's six.
std::vector<std::string> StreamReleases(int generation);
std::vector<std::string> DisplayReleases();
std::string Stream(int generation, const std::string& call);
// Appends `more` to `into`.
void Append(std::vector<std::string>& into, const std::vector<std::string>& more);

}  // namespace intro_test
