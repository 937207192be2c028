// The DirectDraw service as the intro uses it, one behaviour a row: the factory and its
// objects, cooperative level and display mode, surfaces and Lock/Unlock, Blt (stretch, clip,
// overlap, colour fill, sources from elsewhere), clippers that follow windows, GetDC.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <numeric>
#include <string>
#include <thread>
#include <utility>

#include "tests/ddraw/ddraw_support.h"

namespace vrel::ddraw::testing {
namespace {

using R = RECT;
const R kNull{0, 0, 0, 0};  // in a table: a null pointer
const R kExtremes{INT_MIN, INT_MIN, INT_MAX, INT_MAX};

bool Inside(const R& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
uint32_t UniqueValue(int x, int y) {  // never zero, never repeated in a surface < 4096 wide
    return 1u + (static_cast<uint32_t>(y) << 12) + static_cast<uint32_t>(x);
}

using FactoryTest = DirectDrawTest;

TEST_F(FactoryTest, DirectDrawAndDirectDraw3AreOneObjectRefusingOtherInterfaces) {
    OpenDirectDraw();
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(dd3->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(b, dd.Get());
    EXPECT_EQ(dd3->AddRef(), 5u) << "one count: the fixture's two, a and b";
    EXPECT_EQ(dd->Release() + a->Release() + b->Release(), 4u + 3u + 2u);
    for (auto [object, iid] : {std::pair<IUnknown*, IID>{dd.Get(), IID_IDirectDrawSurface},
                               {dd3.Get(), IID_IClassFactory},
                               {factory.Get(), IID_IDirectDraw}}) {
        void* out = &out;
        EXPECT_EQ(object->QueryInterface(iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(dd->QueryInterface(IID_IDirectDraw3, nullptr), E_POINTER);
}

TEST_F(FactoryTest, CooperativeLevels) {
    OpenDirectDraw();
    const std::pair<DWORD, HRESULT> cases[] = {
        {DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE, DD_OK},
        {DDSCL_NORMAL, DD_OK},
        {0, DDERR_INVALIDPARAMS},
        {DDSCL_FULLSCREEN, DDERR_INVALIDPARAMS},
        {DDSCL_NORMAL | DDSCL_EXCLUSIVE, DDERR_INVALIDPARAMS}};
    for (auto [level, expected] : cases) {
        IDirectDraw* out = reinterpret_cast<IDirectDraw*>(&out);
        EXPECT_EQ(factory->CreateDirectDraw(nullptr, nullptr, level, 0, nullptr, &out), expected);
        EXPECT_EQ(out == nullptr || out->Release() != 0u, expected != DD_OK) << level;
        EXPECT_EQ(dd3->SetCooperativeLevel(nullptr, level), expected) << level;
    }
    GUID device{};
    IDirectDraw* out = nullptr;
    EXPECT_EQ(factory->CreateDirectDraw(&device, nullptr, DDSCL_NORMAL, 0, nullptr, &out),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, dd.Get(), &out),
              CLASS_E_NOAGGREGATION);
}

// The objects the intro holds, released in every possible order: all of them end.
TEST_F(FactoryTest, TeardownInAnyOrderReleasesEverything) {
    const long before = com::LiveObjects::Count();
    std::array<int, 6> order;
    std::iota(order.begin(), order.end(), 0);
    do {
        OpenDirectDraw();
        ComPtr<IDirectDrawSurface> primary = Make(Desc()), offscreen = Make(Desc(8, 8));
        ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
        ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
        IUnknown* held[6] = {factory.Detach(), primary.Detach(), offscreen.Detach(),
                             clipper.Detach(), dd3.Detach(),     dd.Detach()};
        for (int index : order) {
            held[index]->Release();
        }
        ASSERT_EQ(com::LiveObjects::Count(), before) << order[0] << order[1] << order[2];
    } while (std::next_permutation(order.begin(), order.end()));
}

using ModeTest = DirectDrawTest;

TEST_F(ModeTest, ModesTheScreenCannotShowAreRefused) {
    OpenDirectDraw();
    const DWORD cases[][3] = {{640, 480, 16}, {640, 480, 24}, {640, 480, 8},  {0, 480, 32},
                              {640, 0, 32},   {~0u, ~0u, 32}, {640, 4097, 32}};
    for (const auto& m : cases) {
        for (HRESULT hr :
             {dd->SetDisplayMode(m[0], m[1], m[2]), dd3->SetDisplayMode(m[0], m[1], m[2], 0, 0)}) {
            EXPECT_TRUE(hr == DDERR_INVALIDMODE || hr == DDERR_UNSUPPORTEDMODE) << m[0] << m[1];
        }
        EXPECT_EQ(screen::Screen::Get().Framebuffer().width, 640) << "the screen changed";
    }
    EXPECT_EQ(dd3->SetDisplayMode(640, 480, 32, 0, 1), DDERR_INVALIDPARAMS) << "unknown flag";
}

// The primary is the framebuffer at the mode's size; the mode stays while it is held.
TEST_F(ModeTest, PrimaryFollowsTheDisplayModeWhenNotHeld) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = Make(Desc());
    for (DWORD w : {800u, 320u, 640u}) {
        ASSERT_EQ(dd3->SetDisplayMode(w, w * 3 / 4, 32, 60, 0), DD_OK) << w;
        DDSURFACEDESC mode{}, desc{};
        mode.dwSize = desc.dwSize = sizeof(mode);
        ASSERT_EQ(dd->GetDisplayMode(&mode), DD_OK);
        ASSERT_EQ(primary->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(std::pair(mode.dwWidth, mode.dwHeight), std::pair(w, w * 3 / 4));
        EXPECT_EQ(std::pair(desc.dwWidth, desc.dwHeight), std::pair(w, w * 3 / 4));
        EXPECT_EQ(Pixels(primary.Get()).width, static_cast<int>(w)) << "Lock";
    }
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    HDC dc = nullptr;
    ASSERT_EQ(primary->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DDERR_SURFACEBUSY) << "locked";
    ASSERT_EQ(primary->Unlock(desc.lpSurface), DD_OK);
    ASSERT_EQ(primary->GetDC(&dc), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 32), DDERR_SURFACEBUSY) << "DC out";
    ASSERT_EQ(primary->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(screen::Screen::Get().Framebuffer().width, 640);
}

using SurfaceTest = DirectDrawTest;

// Every surface is 32-bit XRGB whatever it was asked for; a new offscreen one is black.
TEST_F(SurfaceTest, DescriptionsOfTheSurfacesMade) {
    OpenDirectDraw();
    const DDPIXELFORMAT xrgb = XrgbFormat();
    for (DDSURFACEDESC asked : {Desc(), Desc(200, 150), Desc(7, 5, false)}) {
        ComPtr<IDirectDrawSurface> surface = Make(asked);
        const DWORD w = asked.dwWidth == 0 ? 640 : asked.dwWidth;
        const DWORD h = asked.dwWidth == 0 ? 480 : asked.dwHeight;
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        DDPIXELFORMAT format{};
        DDSCAPS caps{};
        ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        ASSERT_EQ(surface->GetPixelFormat(&format), DD_OK);
        ASSERT_EQ(surface->GetCaps(&caps), DD_OK);
        EXPECT_EQ(desc.dwFlags,
                  DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT);
        EXPECT_EQ(std::pair(desc.dwWidth, desc.dwHeight), std::pair(w, h));
        EXPECT_GE(desc.lPitch, static_cast<LONG>(w * 4));
        EXPECT_EQ(std::memcmp(&desc.ddpfPixelFormat, &xrgb, sizeof(xrgb)), 0) << w;
        EXPECT_EQ(std::memcmp(&format, &xrgb, sizeof(xrgb)), 0) << w;
        EXPECT_EQ(desc.ddsCaps.dwCaps & asked.ddsCaps.dwCaps, asked.ddsCaps.dwCaps);
        EXPECT_EQ(caps.dwCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN),
                  asked.ddsCaps.dwCaps);
        const Image image = Pixels(surface.Get());
        EXPECT_TRUE(asked.dwWidth == 0 || image.pixels == std::vector<uint32_t>(w * h)) << w;
    }
}

TEST_F(SurfaceTest, RefusedDescriptionsAndASecondPrimary) {
    OpenDirectDraw();
    using D = DDSURFACEDESC;
    const std::pair<void (*)(D*), HRESULT> cases[] = {
        {[](D* d) { d->dwSize = 0; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwSize = 120 + 108 - d->dwSize; }, DDERR_INVALIDPARAMS},  // other ABI's
        {[](D* d) { std::memset(d, 0xCD, sizeof(*d)); }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwWidth = 0; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwWidth = 0x80000000u; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwHeight = 100000; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwFlags &= ~DDSD_HEIGHT; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->dwFlags |= DDSD_LPSURFACE; }, DDERR_INVALIDPARAMS},  // caller's memory
        {[](D* d) { d->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE; }, DDERR_INVALIDPARAMS},
        {[](D* d) { d->ddpfPixelFormat.dwRGBBitCount = 24; }, DDERR_INVALIDPIXELFORMAT},
        {[](D* d) { d->ddpfPixelFormat.dwRBitMask = 0xFF; }, DDERR_INVALIDPIXELFORMAT},
        {[](D* d) { d->ddpfPixelFormat.dwFlags |= 0x1; }, DDERR_INVALIDPIXELFORMAT},  // alpha
        {[](D* d) { d->ddpfPixelFormat.dwFlags = 0x4; }, DDERR_INVALIDPIXELFORMAT},   // FourCC
        {[](D* d) { d->ddpfPixelFormat.dwSize = 0; }, DDERR_INVALIDPIXELFORMAT},
        {[](D* d) { d->ddsCaps.dwCaps |= 0x1000; }, DDERR_INVALIDCAPS},  // a texture
        {[](D* d) { d->ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY; },
         DDERR_INVALIDCAPS},
        {[](D* d) { *d = Desc(), d->ddsCaps.dwCaps |= DDSCAPS_OFFSCREENPLAIN; }, DDERR_INVALIDCAPS},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        DDSURFACEDESC desc = Desc(64, 48);
        cases[i].first(&desc);
        IDirectDrawSurface* out = reinterpret_cast<IDirectDrawSurface*>(&desc);
        EXPECT_EQ(dd3->CreateSurface(&desc, &out, nullptr), cases[i].second) << "row " << i;
        EXPECT_EQ(out, nullptr) << "row " << i;
    }
    DDSURFACEDESC desc = Desc();
    IDirectDrawSurface* out = nullptr;
    ComPtr<IDirectDrawSurface> primary = Make(desc);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    primary.Reset();
    EXPECT_TRUE(Make(desc)) << "a new primary once the old one is gone";
}

// Lock hands out the rectangle's first pixel; a locked surface refuses what would touch its
// pixels (Lock, GetDC, Blt either way) until Unlock.
TEST_F(SurfaceTest, LockAndUnlock) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = Make(Desc(100, 60)), other = Make(Desc(100, 60));
    Pixels(surface.Get(), UniqueValue);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    for (R r : {R{0, 0, 100, 60}, R{10, 20, 30, 40}, R{99, 59, 100, 60}}) {
        ASSERT_EQ(surface->Lock(&r, &desc, DDLOCK_WAIT, nullptr), DD_OK) << r.left;
        EXPECT_EQ(std::pair(desc.dwWidth, desc.lPitch), std::pair(DWORD{100}, LONG{400}));
        EXPECT_EQ(*static_cast<uint32_t*>(desc.lpSurface), UniqueValue(r.left, r.top));
        EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK);
    }
    for (R r :
         {R{-1, 0, 10, 10}, R{0, 0, 101, 60}, R{50, 50, 50, 55}, R{20, 20, 10, 30}, kExtremes}) {
        EXPECT_EQ(surface->Lock(&r, &desc, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS) << r.left;
    }
    DDSURFACEDESC unsized{};
    EXPECT_EQ(surface->Lock(nullptr, &unsized, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Blt(nullptr, other.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(other->Blt(nullptr, surface.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK);
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DDERR_NOTLOCKED);
}

// The surface holds a reference to its clipper of its own; the clipper remembers a window.
TEST_F(SurfaceTest, ClipperAttachment) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = Make(Desc());
    ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
    IDirectDrawClipper* got = clipper.Get();
    EXPECT_EQ(surface->GetClipper(&got), DDERR_NOCLIPPERATTACHED);
    ASSERT_EQ(surface->SetClipper(clipper.Get()), DD_OK);
    ASSERT_EQ(surface->GetClipper(&got), DD_OK);
    EXPECT_EQ(got, clipper.Get());
    EXPECT_EQ(got->Release(), 2u) << "the app's reference and the surface's";
    EXPECT_EQ(surface->SetClipper(nullptr), DD_OK);
    EXPECT_EQ(clipper->AddRef() + clipper->Release(), 2u + 1u) << "the surface's went back";
    HWND window = MakeWindow({0, 0, 640, 480});
    HWND stored = window;
    EXPECT_EQ(clipper->GetHWnd(&stored), DD_OK);
    EXPECT_EQ(stored, nullptr);
    EXPECT_EQ(clipper->SetHWnd(0, window), DD_OK);
    EXPECT_EQ(clipper->GetHWnd(&stored), DD_OK);
    EXPECT_EQ(stored, window);
    EXPECT_EQ(clipper->SetHWnd(0, reinterpret_cast<HWND>(0x7777)), DDERR_INVALIDPARAMS);
}

using BltTest = DirectDrawTest;

enum class From { Own, Self, Foreign, Foreign565, Nothing, Fill, BadFill };
enum class Clip { None, Edges, Window, Hidden, Destroyed };  // the primary's clipper: on what
using enum From;
using enum Clip;

struct BltCase {
    const char* name;
    HRESULT expected;
    From from;
    int w, h;  // the source surface's size
    R dst, src;
    Clip clip;
    std::vector<R> windows = {};  // the clipper's window, then windows above it
};

// Onto the primary (the screen, 640 × 480), from a surface painted with UniqueValue. A
// refused blit draws nothing; one that works draws every pixel of `dst` that the clipper
// lets through, by the exact mapping: offset i shows src.left + i * srcWidth / dstWidth
// (likewise for y), and nothing else.
const BltCase kBlits[] = {
    {"320x240 doubled over the screen", DD_OK, Own, 320, 240, kNull, kNull, None},
    {"640x480 copied", DD_OK, Own, 640, 480, R{0, 0, 640, 480}, R{0, 0, 640, 480}, None},
    {"200x150 stretched over the screen", DD_OK, Own, 200, 150, kNull, kNull, None},
    {"640x480 shrunk to 200x150", DD_OK, Own, 640, 480, R{7, 5, 207, 155}, kNull, None},
    {"7x5 onto 13x11", DD_OK, Own, 7, 5, R{0, 0, 13, 11}, kNull, None},
    {"inner rectangles", DD_OK, Own, 160, 120, R{5, 7, 305, 157}, R{10, 20, 110, 70}, None},
    {"inner rectangles doubled", DD_OK, Own, 64, 48, R{1, 2, 67, 56}, R{7, 3, 40, 30}, None},
    {"one pixel over everything", DD_OK, Own, 3, 3, kNull, R{1, 1, 2, 2}, None},
    {"one column widened", DD_OK, Own, 1, 100, R{0, 0, 300, 50}, kNull, None},
    {"a surface from elsewhere, read through its Lock", DD_OK, Foreign, 32, 24, kNull, kNull, None},
    {"colour fill", DD_OK, Fill, 0, 0, R{10, 5, 30, 25}, kNull, None},
    {"colour fill cut at the edges", DD_OK, Fill, 0, 0, R{600, -5, 700, 25}, kNull, Edges},
    {"onto itself, shifted right", DD_OK, Self, 0, 0, R{1, 0, 640, 480}, R{0, 0, 639, 480}, None},
    {"onto itself, shifted up", DD_OK, Self, 0, 0, R{0, 0, 640, 479}, R{0, 1, 640, 480}, None},
    {"onto itself, enlarged", DD_OK, Self, 0, 0, R{5, 5, 95, 75}, R{10, 10, 50, 40}, None},
    {"onto itself, apart", DD_OK, Self, 0, 0, R{50, 40, 90, 80}, R{0, 0, 40, 40}, None},
    {"cut past the top-left", DD_OK, Own, 32, 24, R{-40, -30, 40, 30}, kNull, Edges},
    {"cut past the bottom-right", DD_OK, Own, 32, 24, R{600, 400, 760, 560}, kNull, Edges},
    {"cut all round", DD_OK, Own, 32, 24, R{-100, -100, 800, 600}, kNull, Edges},
    {"cut from LONG's extremes", DD_OK, Own, 32, 24, kExtremes, kNull, Edges},
    {"cut away to the right", DD_OK, Own, 32, 24, R{640, 0, 700, 480}, kNull, Edges},
    {"cut away far off", DD_OK, Own, 32, 24, R{INT_MAX - 9, 0, INT_MAX, 9}, kNull, Edges},
    {"doubled, cut from an odd x", DD_OK, Own, 32, 24, R{-41, -3, 23, 45}, kNull, Edges},
    {"a box above the window", DD_OK, Own, 320, 240, kNull, kNull, Window,
     std::vector{R{0, 0, 640, 480}, R{100, 80, 300, 200}}},
    {"boxes above at odd columns, one off the screen", DD_OK, Own, 320, 240, kNull, kNull, Window,
     std::vector{R{0, 0, 640, 480}, R{3, 5, 201, 77}, R{7, 300, 16, 302}, R{500, 300, 800, 600}}},
    {"a smaller window under a bar", DD_OK, Own, 320, 240, kNull, kNull, Window,
     std::vector{R{101, 100, 500, 400}, R{300, 50, 350, 450}}},
    {"a window past the screen", DD_OK, Own, 320, 240, kNull, kNull, Window,
     std::vector{R{-50, -50, 700, 300}}},
    {"a hidden window", DD_OK, Own, 320, 240, kNull, kNull, Hidden, std::vector{R{0, 0, 64, 48}}},
    {"a destroyed window clips no more", DD_OK, Own, 320, 240, kNull, kNull, Destroyed,
     std::vector{R{100, 100, 200, 200}}},
    {"no source", DDERR_INVALIDPARAMS, Nothing, 0, 0, kNull, kNull, None},
    {"empty destination", DDERR_INVALIDRECT, Own, 32, 24, R{10, 10, 10, 20}, kNull, None},
    {"inverted destination", DDERR_INVALIDRECT, Own, 32, 24, R{20, 20, 10, 10}, kNull, None},
    {"destination past the edge", DDERR_INVALIDRECT, Own, 32, 24, R{0, 0, 641, 480}, kNull, None},
    {"destination above the top", DDERR_INVALIDRECT, Own, 32, 24, R{0, -1, 640, 479}, kNull, None},
    {"destination at LONG's extremes", DDERR_INVALIDRECT, Own, 32, 24, kExtremes, kNull, None},
    {"empty source", DDERR_INVALIDRECT, Own, 32, 24, kNull, R{5, 5, 6, 5}, None},
    {"source past its edge", DDERR_INVALIDRECT, Own, 32, 24, kNull, R{0, 0, 33, 24}, None},
    {"source left of its edge", DDERR_INVALIDRECT, Own, 32, 24, kNull, R{-1, 0, 31, 24}, None},
    {"source at LONG's extremes", DDERR_INVALIDRECT, Own, 32, 24, kNull, kExtremes, None},
    {"colour fill, effects of the wrong size", DDERR_INVALIDPARAMS, BadFill, 0, 0, kNull, kNull,
     None},
    {"a surface from elsewhere in 16-bit RGB", DDERR_INVALIDPIXELFORMAT, Foreign565, 32, 24, kNull,
     kNull, None},
};

bool operator==(const R& a, const R& b) {
    return std::memcmp(&a, &b, sizeof(R)) == 0;
}

TEST_F(BltTest, EveryRowOfTheTable) {
    for (const BltCase& c : kBlits) {
        user::testing::ResetWindowing();
        std::vector<HWND> windows;
        for (const R& r : c.windows) {
            windows.push_back(MakeWindow(r));
        }
        OpenDirectDraw();
        ComPtr<IDirectDrawSurface> primary = Make(Desc()), own;
        test::FakeSurface* foreign = nullptr;
        IDirectDrawSurface* source = c.from == Self ? primary.Get() : nullptr;
        if (c.from == Own) {
            source = (own = Make(Desc(c.w, c.h))).Get();
        } else if (c.from == Foreign || c.from == Foreign565) {
            const DDPIXELFORMAT rgb565 = test::RgbFormat(16, 0xF800, 0x7E0, 0x1F);
            source = foreign =
                new test::FakeSurface(c.w, c.h, c.from == Foreign ? XrgbFormat() : rgb565);
        }
        if (c.clip != None) {  // the app's own reference goes at once, as the intro's does
            HWND window = windows.empty() ? nullptr : windows[0];
            ASSERT_EQ(primary->SetClipper(MakeClipper(window).Get()), DD_OK);
        }
        if (c.clip == Hidden) {
            ShowWindow(windows[0], SW_HIDE);
        } else if (c.clip == Destroyed) {
            DestroyWindow(windows[0]);
        }
        const Image before = Pixels(primary.Get(), [&](int x, int y) {
            return c.from == Self ? UniqueValue(x, y) : 0x00ABCDEFu;  // no UniqueValue
        });
        const Image picture = c.from == Self                   ? before
                              : source && c.from != Foreign565 ? Pixels(source, UniqueValue)
                                                               : Image{1, 1, {0x00123456}};
        DDBLTFX fx{};
        fx.dwSize = c.from == BadFill ? 4 : sizeof(fx);
        fx.dwFillColor = 0x00123456;
        const DWORD flags =
            DDBLT_WAIT | (c.from == Fill || c.from == BadFill ? DDBLT_COLORFILL : 0);
        R dst = c.dst == kNull ? R{0, 0, 640, 480} : c.dst;
        R src = c.src == kNull ? R{0, 0, picture.width, picture.height} : c.src;
        const HRESULT hr = primary->Blt(c.dst == kNull ? nullptr : &dst, source,
                                        c.src == kNull ? nullptr : &src, flags, &fx);
        EXPECT_EQ(hr, c.expected) << c.name;
        const Image after = ScreenPixels();
        const int64_t dw = int64_t{dst.right} - dst.left, dh = int64_t{dst.bottom} - dst.top;
        for (int y = 0, wrong = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                bool drawn = hr == DD_OK && Inside(dst, x, y) && c.clip != Hidden &&
                             (c.clip != Window || Inside(c.windows[0], x, y));
                for (size_t i = 1; i < c.windows.size(); ++i) {
                    drawn = drawn && !Inside(c.windows[i], x, y);
                }
                const uint32_t expected =
                    drawn ? picture.At(static_cast<int>(src.left + (x - int64_t{dst.left}) *
                                                                       (src.right - src.left) / dw),
                                       static_cast<int>(src.top + (y - int64_t{dst.top}) *
                                                                      (src.bottom - src.top) / dh))
                          : before.At(x, y);
                EXPECT_TRUE(after.At(x, y) == expected || ++wrong > 5)
                    << c.name << ": (" << x << "," << y << ") shows 0x" << std::hex
                    << after.At(x, y) << ", not 0x" << expected;
            }
        }
        if (foreign != nullptr) {
            EXPECT_EQ(foreign->locks, foreign->unlocks) << c.name << ": its source left locked";
            foreign->Release();
        }
        own.Reset();
        primary.Reset();
        CloseDirectDraw();
    }
}

// Blits both ways between two surfaces on two threads while this one locks one of them:
// no deadlock, and every call either works or finds the surface busy.
TEST_F(BltTest, ConcurrentBlitsInOppositeDirections) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> a = Make(Desc(64, 48)), b = Make(Desc(64, 48));
    std::atomic<int> unexpected{0};
    auto blitMany = [&](IDirectDrawSurface* to, IDirectDrawSurface* from) {
        for (int i = 0; i < 300; ++i) {
            HRESULT hr = to->Blt(nullptr, from, nullptr, DDBLT_WAIT, nullptr);
            unexpected += hr != DD_OK && hr != DDERR_SURFACEBUSY;
        }
    };
    std::thread one(blitMany, a.Get(), b.Get()), two(blitMany, b.Get(), a.Get());
    for (int i = 0; i < 300; ++i) {
        Pixels(a.Get());
    }
    one.join();
    two.join();
    EXPECT_EQ(unexpected.load(), 0);
}

using DcTest = DirectDrawTest;

// GDI text through a surface's DC lands in its pixels (the primary's: on the screen), in
// the text colour and only inside the text's box. One DC at a time, given back by ReleaseDC.
TEST_F(DcTest, GetDcAndReleaseDc) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = Make(Desc()), offscreen = Make(Desc(640, 480));
    for (IDirectDrawSurface* surface : {offscreen.Get(), primary.Get()}) {
        Pixels(surface, [](int, int) { return 0x00203040u; });
        HDC dc = nullptr;
        HDC second = nullptr;
        SIZE size{};
        EXPECT_EQ(surface->ReleaseDC(nullptr), DDERR_NODC) << "none out";
        ASSERT_EQ(surface->GetDC(&dc), DD_OK);
        EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 0, 0));
        EXPECT_TRUE(TextOutA(dc, 41, 30, "Hello, DC", 9));
        EXPECT_TRUE(GetTextExtentPoint32A(dc, "Hello, DC", 9, &size));
        EXPECT_EQ(surface->ReleaseDC(second), DDERR_INVALIDPARAMS) << "not its DC";
        ASSERT_EQ(surface->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC) << "already given back";
        const Image image = surface == primary.Get() ? ScreenPixels() : Pixels(surface);
        const R box{41, 30, 41 + size.cx, 30 + size.cy};
        int red = 0;
        int outside = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            red += image.pixels[i] == 0x00FF0000;
            outside += image.pixels[i] != 0x00203040 && !Inside(box, i % 640, i / 640);
        }
        EXPECT_GT(red, 50) << "the glyphs in the text colour";
        EXPECT_EQ(outside, 0);
    }
    HDC dc = nullptr;
    EXPECT_EQ(offscreen->GetDC(nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(offscreen->GetDC(&dc), DD_OK);
    offscreen.Reset();
    EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1)) << "the DC went with its surface";
}

}  // namespace
}  // namespace vrel::ddraw::testing
