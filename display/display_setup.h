// Display setup: COM, the DirectDrawEx factory, DirectDraw, the 640 x 480 x 32 mode, the
// primary and offscreen surfaces and the clipper tied to the window.
#pragma once

#include "platform/win32.h"

// S_OK with the six DirectDraw fields of g_app set; E_FAIL after an "Error" box naming the
// step that failed, leaving what was made so far in its fields for teardown. Needs
// g_app.mainWindow.
HRESULT InitDirectDraw();
