// The playback commands that reach the window as WM_COMMAND, and their identifiers (the
// menu resource 101 lists the same six).
#pragma once

#include "platform/win32.h"

constexpr WPARAM IDM_EXIT = 1000;
constexpr WPARAM IDM_OPEN = 1001;
constexpr WPARAM IDM_START = 1002;
constexpr WPARAM IDM_PAUSE = 1003;
constexpr WPARAM IDM_STOP = 1004;
constexpr WPARAM IDM_ABOUT = 1005;

// The movie every Open and re-opening Start plays, relative to the current directory.
constexpr const char MOVIE_FILE_NAME[] = "vrelfi.dat";

// Opens the movie afresh (stopping and releasing any current one) and plays it.
void Open(HWND window);
// Resumes after Pause or Stop-while-paused, re-opens after Stop or lost activation, does
// nothing while playing; complains in a box owned by window when nothing was ever loaded.
void Start(HWND window);
// Remembers the position and stops the stream.
void Pause(HWND window);
// Rewinds, shows the first frame and stops there.
void Stop(HWND window);
