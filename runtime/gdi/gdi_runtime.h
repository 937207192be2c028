// Device contexts on any 32-bit pixel buffer: what DirectDraw surfaces, windows and message
// boxes draw through.
//
// GDI calls are safe from any thread (one lock guards the handle tables). Handles are
// checked before use: an unknown or deleted handle gives the call's failure result.
// DeleteObject on an object still selected into a context succeeds and kills the handle at
// once, but the object lives on until the last context deselects it (or is deleted), so
// drawing never touches freed memory. Text ink stays inside the cell that
// GetTextExtentPoint32A measures.
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
