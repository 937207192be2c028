// DirectDraw on the virtual screen: the entry point the COM registry uses.
#pragma once

#include "platform/ddraw.h"

namespace vrel::ddraw {

// A new DirectDrawEx factory (CLSID_DirectDrawFactory), asked for by iid.
HRESULT CreateDirectDrawFactory(REFIID iid, void** out);

}  // namespace vrel::ddraw
