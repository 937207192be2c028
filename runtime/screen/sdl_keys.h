// SDL key codes to the platform's virtual keys.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

namespace vrel::screen {

// 0 for keys the runtime does not report.
UINT VirtualKeyFromSdl(SDL_Keycode key);

}  // namespace vrel::screen
