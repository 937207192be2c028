// The window procedure of the intro's one window (class "Vrel Roru Intro by Tarrow/Senmar").
#pragma once

#include "platform/win32.h"

// WM_DESTROY runs teardown, WM_ACTIVATE sets or clears `active`, WM_COMMAND runs the six
// commands; everything else goes to DefWindowProcA.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
