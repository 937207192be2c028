// GetDC/ReleaseDC: GDI text drawn into surfaces and carried to the screen by a blit.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/common/rect.h"
#include "tests/ddraw/ddraw_fixture.h"

namespace vrel::ddraw::testing {
namespace {

using DcTest = DirectDrawTest;

constexpr uint32_t kBackground = 0x00203040;
constexpr char kText[] = "Kestrum ist doof";

// Draws kText at (x, y) in pure red on a transparent background; returns its extent.
SIZE DrawText(IDirectDrawSurface* surface, int x, int y) {
    HDC dc = nullptr;
    HRESULT hr = surface->GetDC(&dc);
    EXPECT_EQ(hr, DD_OK) << ResultName(hr);
    if (dc == nullptr) {
        return {};
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 0, 0));
    EXPECT_TRUE(TextOutA(dc, x, y, kText, static_cast<int>(std::strlen(kText))));
    SIZE extent{};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, kText, static_cast<int>(std::strlen(kText)), &extent));
    hr = surface->ReleaseDC(dc);
    EXPECT_EQ(hr, DD_OK) << ResultName(hr);
    return extent;
}

// Pixels that are not the background: where, and of which colour.
struct Changes {
    int inside = 0;
    int outside = 0;
    int red = 0;
};

Changes CountChanges(const Image& image, const RECT& textBox) {
    Changes c;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.At(x, y);
            if (p == kBackground) {
                continue;
            }
            (Inside(textBox, x, y) ? c.inside : c.outside) += 1;
            c.red += p == 0x00FF0000 ? 1 : 0;
        }
    }
    return c;
}

TEST_F(DcTest, TextGoesIntoTheSurfaceAndOnToTheScreen) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    ComPtr<IDirectDrawSurface> offscreen = MakeOffscreen(640, 480);
    FillSolid(offscreen.Get(), kBackground);
    const SIZE extent = DrawText(offscreen.Get(), 40, 30);
    ASSERT_GT(extent.cx, 0);
    const RECT textBox{40, 30, 40 + extent.cx, 30 + extent.cy};

    const Changes inSurface = CountChanges(ReadPixels(offscreen.Get()), textBox);
    EXPECT_GT(inSurface.red, 50) << "the glyphs are drawn in the text colour";
    EXPECT_EQ(inSurface.outside, 0) << "nothing drawn outside the text's box";

    ASSERT_EQ(primary->Blt(nullptr, offscreen.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const Changes onScreen = CountChanges(SnapshotScreen(), textBox);
    EXPECT_EQ(onScreen.red, inSurface.red) << "the blit carries the text to the screen";
    EXPECT_EQ(onScreen.inside, inSurface.inside);
    EXPECT_EQ(onScreen.outside, 0);
}

TEST_F(DcTest, PrimaryDcDrawsOnTheScreen) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> primary = MakePrimary();
    FillSolid(primary.Get(), kBackground);
    const SIZE extent = DrawText(primary.Get(), 300, 200);
    const Changes changes =
        CountChanges(SnapshotScreen(), {300, 200, 300 + extent.cx, 200 + extent.cy});
    EXPECT_GT(changes.red, 50);
    EXPECT_EQ(changes.outside, 0);
}

TEST_F(DcTest, OneDcAtATime) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(64, 48);
    HDC dc = nullptr;
    EXPECT_EQ(surface->GetDC(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->ReleaseDC(nullptr), DDERR_NODC) << "none out";
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    HDC second = nullptr;
    EXPECT_EQ(surface->GetDC(&second), DDERR_DCALREADYCREATED);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    HDC wrong = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(dc) + 8);
    EXPECT_EQ(surface->ReleaseDC(wrong), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->ReleaseDC(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC) << "already given back";
    EXPECT_EQ(surface->GetDC(&dc), DD_OK) << "a new one after ReleaseDC";
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
}

// A surface that dies with its DC still out takes the DC with it (the sanitizer build
// reports the leak otherwise), and the DC no longer draws anywhere.
TEST_F(DcTest, SurfaceReleasedWithItsDcOut) {
    OpenDirectDraw();
    ComPtr<IDirectDrawSurface> surface = MakeOffscreen(64, 48);
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    surface.Reset();
    EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1)) << "the DC went with its surface";
}

}  // namespace
}  // namespace vrel::ddraw::testing
