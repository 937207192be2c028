// Render-to-surface binding: the stream's video decoded into the top-left, movie-sized
// corner of the offscreen surface.
#pragma once

#include "platform/win32.h"

// S_OK with videoStream, ddStream, sample and movieRect set; E_FAIL after the binding's one
// "Error" box, leaving the fields set so far for teardown. Needs g_app.mmStream.
HRESULT InitRenderToSurface();
