// Device contexts on any 32-bit pixel buffer: what DirectDraw surfaces, windows and message
// boxes draw through.
#pragma once

#include "platform/win32.h"
#include "runtime/common/pixel_buffer.h"

namespace vrel::gdi {

// A device context drawing into `target`: logical (0, 0) is at `origin` in the target, and
// nothing is drawn outside `clip` (target coordinates; cut to the target's bounds). Starts
// with the stock system font, black text, opaque white background. Null on bad arguments.
HDC CreateDeviceContext(const PixelBuffer& target, POINT origin, RECT clip);
// Frees a context made by CreateDeviceContext; objects selected into it are not deleted.
// False for an unknown handle.
bool DeleteDeviceContext(HDC dc);

}  // namespace vrel::gdi
