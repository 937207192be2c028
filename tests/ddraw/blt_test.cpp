// IDirectDrawSurface::Blt through COM: stretching onto the screen, refusals, clipping at
// the surface's edges, self-blits, colour fills and sources from elsewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

#include "runtime/com/unknown.h"
#include "tests/ddraw/ddraw_fixture.h"
#include "tests/ddraw/fake_surface.h"

namespace vrel::ddraw::testing {
namespace {

using BltTest = DirectDrawTest;

constexpr uint32_t kMarker = 0x00ABCDEF;
const auto kEverywhere = [](int, int) { return true; };

struct ScreenCase {
    const char* name;
    DWORD srcWidth, srcHeight;
    bool explicitRects;  // pass both rectangles instead of null
};

// The movie frame stretched over the screen, as the intro does every frame.
TEST_F(BltTest, StretchesOntoThePrimaryExactly) {
    OpenDirectDraw();
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    const ScreenCase cases[] = {{"320x240 doubled", 320, 240, true},
                                {"640x480 copied", 640, 480, false},
                                {"640x480 copied, explicit rectangles", 640, 480, true},
                                {"200x150 stretched", 200, 150, false}};
    for (const ScreenCase& c : cases) {
        ComPtr<IDirectDrawSurface> movie = MakeOffscreen(c.srcWidth, c.srcHeight);
        WritePixels(movie.Get(), UniqueValue);
        FillSolid(primary.Get(), kMarker);
        RECT screenRect{0, 0, 640, 480};
        RECT movieRect{0, 0, static_cast<LONG>(c.srcWidth), static_cast<LONG>(c.srcHeight)};
        HRESULT hr = primary->Blt(c.explicitRects ? &screenRect : nullptr, movie.Get(),
                                  c.explicitRects ? &movieRect : nullptr, DDBLT_WAIT, nullptr);
        ASSERT_EQ(hr, DD_OK) << c.name << ": " << ResultName(hr);
        Image before{640, 480, std::vector<uint32_t>(640 * 480, kMarker)};
        ExpectBlitted(SnapshotScreen(), before, ReadPixels(movie.Get()), screenRect, movieRect,
                      kEverywhere, c.name);
    }
}

TEST_F(BltTest, DoublingGivesEachSourcePixelATwoByTwoBlock) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ComPtr<IDirectDrawSurface> movie = MakeOffscreen(320, 240);
    WritePixels(movie.Get(), UniqueValue);
    ASSERT_EQ(primary->Blt(nullptr, movie.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    Image screen = SnapshotScreen();
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (screen.At(x, y) != UniqueValue(x / 2, y / 2) && wrong++ < 5) {
                ADD_FAILURE() << "screen (" << x << "," << y << ") should show source (" << x / 2
                              << "," << y / 2 << ")";
            }
        }
    }
}

// 200 x 150 over 640 x 480 at hand-computed points (x * 200 / 640, y * 150 / 480).
TEST_F(BltTest, NonIntegerRatioOnTheScreen) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ComPtr<IDirectDrawSurface> movie = MakeOffscreen(200, 150);
    WritePixels(movie.Get(), UniqueValue);
    ASSERT_EQ(primary->Blt(nullptr, movie.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    Image screen = SnapshotScreen();
    const int points[][4] = {
        {0, 0, 0, 0}, {4, 3, 1, 0}, {7, 4, 2, 1}, {320, 16, 100, 5}, {639, 479, 199, 149}};
    for (const auto& p : points) {
        EXPECT_EQ(screen.At(p[0], p[1]), UniqueValue(p[2], p[3]))
            << "(" << p[0] << "," << p[1] << ") should show (" << p[2] << "," << p[3] << ")";
    }
}

struct RefusedCase {
    const char* name;
    bool nullSource;
    RECT dst;
    RECT src;
    DWORD flags;
    HRESULT expected;
};

// Every refusal leaves the destination as it was.
TEST_F(BltTest, RefusedBlitsDrawNothing) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> dest = MakeOffscreen(64, 48);
    ComPtr<IDirectDrawSurface> source = MakeOffscreen(32, 24);
    WritePixels(source.Get(), UniqueValue);
    const RECT full{0, 0, 64, 48};
    const RECT whole{0, 0, 32, 24};
    const RECT extreme{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    const RefusedCase cases[] = {
        {"null source", true, full, whole, DDBLT_WAIT, DDERR_INVALIDPARAMS},
        {"empty destination", false, {10, 10, 10, 20}, whole, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"inverted destination", false, {20, 20, 10, 10}, whole, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"empty source", false, full, {5, 5, 6, 5}, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"source past its edge", false, full, {0, 0, 33, 24}, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"source at negative x", false, full, {-1, 0, 31, 24}, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"source at LONG's extremes", false, full, extreme, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"destination past the edge", false, {0, 0, 65, 48}, whole, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"destination at negative y", false, {0, -1, 64, 47}, whole, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"destination at LONG's extremes", false, extreme, whole, DDBLT_WAIT, DDERR_INVALIDRECT},
        {"colour key flag", false, full, whole, DDBLT_WAIT | 0x8000, E_NOTIMPL},
        {"colour fill without effects", true, full, whole, DDBLT_COLORFILL, DDERR_INVALIDPARAMS},
    };
    for (const RefusedCase& c : cases) {
        FillSolid(dest.Get(), kMarker);
        RECT dst = c.dst;
        RECT src = c.src;
        HRESULT hr = dest->Blt(&dst, c.nullSource ? nullptr : source.Get(), &src, c.flags, nullptr);
        EXPECT_EQ(hr, c.expected) << c.name << ": " << ResultName(hr);
        Image after = ReadPixels(dest.Get());
        EXPECT_EQ(std::count(after.pixels.begin(), after.pixels.end(), kMarker), 64 * 48)
            << c.name << " drew something";
    }
}

TEST_F(BltTest, ColourFillWithEffects) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> dest = MakeOffscreen(64, 48);
    FillSolid(dest.Get(), kMarker);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x00123456;
    RECT area{10, 5, 30, 25};
    ASSERT_EQ(dest->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    Image after = ReadPixels(dest.Get());
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(after.At(x, y), Inside(area, x, y) ? 0x00123456u : kMarker)
                << "(" << x << "," << y << ")";
        }
    }
    fx.dwSize = 4;
    EXPECT_EQ(dest->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
}

struct ClippedCase {
    const char* name;
    RECT dst;
};

// With a clipper (no window) the destination is cut to the surface, and what is drawn is
// sampled as if the whole rectangle had been drawn.
TEST_F(BltTest, ClipperWithoutWindowCutsAtTheSurfaceEdges) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> dest = MakeOffscreen(64, 48);
    ComPtr<IDirectDrawSurface> source = MakeOffscreen(32, 24);
    WritePixels(source.Get(), UniqueValue);
    ComPtr<IDirectDrawClipper> clipper = MakeClipper(nullptr);
    ASSERT_EQ(dest->SetClipper(clipper.Get()), DD_OK);
    const ClippedCase cases[] = {
        {"beyond the top-left", {-40, -30, 40, 30}},
        {"beyond the bottom-right", {20, 10, 120, 90}},
        {"around the surface", {-100, -100, 200, 200}},
        {"LONG's extremes", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
        {"right of the surface", {64, 0, 100, 48}},
        {"far away", {INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX}},
    };
    const Image source_pixels = ReadPixels(source.Get());
    for (const ClippedCase& c : cases) {
        FillSolid(dest.Get(), kMarker);
        RECT dst = c.dst;
        HRESULT hr = dest->Blt(&dst, source.Get(), nullptr, DDBLT_WAIT, nullptr);
        ASSERT_EQ(hr, DD_OK) << c.name << ": " << ResultName(hr);
        Image before{64, 48, std::vector<uint32_t>(64 * 48, kMarker)};
        ExpectBlitted(ReadPixels(dest.Get()), before, source_pixels, c.dst, {0, 0, 32, 24},
                      kEverywhere, c.name);
    }
}

struct SelfCase {
    const char* name;
    RECT src;
    RECT dst;
};

TEST_F(BltTest, BlitOntoItselfReadsTheOriginal) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(100, 80);
    const SelfCase cases[] = {
        {"shift right", {0, 0, 99, 80}, {1, 0, 100, 80}},
        {"shift up", {0, 1, 100, 80}, {0, 0, 100, 79}},
        {"enlarge over itself", {10, 10, 50, 40}, {5, 5, 95, 75}},
        {"apart", {0, 0, 40, 40}, {50, 40, 90, 80}},
    };
    for (const SelfCase& c : cases) {
        WritePixels(surface.Get(), UniqueValue);
        const Image original = ReadPixels(surface.Get());
        RECT dst = c.dst;
        RECT src = c.src;
        ASSERT_EQ(surface->Blt(&dst, surface.Get(), &src, DDBLT_WAIT, nullptr), DD_OK) << c.name;
        ExpectBlitted(ReadPixels(surface.Get()), original, original, c.dst, c.src, kEverywhere,
                      c.name);
    }
}

TEST_F(BltTest, HeldSurfacesAreBusy) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> dest = MakeOffscreen(64, 48);
    ComPtr<IDirectDrawSurface> source = MakeOffscreen(32, 24);
    for (IDirectDrawSurface* locked : {dest.Get(), source.Get()}) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(locked->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_EQ(dest->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY)
            << (locked == dest.Get() ? "destination" : "source") << " locked";
        ASSERT_EQ(locked->Unlock(desc.lpSurface), DD_OK);
    }
    EXPECT_EQ(dest->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

// Blits both ways between two surfaces on two threads while a third locks one of them:
// no deadlock, and every call either works or finds the surface busy.
TEST_F(BltTest, ConcurrentBlitsInOppositeDirections) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> a = MakeOffscreen(64, 48);
    ComPtr<IDirectDrawSurface> b = MakeOffscreen(64, 48);
    std::atomic<int> unexpected{0};
    auto blitMany = [&](IDirectDrawSurface* to, IDirectDrawSurface* from) {
        for (int i = 0; i < 300; ++i) {
            HRESULT hr = to->Blt(nullptr, from, nullptr, DDBLT_WAIT, nullptr);
            if (hr != DD_OK && hr != DDERR_SURFACEBUSY) {
                ++unexpected;
            }
        }
    };
    auto lockMany = [&] {
        for (int i = 0; i < 300; ++i) {
            DDSURFACEDESC desc{};
            desc.dwSize = sizeof(desc);
            if (a->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) == DD_OK) {
                static_cast<uint32_t*>(desc.lpSurface)[0] = static_cast<uint32_t>(i);
                a->Unlock(desc.lpSurface);
            }
        }
    };
    std::thread one(blitMany, a.Get(), b.Get());
    std::thread two(blitMany, b.Get(), a.Get());
    std::thread three(lockMany);
    one.join();
    two.join();
    three.join();
    EXPECT_EQ(unexpected.load(), 0);
}

// Surfaces made elsewhere are read through their Lock, and only in our pixel format.
TEST_F(BltTest, SourcesFromElsewhere) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> dest = MakeOffscreen(64, 48);
    FillSolid(dest.Get(), kMarker);
    DDPIXELFORMAT rgb565 = XrgbFormat();
    rgb565.dwRGBBitCount = 16;
    rgb565.dwRBitMask = 0xF800;
    rgb565.dwGBitMask = 0x07E0;
    rgb565.dwBBitMask = 0x001F;
    auto* other = new FakeSurface(32, 24, rgb565);
    EXPECT_EQ(dest->Blt(nullptr, other, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(other->locks, 0) << "a source of another format is not even read";
    EXPECT_EQ(other->Release(), 0u);
    Image after = ReadPixels(dest.Get());
    EXPECT_EQ(std::count(after.pixels.begin(), after.pixels.end(), kMarker), 64 * 48);

    auto* same = new FakeSurface(32, 24, XrgbFormat());
    same->Fill(UniqueValue);
    ASSERT_EQ(dest->Blt(nullptr, same, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(same->locks, 1);
    EXPECT_EQ(same->unlocks, 1);
    EXPECT_EQ(same->Release(), 0u);
    after = ReadPixels(dest.Get());
    EXPECT_EQ(after.At(63, 47), UniqueValue(31, 23));
    EXPECT_EQ(after.At(2, 2), UniqueValue(1, 1));
}

}  // namespace
}  // namespace vrel::ddraw::testing
