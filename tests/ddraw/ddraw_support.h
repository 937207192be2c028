// What the DirectDraw tests share: pixels through Lock/Unlock and a fixture that opens
// DirectDraw as the intro does and checks at the end that every COM object is gone.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/fake_surface.h"
#include "runtime/ddraw/ddraw_runtime.h"
#include "runtime/screen/screen.h"
#include "runtime/user/testing.h"

namespace vrel::ddraw::testing {

using com::ComPtr;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline DDPIXELFORMAT XrgbFormat() {
    return test::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
}

// The primary's description when `width` is 0, else an offscreen surface's.
inline DDSURFACEDESC Desc(DWORD width = 0, DWORD height = 0, bool withFormat = true) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | (width == 0 ? 0 : DDSD_WIDTH | DDSD_HEIGHT);
    desc.dwFlags |= width != 0 && withFormat ? DDSD_PIXELFORMAT : 0;
    desc.ddsCaps.dwCaps = width == 0 ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = width != 0 && withFormat ? XrgbFormat() : DDPIXELFORMAT{};
    return desc;
}

// Every pixel through Lock/Unlock; value(x, y) written there first when given.
inline Image Pixels(IDirectDrawSurface* surface, std::function<uint32_t(int, int)> value = {}) {
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

// The virtual screen's framebuffer.
inline Image ScreenPixels() {
    const PixelBuffer fb = screen::Screen::Get().Framebuffer();
    Image image{fb.width, fb.height, {}};
    for (int y = 0; y < fb.height; ++y) {
        image.pixels.insert(image.pixels.end(), fb.Row(y), fb.Row(y) + fb.width);
    }
    return image;
}

class DirectDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {  // COM on, no windows, the screen at 640 × 480 × 32
        liveAtStart_ = com::LiveObjects::Count();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        user::testing::ResetWindowing();
        ASSERT_TRUE(screen::Screen::Get().SetMode(640, 480, 32));
    }
    void TearDown() override {
        CloseDirectDraw();
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
    void CloseDirectDraw() {
        dd3.Reset();
        dd.Reset();
        factory.Reset();
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

  private:
    long liveAtStart_ = 0;
};

}  // namespace vrel::ddraw::testing
