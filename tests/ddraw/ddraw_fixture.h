// Shared pieces of the DirectDraw contract tests: a fixture that opens DirectDraw the way
// the intro does and checks at the end that every object is gone, surface descriptions,
// pixel access through Lock, and windows for clipping.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "runtime/com/unknown.h"
#include "runtime/ddraw/ddraw_runtime.h"

inline void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace vrel::ddraw::testing {

using com::ComPtr;

// Readable names for failing checks: "DDERR_INVALIDRECT (0x88760096)".
std::string ResultName(HRESULT hr);

// A copy of a surface's pixels.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The descriptions the intro uses.
DDSURFACEDESC PrimaryDesc();
// An offscreen plain surface; with the XRGB pixel format unless `withFormat` is false.
DDSURFACEDESC OffscreenDesc(DWORD width, DWORD height, bool withFormat = true);
DDPIXELFORMAT XrgbFormat();

// Reads every pixel through Lock/Unlock; an empty image (and a test failure) if it fails.
Image ReadPixels(IDirectDrawSurface* surface);
// Writes pixels through Lock/Unlock: value(x, y) for every pixel.
void WritePixels(IDirectDrawSurface* surface, uint32_t (*value)(int x, int y));
void FillSolid(IDirectDrawSurface* surface, uint32_t color);
// A value no other pixel of a surface up to 4095 wide has, never zero.
uint32_t UniqueValue(int x, int y);
// The virtual screen's framebuffer, copied.
Image SnapshotScreen();

// Where pixel (x, y) of a blit's destination rectangle samples: x * srcW / dstW, exactly.
int SampledIndex(int64_t offset, int64_t sourceLength, int64_t destLength);

// Checks a blit's result pixel by pixel: where `drawn(x, y)` holds (and inside `dst`),
// the pixel of `source` that the mapping of `dst` onto `src` samples; elsewhere the pixel
// of `before`. Reports the first few differences with `name`.
void ExpectBlitted(const Image& actual, const Image& before, const Image& source, const RECT& dst,
                   const RECT& src, const std::function<bool(int x, int y)>& drawn,
                   const std::string& name);
bool Inside(const RECT& r, int x, int y);

class DirectDrawTest : public ::testing::Test {
  protected:
    // COM on, a clean desktop, the screen at 640 × 480 × 32.
    void SetUp() override;
    // Drops the fixture's own references, then checks that every COM object is gone.
    void TearDown() override;

    // As the intro: factory by CoCreateInstance, IDirectDraw, IDirectDraw3 by QI.
    void OpenDirectDraw();
    ComPtr<IDirectDrawSurface> MakePrimary();
    ComPtr<IDirectDrawSurface> MakeOffscreen(DWORD width, DWORD height);
    ComPtr<IDirectDrawClipper> MakeClipper(HWND window);
    // A visible top-level popup window at that screen rectangle, above those made before.
    HWND MakeWindow(const RECT& rect);

    ComPtr<IDirectDrawFactory> factory;
    ComPtr<IDirectDraw> dd;
    ComPtr<IDirectDraw3> dd3;

  private:
    long liveAtStart_ = 0;
};

}  // namespace vrel::ddraw::testing
