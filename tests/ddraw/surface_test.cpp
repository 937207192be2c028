// Surfaces: creation and its refusals, descriptions, the display mode, Lock and clippers.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/screen/screen.h"
#include "tests/ddraw/ddraw_fixture.h"

namespace vrel::ddraw::testing {
namespace {

using SurfaceTest = DirectDrawTest;

void ExpectXrgbFormat(const DDPIXELFORMAT& f, const std::string& where) {
    EXPECT_EQ(f.dwSize, 32u) << where;
    EXPECT_EQ(f.dwFlags, DDPF_RGB) << where;
    EXPECT_EQ(f.dwRGBBitCount, 32u) << where;
    EXPECT_EQ(f.dwRBitMask, 0x00FF0000u) << where;
    EXPECT_EQ(f.dwGBitMask, 0x0000FF00u) << where;
    EXPECT_EQ(f.dwBBitMask, 0x000000FFu) << where;
}

void ExpectDescription(IDirectDrawSurface* surface, DWORD width, DWORD height, DWORD caps,
                       const std::string& where) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK) << where;
    EXPECT_EQ(desc.dwFlags, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT)
        << where;
    EXPECT_EQ(desc.dwWidth, width) << where;
    EXPECT_EQ(desc.dwHeight, height) << where;
    EXPECT_GE(desc.lPitch, static_cast<LONG>(width * 4)) << where;
    EXPECT_EQ(desc.ddsCaps.dwCaps & caps, caps) << where;
    EXPECT_EQ(desc.lpSurface, nullptr) << where;
    ExpectXrgbFormat(desc.ddpfPixelFormat, where);
}

// The intro's set-up: mode, primary, description, offscreen surface made from it.
TEST_F(SurfaceTest, OffscreenMadeFromThePrimaryDescriptionMatchesIt) {
    OpenDirectDraw();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ASSERT_TRUE(primary);
    ExpectDescription(primary.Get(), 640, 480, DDSCAPS_PRIMARYSURFACE, "primary");

    DDSURFACEDESC primaryDesc{};
    primaryDesc.dwSize = sizeof(primaryDesc);
    ASSERT_EQ(primary->GetSurfaceDesc(&primaryDesc), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = primaryDesc.dwWidth;
    desc.dwHeight = primaryDesc.dwHeight;
    desc.ddpfPixelFormat = primaryDesc.ddpfPixelFormat;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ComPtr<IDirectDrawSurface> offscreen;
    ASSERT_EQ(dd3->CreateSurface(&desc, offscreen.Put(), nullptr), DD_OK);
    ExpectDescription(offscreen.Get(), 640, 480, DDSCAPS_OFFSCREENPLAIN, "offscreen");

    DDPIXELFORMAT format{};
    ASSERT_EQ(offscreen->GetPixelFormat(&format), DD_OK);
    ExpectXrgbFormat(format, "GetPixelFormat");
    DDSCAPS caps{};
    ASSERT_EQ(offscreen->GetCaps(&caps), DD_OK);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
    EXPECT_FALSE(caps.dwCaps & DDSCAPS_PRIMARYSURFACE);
}

TEST_F(SurfaceTest, OffscreenWithoutFormatTakesTheDisplays) {
    OpenDirectDraw();
    DDSURFACEDESC desc = OffscreenDesc(200, 150, false);
    ComPtr<IDirectDrawSurface> surface;
    ASSERT_EQ(dd3->CreateSurface(&desc, surface.Put(), nullptr), DD_OK);
    ExpectDescription(surface.Get(), 200, 150, DDSCAPS_OFFSCREENPLAIN, "no format given");
    Image pixels = ReadPixels(surface.Get());
    EXPECT_EQ(std::count(pixels.pixels.begin(), pixels.pixels.end(), 0u), 200 * 150)
        << "a new surface is black";
}

struct ModeCase {
    const char* name;
    DWORD width, height, bpp;
};

TEST_F(SurfaceTest, ModesTheScreenCannotShowAreRefused) {
    OpenDirectDraw();
    const ModeCase cases[] = {
        {"16 bits", 640, 480, 16}, {"24 bits", 640, 480, 24},  {"8 bits", 640, 480, 8},
        {"0 bits", 640, 480, 0},   {"zero width", 0, 480, 32}, {"zero height", 640, 0, 32},
        {"huge", 100000, 480, 32}, {"all ones", ~0u, ~0u, 32}, {"4097 high", 640, 4097, 32},
    };
    for (const ModeCase& c : cases) {
        HRESULT hr = dd->SetDisplayMode(c.width, c.height, c.bpp);
        EXPECT_TRUE(hr == DDERR_INVALIDMODE || hr == DDERR_UNSUPPORTEDMODE)
            << c.name << " (IDirectDraw): " << ResultName(hr);
        hr = dd3->SetDisplayMode(c.width, c.height, c.bpp, 0, 0);
        EXPECT_TRUE(hr == DDERR_INVALIDMODE || hr == DDERR_UNSUPPORTEDMODE)
            << c.name << " (IDirectDraw3): " << ResultName(hr);
        PixelBuffer fb = screen::Screen::Get().Framebuffer();
        EXPECT_EQ(fb.width, 640) << c.name << " changed the screen";
        EXPECT_EQ(fb.height, 480) << c.name << " changed the screen";
    }
    EXPECT_EQ(dd3->SetDisplayMode(640, 480, 32, 0, 1), DDERR_INVALIDPARAMS) << "unknown flag";
}

// The primary is the framebuffer at whatever size the mode has now.
TEST_F(SurfaceTest, PrimaryFollowsTheDisplayMode) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    const ModeCase modes[] = {
        {"800x600", 800, 600, 32}, {"320x240", 320, 240, 32}, {"640x480", 640, 480, 32}};
    for (const ModeCase& m : modes) {
        ASSERT_EQ(dd3->SetDisplayMode(m.width, m.height, m.bpp, 60, 0), DD_OK) << m.name;
        ExpectDescription(primary.Get(), m.width, m.height, DDSCAPS_PRIMARYSURFACE, m.name);
        DDSURFACEDESC mode{};
        mode.dwSize = sizeof(mode);
        ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
        EXPECT_EQ(mode.dwWidth, m.width) << m.name;
        EXPECT_EQ(mode.dwHeight, m.height) << m.name;
        Image pixels = ReadPixels(primary.Get());
        EXPECT_EQ(pixels.width, static_cast<int>(m.width)) << m.name << " Lock";
    }
}

TEST_F(SurfaceTest, ModeStaysWhileThePrimaryIsHeld) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    ASSERT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DDERR_SURFACEBUSY) << "locked";
    ASSERT_EQ(primary->Unlock(desc.lpSurface), DD_OK);
    HDC dc = nullptr;
    ASSERT_EQ(primary->GetDC(&dc), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DDERR_SURFACEBUSY) << "DC out";
    ASSERT_EQ(primary->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(screen::Screen::Get().Framebuffer().width, 640);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DD_OK);
}

struct CreateCase {
    const char* name;
    void (*change)(DDSURFACEDESC*);
    HRESULT expected;
};

const CreateCase kRefusedSurfaces[] = {
    {"dwSize zero", [](DDSURFACEDESC* d) { d->dwSize = 0; }, DDERR_INVALIDPARAMS},
    {"dwSize of the other pointer width",
     [](DDSURFACEDESC* d) { d->dwSize = sizeof(DDSURFACEDESC) == 120 ? 108 : 120; },
     DDERR_INVALIDPARAMS},
    {"uninitialised", [](DDSURFACEDESC* d) { std::memset(d, 0xCD, sizeof(*d)); },
     DDERR_INVALIDPARAMS},
    {"zero width", [](DDSURFACEDESC* d) { d->dwWidth = 0; }, DDERR_INVALIDPARAMS},
    {"zero height", [](DDSURFACEDESC* d) { d->dwHeight = 0; }, DDERR_INVALIDPARAMS},
    {"absurd width", [](DDSURFACEDESC* d) { d->dwWidth = 0x80000000u; }, DDERR_INVALIDPARAMS},
    {"absurd height", [](DDSURFACEDESC* d) { d->dwHeight = 100000; }, DDERR_INVALIDPARAMS},
    {"no height flag", [](DDSURFACEDESC* d) { d->dwFlags &= ~DDSD_HEIGHT; }, DDERR_INVALIDPARAMS},
    {"caller's memory", [](DDSURFACEDESC* d) { d->dwFlags |= DDSD_LPSURFACE; },
     DDERR_INVALIDPARAMS},
    {"16-bit RGB",
     [](DDSURFACEDESC* d) {
         d->ddpfPixelFormat.dwRGBBitCount = 16;
         d->ddpfPixelFormat.dwRBitMask = 0xF800;
         d->ddpfPixelFormat.dwGBitMask = 0x07E0;
         d->ddpfPixelFormat.dwBBitMask = 0x001F;
     },
     DDERR_INVALIDPIXELFORMAT},
    {"24-bit RGB", [](DDSURFACEDESC* d) { d->ddpfPixelFormat.dwRGBBitCount = 24; },
     DDERR_INVALIDPIXELFORMAT},
    {"32-bit BGR",
     [](DDSURFACEDESC* d) {
         d->ddpfPixelFormat.dwRBitMask = 0x000000FF;
         d->ddpfPixelFormat.dwBBitMask = 0x00FF0000;
     },
     DDERR_INVALIDPIXELFORMAT},
    {"alpha channel",
     [](DDSURFACEDESC* d) {
         d->ddpfPixelFormat.dwFlags |= 0x1;  // DDPF_ALPHAPIXELS
         d->ddpfPixelFormat.dwRGBAlphaBitMask = 0xFF000000;
     },
     DDERR_INVALIDPIXELFORMAT},
    {"FourCC", [](DDSURFACEDESC* d) { d->ddpfPixelFormat.dwFlags = 0x4; },
     DDERR_INVALIDPIXELFORMAT},
    {"pixel format size", [](DDSURFACEDESC* d) { d->ddpfPixelFormat.dwSize = 0; },
     DDERR_INVALIDPIXELFORMAT},
    {"texture caps", [](DDSURFACEDESC* d) { d->ddsCaps.dwCaps |= 0x1000; }, DDERR_INVALIDCAPS},
    {"system and video memory",
     [](DDSURFACEDESC* d) { d->ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY; },
     DDERR_INVALIDCAPS},
    {"primary with a size", [](DDSURFACEDESC* d) { d->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE; },
     DDERR_INVALIDPARAMS},
    {"primary and offscreen",
     [](DDSURFACEDESC* d) {
         d->dwFlags = DDSD_CAPS;
         d->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN;
     },
     DDERR_INVALIDCAPS},
};

TEST_F(SurfaceTest, InvalidDescriptionsAreRefused) {
    OpenDirectDraw();
    for (const CreateCase& c : kRefusedSurfaces) {
        DDSURFACEDESC desc = OffscreenDesc(64, 48);
        c.change(&desc);
        IDirectDrawSurface* out = reinterpret_cast<IDirectDrawSurface*>(1);
        HRESULT hr = dd3->CreateSurface(&desc, &out, nullptr);
        EXPECT_EQ(hr, c.expected) << c.name << ": " << ResultName(hr);
        EXPECT_EQ(out, nullptr) << c.name;
    }
}

TEST_F(SurfaceTest, NullPointersAndOuterObjectsAreRefused) {
    OpenDirectDraw();
    DDSURFACEDESC desc = OffscreenDesc(64, 48);
    IDirectDrawSurface* out = reinterpret_cast<IDirectDrawSurface*>(1);
    EXPECT_EQ(dd3->CreateSurface(nullptr, &out, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dd3->CreateSurface(&desc, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, dd.Get()), CLASS_E_NOAGGREGATION);
    IDirectDrawClipper* clipper = nullptr;
    EXPECT_EQ(dd->CreateClipper(0, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->CreateClipper(1, &clipper, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(clipper, nullptr);
    EXPECT_EQ(dd->CreateClipper(0, &clipper, dd.Get()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK) << "still usable after the refusals";
}

TEST_F(SurfaceTest, OnePrimaryAtATime) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> first = MakePrimary();
    DDSURFACEDESC desc = PrimaryDesc();
    IDirectDrawSurface* second = reinterpret_cast<IDirectDrawSurface*>(1);
    EXPECT_EQ(dd3->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(dd->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS)
        << "through IDirectDraw too";
    first.Reset();
    ComPtr<IDirectDrawSurface> again = MakePrimary();
    EXPECT_TRUE(again) << "a new primary once the old one is gone";
}

TEST_F(SurfaceTest, DescriptionQueriesRefuseBadArguments) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(32, 32);
    DDSURFACEDESC desc{};
    EXPECT_EQ(surface->GetSurfaceDesc(nullptr), DDERR_INVALIDPARAMS);
    desc.dwSize = 0;
    EXPECT_EQ(surface->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS);
    desc.dwSize = sizeof(desc) + 4;
    EXPECT_EQ(surface->GetSurfaceDesc(&desc), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->GetPixelFormat(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->GetCaps(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetDisplayMode(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->GetDisplayMode(&desc), DDERR_INVALIDPARAMS);
}

TEST_F(SurfaceTest, LockHandsOutTheRectanglesPixels) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(100, 60);
    WritePixels(surface.Get(), UniqueValue);
    struct Case {
        const char* name;
        RECT rect;
    };
    const Case cases[] = {
        {"whole", {0, 0, 100, 60}}, {"inner", {10, 20, 30, 40}}, {"last pixel", {99, 59, 100, 60}}};
    for (const Case& c : cases) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        RECT rect = c.rect;
        ASSERT_EQ(surface->Lock(&rect, &desc, DDLOCK_WAIT, nullptr), DD_OK) << c.name;
        EXPECT_TRUE(desc.dwFlags & DDSD_LPSURFACE) << c.name;
        EXPECT_EQ(desc.dwWidth, 100u) << c.name;
        EXPECT_EQ(desc.lPitch, 400) << c.name;
        ExpectXrgbFormat(desc.ddpfPixelFormat, c.name);
        auto* first = static_cast<uint32_t*>(desc.lpSurface);
        EXPECT_EQ(*first, UniqueValue(c.rect.left, c.rect.top)) << c.name;
        EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK) << c.name;
    }
}

TEST_F(SurfaceTest, LockRefusals) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(100, 60);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    const RECT bad[] = {{-1, 0, 10, 10},
                        {0, 0, 101, 60},
                        {50, 50, 50, 55},
                        {20, 20, 10, 30},
                        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
    for (RECT r : bad) {
        EXPECT_EQ(surface->Lock(&r, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS)
            << ::testing::PrintToString(r);
    }
    EXPECT_EQ(surface->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    DDSURFACEDESC unsized{};
    EXPECT_EQ(surface->Lock(nullptr, &unsized, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);

    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    HDC dc = nullptr;
    EXPECT_EQ(surface->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK);
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DDERR_NOTLOCKED);
}

TEST_F(SurfaceTest, ClipperAttachment) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakePrimary();
    IDirectDrawClipper* got = reinterpret_cast<IDirectDrawClipper*>(1);
    EXPECT_EQ(surface->GetClipper(&got), DDERR_NOCLIPPERATTACHED);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(surface->GetClipper(nullptr), DDERR_INVALIDPARAMS);

    ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
    ASSERT_EQ(surface->SetClipper(clipper.Get()), DD_OK);
    ASSERT_EQ(surface->GetClipper(&got), DD_OK);
    EXPECT_EQ(got, clipper.Get());
    EXPECT_EQ(got->Release(), 2u) << "the app's reference and the surface's";
    EXPECT_EQ(surface->SetClipper(nullptr), DD_OK);
    EXPECT_EQ(clipper->AddRef(), 2u) << "detaching gave the surface's reference back";
    clipper->Release();

    HWND window = MakeWindow({0, 0, 640, 480});
    HWND stored = nullptr;
    EXPECT_EQ(clipper->GetHWnd(&stored), DD_OK);
    EXPECT_EQ(stored, nullptr);
    EXPECT_EQ(clipper->SetHWnd(0, window), DD_OK);
    EXPECT_EQ(clipper->GetHWnd(&stored), DD_OK);
    EXPECT_EQ(stored, window);
    EXPECT_EQ(clipper->SetHWnd(1, window), DDERR_INVALIDPARAMS) << "unknown flag";
    EXPECT_EQ(clipper->SetHWnd(0, reinterpret_cast<HWND>(0x7777)), DDERR_INVALIDPARAMS)
        << "not a window";
    EXPECT_EQ(clipper->GetHWnd(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(clipper->GetClipList(nullptr, nullptr, nullptr), E_NOTIMPL);
}

}  // namespace
}  // namespace vrel::ddraw::testing
