// Shared pieces of the message port's tests: a private directory, a window whose procedure
// records what reaches it, a message pump with a deadline, and child processes with their
// own environment.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace vrel::test {

// A fresh 0700 directory under /tmp, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

struct Arrived {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool boxOpen;  // a message box was open when the procedure ran
};

// What the port window's procedure saw, in order (touched only on the test's thread).
std::vector<Arrived>& Arrivals();
std::vector<Arrived> ArrivalsOf(UINT message);

// WM_COMMAND with this wParam opens an MB_OK box inside the procedure ("About").
inline constexpr WPARAM kOpenAboutBox = 1005;
// WM_COMMAND with this wParam opens an MB_YESNO box ("Quit").
inline constexpr WPARAM kOpenQuitBox = 1000;
// The procedure's result for any other WM_COMMAND: a value a test can recognise.
LRESULT CommandResult(WPARAM wParam, LPARAM lParam);

// Class and title of the intro, as vrelctl looks for them.
inline constexpr char kIntroName[] = "Vrel Roru Intro by Tarrow/Senmar";

// A clean desktop and a port listening in a private directory.
class PortTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A visible top-level window with the recording procedure.
    HWND MakePortWindow(const char* name = kIntroName);
    // Dispatches messages until `done` holds or the time is up; false on time-out.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    const std::string& SocketPath() const { return socketPath_; }
    const std::string& PortDirectory() const { return portDir_; }

    TempDir dir_;
    std::string portDir_;
    std::string socketPath_;
};

struct ChildResult {
    int exitCode = -1;  // -1 when killed by a signal
    std::string out;
    std::string err;
};

// Runs a program with extra environment variables to its end, dispatching window messages
// meanwhile so the test's own window can answer it.
ChildResult RunPumping(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env, int timeoutMs = 15000);

// Starts a program with extra environment variables; its standard output goes to *outFd.
pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            int* outFd);
// Reads from fd until `marker` arrived or the pipe closed, at most timeoutMs.
std::string ReadUntil(int fd, const std::string& marker, int timeoutMs = 10000);
// Waits for the child; its exit code, or -1 when a signal ended it.
int WaitForExit(pid_t pid);

std::string BuildPath(const std::string& relative);
bool FileExists(const std::string& path);

}  // namespace vrel::test
