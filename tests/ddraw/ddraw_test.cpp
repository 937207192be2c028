// The DirectDraw service as the intro uses it: the factory and its objects, cooperative
// level and display mode, surfaces and Lock/Unlock, Blt (stretch, clip, overlap, colour
// fill, sources from elsewhere) through clippers that follow windows, GetDC.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "common/fake_surface.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/testing.h"

namespace vrel::ddraw::testing {
namespace {

using com::ComPtr;
using R = RECT;
const std::optional<R> kAll;  // in a table: a null pointer, the whole surface
const R kExtremes{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
const DDPIXELFORMAT kXrgb = test::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);

bool Inside(const R& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
uint32_t UniqueValue(int x, int y) {  // never zero, never repeated in a surface < 4096 wide
    return 1u + (static_cast<uint32_t>(y) << 12) + static_cast<uint32_t>(x);
}

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The primary's description when `width` is 0, else an XRGB offscreen surface's.
DDSURFACEDESC Desc(DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | (width == 0 ? 0 : DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT);
    desc.ddsCaps.dwCaps = width == 0 ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = kXrgb;  // looked at only with DDSD_PIXELFORMAT
    return desc;
}

// Every pixel through Lock/Unlock; value(x, y) written there first when given.
Image Pixels(IDirectDrawSurface* surface, std::function<uint32_t(int, int)> value = {}) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    Image image{static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), {}};
    for (int y = 0; y < image.height; ++y) {
        auto* row =
            reinterpret_cast<uint32_t*>(static_cast<char*>(desc.lpSurface) + y * desc.lPitch);
        for (int x = 0; value && x < image.width; ++x) {
            row[x] = value(x, y);
        }
        image.pixels.insert(image.pixels.end(), row, row + image.width);
    }
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK);
    return image;
}

Image ScreenPixels() {
    const PixelBuffer fb = screen::Screen::Get().Framebuffer();
    Image image{fb.width, fb.height, {}};
    for (int y = 0; y < fb.height; ++y) {
        image.pixels.insert(image.pixels.end(), fb.Row(y), fb.Row(y) + fb.width);
    }
    return image;
}

// COM on, no windows, the screen at 640 × 480 × 32; at the end every COM object is gone.
class DirectDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        user::testing::ResetWindowing();
        ASSERT_TRUE(screen::Screen::Get().SetMode(640, 480, 32));
    }
    void TearDown() override {
        dd3.Reset();
        dd.Reset();
        factory.Reset();
        user::testing::ResetWindowing();
        CoUninitialize();
        EXPECT_EQ(com::LiveObjects::Count(), liveAtStart_) << "COM objects left alive";
    }
    // As the intro: the factory by CoCreateInstance, IDirectDraw from it, IDirectDraw3 by QI.
    void OpenDirectDraw() {
        ASSERT_EQ(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDirectDrawFactory, reinterpret_cast<void**>(factory.Put())),
                  S_OK);
        ASSERT_EQ(factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr, dd.Put()),
                  DD_OK);
        ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3.Put())), S_OK);
    }
    ComPtr<IDirectDrawSurface> Make(DDSURFACEDESC desc) {
        ComPtr<IDirectDrawSurface> surface;
        EXPECT_EQ(dd3->CreateSurface(&desc, surface.Put(), nullptr), DD_OK);
        return surface;
    }
    ComPtr<IDirectDrawClipper> MakeClipper(HWND window) {
        ComPtr<IDirectDrawClipper> clipper;
        EXPECT_EQ(dd3->CreateClipper(0, clipper.Put(), nullptr), DD_OK);
        EXPECT_TRUE(window == nullptr || clipper->SetHWnd(0, window) == DD_OK);
        return clipper;
    }
    // A visible popup at that screen rectangle, above the windows made before.
    HWND MakeWindow(const RECT& r) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.lpszClassName = "DirectDrawTestWindow";
        RegisterClassA(&cls);  // fails harmlessly when already registered
        return CreateWindowExA(0, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr,
                               nullptr);
    }

    ComPtr<IDirectDrawFactory> factory;
    ComPtr<IDirectDraw> dd;
    ComPtr<IDirectDraw3> dd3;
    const long liveAtStart_ = com::LiveObjects::Count();
};

TEST_F(DirectDrawTest, DirectDrawAndDirectDraw3AreOneObjectRefusingOtherInterfaces) {
    OpenDirectDraw();
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(dd->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.Put())), S_OK);
    ASSERT_EQ(dd3->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(b.Put())), S_OK);
    EXPECT_EQ(b.Get(), dd.Get());
    EXPECT_EQ(dd3->AddRef() + dd->Release(), 5u + 4u) << "one count: the fixture's two, a and b";
    void* out = &out;
    EXPECT_EQ(dd3->QueryInterface(IID_IDirectDrawSurface, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(DirectDrawTest, CooperativeLevels) {
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
}

// Every surface is 32-bit XRGB at its size, a new offscreen one black; the primary is the
// framebuffer at the mode's size. Modes the screen cannot show (the screen tests own which)
// and mode changes while the primary is held leave the screen as it was.
TEST_F(DirectDrawTest, SurfacesAndDisplayModes) {
    OpenDirectDraw();
    for (auto [w, h, bpp] : {std::tuple{640u, 480u, 16u}, {~0u, ~0u, 32u}, {640u, 4097u, 32u}}) {
        EXPECT_TRUE(FAILED(dd->SetDisplayMode(w, h, bpp))) << w << "x" << h << "x" << bpp;
        EXPECT_TRUE(FAILED(dd3->SetDisplayMode(w, h, bpp, 0, 0))) << w << "x" << h << "x" << bpp;
    }
    EXPECT_EQ(dd3->SetDisplayMode(640, 480, 32, 0, 1), DDERR_INVALIDPARAMS) << "unknown flag";
    EXPECT_EQ(screen::Screen::Get().Framebuffer().width, 640) << "the screen changed";
    DDSURFACEDESC bare = Desc(7, 5);
    bare.dwFlags &= ~DDSD_PIXELFORMAT;
    ComPtr<IDirectDrawSurface> primary = Make(Desc()), offscreen = Make(bare);
    auto described = [](IDirectDrawSurface* surface, DWORD w, DWORD h, DWORD caps) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(surface->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(desc.dwFlags,
                  DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT);
        EXPECT_EQ(std::pair(desc.dwWidth, desc.dwHeight), std::pair(w, h));
        EXPECT_GE(desc.lPitch, static_cast<LONG>(w * 4));
        EXPECT_EQ(std::memcmp(&desc.ddpfPixelFormat, &kXrgb, sizeof(kXrgb)), 0) << w;
        EXPECT_EQ(desc.ddsCaps.dwCaps & caps, caps);
        EXPECT_EQ(Pixels(surface).width, static_cast<int>(w)) << "Lock";
    };
    described(offscreen.Get(), 7, 5, DDSCAPS_OFFSCREENPLAIN);
    EXPECT_EQ(Pixels(offscreen.Get()).pixels, std::vector<uint32_t>(7 * 5)) << "not black";
    for (DWORD w : {800u, 320u, 640u}) {
        ASSERT_EQ(dd3->SetDisplayMode(w, w * 3 / 4, 32, 60, 0), DD_OK) << w;
        described(primary.Get(), w, w * 3 / 4, DDSCAPS_PRIMARYSURFACE);
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

TEST_F(DirectDrawTest, RefusedDescriptionsAndASecondPrimary) {
    OpenDirectDraw();
    using D = DDSURFACEDESC;
    const std::pair<HRESULT, std::vector<void (*)(D*)>> cases[] = {
        {DDERR_INVALIDPARAMS,
         {[](D* d) { d->dwSize = 120 + 108 - d->dwSize; },  // the other ABI's size
          [](D* d) { d->dwWidth = 0x80000000u; }, [](D* d) { d->dwHeight = 100000; },
          [](D* d) { d->dwFlags &= ~DDSD_HEIGHT; }, [](D* d) { d->dwFlags |= DDSD_LPSURFACE; }}},
        {DDERR_INVALIDPIXELFORMAT, {[](D* d) { d->ddpfPixelFormat.dwRGBBitCount = 24; }}},
        {DDERR_INVALIDCAPS,
         {[](D* d) { d->ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY; },
          [](D* d) { *d = Desc(), d->ddsCaps.dwCaps |= DDSCAPS_OFFSCREENPLAIN; }}}};
    for (const auto& [expected, edits] : cases) {
        for (size_t i = 0; i < edits.size(); ++i) {
            DDSURFACEDESC desc = Desc(64, 48);
            edits[i](&desc);
            IDirectDrawSurface* out = reinterpret_cast<IDirectDrawSurface*>(&desc);
            EXPECT_EQ(dd3->CreateSurface(&desc, &out, nullptr), expected) << expected << ":" << i;
            EXPECT_EQ(out, nullptr) << expected << ":" << i;
        }
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
TEST_F(DirectDrawTest, LockAndUnlock) {
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
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Blt(nullptr, other.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(other->Blt(nullptr, surface.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(desc.lpSurface), DD_OK);
}

enum class From { Own, Self, Foreign, Nothing, Fill };
enum class Clip { None, Edges, Window, Hidden, Destroyed };  // the primary's clipper: on what
using enum From;
using enum Clip;

struct BltCase {
    const char* name;
    HRESULT expected;
    From from;
    std::optional<R> dst, src;
    Clip clip = None;
    int w = 32, h = 24;           // the source surface's size
    std::vector<R> windows = {};  // the clipper's window, then windows above it
};

// Onto the primary (the screen, 640 × 480), from a surface painted with UniqueValue. A refused
// blit draws nothing; one that works draws every pixel of `dst` the clipper lets through, by
// the exact mapping (SourceAt), and nothing else.
const BltCase kBlits[] = {
    {"320x240 doubled over the screen", DD_OK, Own, kAll, kAll, None, 320, 240},
    {"200x150 stretched over the screen", DD_OK, Own, kAll, kAll, None, 200, 150},
    {"640x480 shrunk to 200x150", DD_OK, Own, R{7, 5, 207, 155}, kAll, None, 640, 480},
    {"inner rectangles", DD_OK, Own, R{5, 7, 305, 157}, R{10, 20, 110, 70}, None, 160, 120},
    {"one column widened", DD_OK, Own, R{0, 0, 300, 50}, kAll, None, 1, 100},
    {"a surface from elsewhere, read through its Lock", DD_OK, Foreign, kAll, kAll},
    {"colour fill", DD_OK, Fill, R{10, 5, 30, 25}, kAll},
    {"colour fill cut at the edges", DD_OK, Fill, R{600, -5, 700, 25}, kAll, Edges},
    {"onto itself, shifted right", DD_OK, Self, R{1, 0, 640, 480}, R{0, 0, 639, 480}},
    {"onto itself, shifted up", DD_OK, Self, R{0, 0, 640, 479}, R{0, 1, 640, 480}},
    {"onto itself, enlarged", DD_OK, Self, R{5, 5, 95, 75}, R{10, 10, 50, 40}},
    {"onto itself, apart", DD_OK, Self, R{50, 40, 90, 80}, R{0, 0, 40, 40}},
    {"cut past the top-left", DD_OK, Own, R{-40, -30, 40, 30}, kAll, Edges},
    {"cut past the bottom-right", DD_OK, Own, R{600, 400, 760, 560}, kAll, Edges},
    {"cut from LONG's extremes", DD_OK, Own, kExtremes, kAll, Edges},
    {"cut away to the right", DD_OK, Own, R{640, 0, 700, 480}, kAll, Edges},
    {"doubled, cut from an odd x", DD_OK, Own, R{-41, -3, 23, 45}, kAll, Edges},
    {"colour fill around a box above the window", DD_OK, Fill, kAll, kAll, Window, 0, 0,
     std::vector{R{0, 0, 640, 480}, R{100, 80, 300, 200}}},
    {"boxes above at odd columns, one off the screen", DD_OK, Own, kAll, kAll, Window, 320, 240,
     std::vector{R{0, 0, 640, 480}, R{3, 5, 201, 77}, R{7, 300, 16, 302}, R{500, 300, 800, 600}}},
    {"a smaller window under a bar", DD_OK, Own, kAll, kAll, Window, 320, 240,
     std::vector{R{101, 100, 500, 400}, R{300, 50, 350, 450}}},
    {"a hidden window", DD_OK, Own, kAll, kAll, Hidden, 320, 240, std::vector{R{0, 0, 64, 48}}},
    {"a destroyed window clips no more", DD_OK, Own, kAll, kAll, Destroyed, 320, 240,
     std::vector{R{100, 100, 200, 200}}},
    {"no source", DDERR_INVALIDPARAMS, Nothing, kAll, kAll},
    {"empty destination", DDERR_INVALIDRECT, Own, R{10, 10, 10, 20}, kAll},
    {"inverted destination", DDERR_INVALIDRECT, Own, R{20, 20, 10, 10}, kAll},
    {"destination past the edge", DDERR_INVALIDRECT, Own, R{0, 0, 641, 480}, kAll},
    {"destination at LONG's extremes", DDERR_INVALIDRECT, Own, kExtremes, kAll},
    {"empty source", DDERR_INVALIDRECT, Own, kAll, R{5, 5, 6, 5}},
    {"source past its edge", DDERR_INVALIDRECT, Own, kAll, R{0, 0, 33, 24}},
    {"source at LONG's extremes", DDERR_INVALIDRECT, Own, kAll, kExtremes},
};

// Where offset `at` of the destination side [d0, d1) reads on the source side [s0, s1).
int SourceAt(int at, LONG d0, LONG d1, LONG s0, LONG s1) {
    return static_cast<int>(s0 + (at - int64_t{d0}) * (s1 - s0) / (int64_t{d1} - d0));
}

TEST_F(DirectDrawTest, BltEveryRowOfTheTable) {
    for (const BltCase& c : kBlits) {
        user::testing::ResetWindowing();
        std::vector<HWND> windows;
        for (const R& r : c.windows) {
            windows.push_back(MakeWindow(r));
        }
        OpenDirectDraw();
        ComPtr<IDirectDrawSurface> primary = Make(Desc()), own;
        ComPtr<test::FakeSurface> foreign;
        IDirectDrawSurface* source = c.from == Self ? primary.Get() : nullptr;
        if (c.from == Own) {
            source = (own = Make(Desc(c.w, c.h))).Get();
        } else if (c.from == Foreign) {
            foreign = ComPtr(new test::FakeSurface(c.w, c.h, kXrgb));
            source = foreign.Get();
        }
        if (c.clip != None) {  // the app's own reference goes at once, as the intro's does
            HWND window = windows.empty() ? nullptr : windows[0];
            ASSERT_EQ(primary->SetClipper(MakeClipper(window).Get()), DD_OK);
        }
        if (c.clip == Hidden || c.clip == Destroyed) {  // after SetHWnd: the clipper must notice
            c.clip == Hidden ? ShowWindow(windows[0], SW_HIDE) : DestroyWindow(windows[0]);
        }
        const Image before = Pixels(primary.Get(), [&](int x, int y) {
            return c.from == Self ? UniqueValue(x, y) : 0x00ABCDEFu;  // no UniqueValue
        });
        const Image picture = c.from == Self ? before
                              : source       ? Pixels(source, UniqueValue)
                                             : Image{1, 1, {0x00123456}};
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = 0x00123456;
        const DWORD flags = DDBLT_WAIT | (c.from == Fill ? DDBLT_COLORFILL : 0);
        R dst = c.dst.value_or(R{0, 0, 640, 480});
        R src = c.src.value_or(R{0, 0, picture.width, picture.height});
        const HRESULT hr =
            primary->Blt(c.dst ? &dst : nullptr, source, c.src ? &src : nullptr, flags, &fx);
        EXPECT_EQ(hr, c.expected) << c.name;
        const Image after = ScreenPixels();
        for (int y = 0, wrong = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                bool drawn = hr == DD_OK && Inside(dst, x, y) && c.clip != Hidden &&
                             (c.clip != Window || Inside(c.windows[0], x, y));
                for (size_t i = 1; i < c.windows.size(); ++i) {
                    drawn = drawn && !Inside(c.windows[i], x, y);
                }
                const uint32_t expected =
                    drawn ? picture.At(SourceAt(x, dst.left, dst.right, src.left, src.right),
                                       SourceAt(y, dst.top, dst.bottom, src.top, src.bottom))
                          : before.At(x, y);
                EXPECT_TRUE(after.At(x, y) == expected || ++wrong > 5)
                    << c.name << ": (" << x << "," << y << ") shows 0x" << std::hex
                    << after.At(x, y) << ", not 0x" << expected;
            }
        }
        EXPECT_TRUE(!foreign || foreign->locks == foreign->unlocks) << c.name << ": left locked";
    }
}

// Blits both ways between two surfaces on two threads while this one locks one of them:
// no deadlock, and every call either works or finds the surface busy.
TEST_F(DirectDrawTest, BltConcurrentlyInOppositeDirections) {
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

// A surface's DC draws into its pixels (how GDI draws is the gdi tests' business); one DC
// at a time, given back by ReleaseDC, and gone with its surface.
TEST_F(DirectDrawTest, GetDcAndReleaseDc) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = Make(Desc(64, 48));
    const Image before = Pixels(surface.Get());
    HDC dc = nullptr, second = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
    EXPECT_TRUE(TextOutA(dc, 4, 4, "DC", 2));
    ASSERT_EQ(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC) << "already given back";
    EXPECT_NE(Pixels(surface.Get()).pixels, before.pixels) << "no text in the pixels";
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    surface.Reset();
    EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1)) << "the DC went with its surface";
}

using ScreenProbe = DirectDrawTest;

// Run by tests/e2e/screen_pixels.sh on a real screen: it waits for "drawn", compares its
// screenshot with <VREL_DDRAW_PROBE>/framebuffer.ppm and touches <VREL_DDRAW_PROBE>/done.
// Nothing but Blt presents, so the shot shows whether a blit reaches the real window by itself.
TEST_F(ScreenProbe, BlitShowsOnTheRealScreen) {
    const char* folder = std::getenv("VREL_DDRAW_PROBE");
    if (folder == nullptr || screen::Screen::Get().Headless()) {
        GTEST_SKIP() << "run by tests/e2e/screen_pixels.sh on a real screen";
    }
    const std::filesystem::path dir = folder;
    HWND main = MakeWindow({0, 0, 640, 480});
    MakeWindow({400, 300, 560, 400});  // a window above part of the picture
    OpenDirectDraw();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
    ComPtr<IDirectDrawSurface> primary = Make(Desc()), movie = Make(Desc(320, 240));
    // Every source pixel differs from its neighbours in red and green: 2 x 2 blocks show.
    Pixels(movie.Get(),
           [](int x, int y) { return (x * 37 % 256u) << 16 | (y * 53 % 256u) << 8 | 0x40; });
    Pixels(primary.Get(), [](int, int) { return 0u; });  // black on the screen (Unlock presents)
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(primary->SetClipper(MakeClipper(main).Get()), DD_OK);
    ASSERT_EQ(primary->Blt(nullptr, movie.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    std::ofstream out(dir / "framebuffer.ppm", std::ios::binary);
    out << "P6\n640 480\n255\n";
    for (uint32_t p : ScreenPixels().pixels) {
        out << static_cast<char>(p >> 16) << static_cast<char>(p >> 8) << static_cast<char>(p);
    }
    ASSERT_TRUE(out.flush()) << dir;
    std::cout << "drawn" << std::endl;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(dir / "done") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "done")) << "the script never finished";
}

}  // namespace
}  // namespace vrel::ddraw::testing
