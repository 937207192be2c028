// Stream opening: a multimedia stream reading the movie, with its video rendered through
// the intro's DirectDraw object and its sound on the default renderer.
#pragma once

#include "platform/win32.h"

// S_OK with g_app.mmStream holding the new stream (which must be null on entry), or E_FAIL
// after an "Error" box; a stream that fails after it was made is released before the box
// opens, so nothing of it lives on. `name` is in the ANSI code page.
HRESULT OpenMovieStream(const char* name);
