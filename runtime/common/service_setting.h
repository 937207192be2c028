// Whether one of the runtime's outward services (the message port, the media-player bus)
// starts, from its environment setting: `on` always, `off` never, unset (or anything else)
// when the program shows a real screen (VREL_SCREEN is not `none`), so test programs
// running without a screen start no service threads.
#pragma once

namespace vrel {

bool ServiceWanted(const char* variable);

}  // namespace vrel
