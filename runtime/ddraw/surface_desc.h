// Surface descriptions: checking what CreateSurface is asked for and filling in what
// GetSurfaceDesc, Lock and GetDisplayMode report. Every surface is 32-bit XRGB.
#pragma once

#include "platform/ddraw.h"
#include "runtime/common/pixel_buffer.h"

namespace vrel::ddraw {

// Larger surfaces are refused as absurd (a side of 8192 is already 256 MiB at most).
constexpr DWORD kMaxSurfaceSide = 8192;

// The one pixel format: 32 bits, 0x00RRGGBB.
DDPIXELFORMAT XrgbPixelFormat();
bool SamePixelFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);

// What a valid CreateSurface description asks for.
struct SurfaceRequest {
    bool primary = false;
    int width = 0;  // offscreen only; the primary is the framebuffer's size
    int height = 0;
    DWORD caps = 0;  // the caps the surface reports
};

// DD_OK and *request, or DDERR_INVALIDPARAMS (size field, missing or absurd dimensions,
// fields a primary cannot have, caller-supplied memory), DDERR_INVALIDCAPS (caps we do not
// make) or DDERR_INVALIDPIXELFORMAT (anything but XRGB).
HRESULT ParseSurfaceRequest(const DDSURFACEDESC& desc, SurfaceRequest* request);

// Fills *desc as GetSurfaceDesc reports a surface of these pixels and caps: flags, size,
// pitch in bytes, caps and pixel format; everything else zero. Keeps dwSize.
void DescribeSurface(const PixelBuffer& pixels, DWORD caps, DDSURFACEDESC* desc);

}  // namespace vrel::ddraw
