#include "tests/ddraw/ddraw_fixture.h"

#include <cstring>
#include <sstream>

#include "runtime/screen/screen.h"
#include "runtime/user/testing.h"

namespace vrel::ddraw::testing {

std::string ResultName(HRESULT hr) {
    struct Named {
        HRESULT hr;
        const char* name;
    };
    static const Named kNames[] = {
        {DD_OK, "DD_OK"},
        {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED/E_NOTIMPL"},
        {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
        {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS"},
        {DDERR_INVALIDMODE, "DDERR_INVALIDMODE"},
        {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT"},
        {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT"},
        {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
        {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
        {DDERR_PRIMARYSURFACEALREADYEXISTS, "DDERR_PRIMARYSURFACEALREADYEXISTS"},
        {DDERR_NOCLIPPERATTACHED, "DDERR_NOCLIPPERATTACHED"},
        {DDERR_NOTLOCKED, "DDERR_NOTLOCKED"},
        {DDERR_CANTCREATEDC, "DDERR_CANTCREATEDC"},
        {DDERR_NODC, "DDERR_NODC"},
        {DDERR_UNSUPPORTEDMODE, "DDERR_UNSUPPORTEDMODE"},
        {DDERR_DCALREADYCREATED, "DDERR_DCALREADYCREATED"},
    };
    std::ostringstream s;
    for (const Named& n : kNames) {
        if (n.hr == hr) {
            s << n.name << " ";
        }
    }
    s << "(0x" << std::hex << static_cast<uint32_t>(hr) << ")";
    return s.str();
}

DDPIXELFORMAT XrgbFormat() {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = 32;
    f.dwRBitMask = 0x00FF0000;
    f.dwGBitMask = 0x0000FF00;
    f.dwBBitMask = 0x000000FF;
    return f;
}

DDSURFACEDESC PrimaryDesc() {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    return desc;
}

DDSURFACEDESC OffscreenDesc(DWORD width, DWORD height, bool withFormat) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (withFormat) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = XrgbFormat();
    }
    return desc;
}

uint32_t UniqueValue(int x, int y) {
    return 1u + (static_cast<uint32_t>(y) << 12) + static_cast<uint32_t>(x);
}

int SampledIndex(int64_t offset, int64_t sourceLength, int64_t destLength) {
    return static_cast<int>(offset * sourceLength / destLength);
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void ExpectBlitted(const Image& actual, const Image& before, const Image& source, const RECT& dst,
                   const RECT& src, const std::function<bool(int x, int y)>& drawn,
                   const std::string& name) {
    ASSERT_EQ(actual.width, before.width) << name;
    ASSERT_EQ(actual.height, before.height) << name;
    const int64_t dw = int64_t{dst.right} - dst.left;
    const int64_t dh = int64_t{dst.bottom} - dst.top;
    int reported = 0;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            uint32_t expected = before.At(x, y);
            if (Inside(dst, x, y) && drawn(x, y)) {
                int sx = src.left + SampledIndex(x - int64_t{dst.left}, src.right - src.left, dw);
                int sy = src.top + SampledIndex(y - int64_t{dst.top}, src.bottom - src.top, dh);
                expected = source.At(sx, sy);
            }
            if (actual.At(x, y) != expected && reported++ < 5) {
                ADD_FAILURE() << name << ": pixel (" << x << "," << y << ") expected 0x" << std::hex
                              << expected << " actual 0x" << actual.At(x, y);
            }
        }
    }
}

namespace {

// Runs `visit(row pointer, y)` over a locked surface; false when Lock fails.
template <typename Visit>
bool WithLockedRows(IDirectDrawSurface* surface, int* width, int* height, Visit visit) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (hr != DD_OK) {
        ADD_FAILURE() << "Lock: " << ResultName(hr);
        return false;
    }
    *width = static_cast<int>(desc.dwWidth);
    *height = static_cast<int>(desc.dwHeight);
    auto* base = static_cast<uint8_t*>(desc.lpSurface);
    for (int y = 0; y < *height; ++y) {
        visit(reinterpret_cast<uint32_t*>(base + static_cast<ptrdiff_t>(y) * desc.lPitch), y);
    }
    hr = surface->Unlock(desc.lpSurface);
    EXPECT_EQ(hr, DD_OK) << "Unlock: " << ResultName(hr);
    return true;
}

}  // namespace

Image ReadPixels(IDirectDrawSurface* surface) {
    Image image;
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    WithLockedRows(surface, &width, &height, [&](const uint32_t* row, int) {
        pixels.insert(pixels.end(), row, row + width);
    });
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    return image;
}

void WritePixels(IDirectDrawSurface* surface, uint32_t (*value)(int x, int y)) {
    int width = 0;
    int height = 0;
    WithLockedRows(surface, &width, &height, [&](uint32_t* row, int y) {
        for (int x = 0; x < width; ++x) {
            row[x] = value(x, y);
        }
    });
}

void FillSolid(IDirectDrawSurface* surface, uint32_t color) {
    int width = 0;
    int height = 0;
    WithLockedRows(surface, &width, &height,
                   [&](uint32_t* row, int) { std::fill(row, row + width, color); });
}

Image SnapshotScreen() {
    const PixelBuffer fb = screen::Screen::Get().Framebuffer();
    Image image{fb.width, fb.height, {}};
    for (int y = 0; y < fb.height; ++y) {
        image.pixels.insert(image.pixels.end(), fb.Row(y), fb.Row(y) + fb.width);
    }
    return image;
}

void DirectDrawTest::SetUp() {
    liveAtStart_ = com::LiveObjects::Count();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    user::testing::ResetWindowing();
    ASSERT_TRUE(screen::Screen::Get().SetMode(640, 480, 32));
}

void DirectDrawTest::TearDown() {
    dd3.Reset();
    dd.Reset();
    factory.Reset();
    user::testing::ResetWindowing();
    CoUninitialize();
    EXPECT_EQ(com::LiveObjects::Count(), liveAtStart_) << "COM objects left alive by the test";
}

void DirectDrawTest::OpenDirectDraw() {
    HRESULT hr = CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDirectDrawFactory, reinterpret_cast<void**>(factory.Put()));
    ASSERT_EQ(hr, S_OK) << ResultName(hr);
    hr = factory->CreateDirectDraw(nullptr, GetDesktopWindow(), DDSCL_NORMAL, 0, nullptr, dd.Put());
    ASSERT_EQ(hr, DD_OK) << ResultName(hr);
    hr = dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3.Put()));
    ASSERT_EQ(hr, S_OK) << ResultName(hr);
}

ComPtr<IDirectDrawSurface> DirectDrawTest::MakePrimary() {
    DDSURFACEDESC desc = PrimaryDesc();
    ComPtr<IDirectDrawSurface> surface;
    HRESULT hr = dd3->CreateSurface(&desc, surface.Put(), nullptr);
    EXPECT_EQ(hr, DD_OK) << "primary: " << ResultName(hr);
    return surface;
}

ComPtr<IDirectDrawSurface> DirectDrawTest::MakeOffscreen(DWORD width, DWORD height) {
    DDSURFACEDESC desc = OffscreenDesc(width, height);
    ComPtr<IDirectDrawSurface> surface;
    HRESULT hr = dd3->CreateSurface(&desc, surface.Put(), nullptr);
    EXPECT_EQ(hr, DD_OK) << "offscreen " << width << "x" << height << ": " << ResultName(hr);
    return surface;
}

ComPtr<IDirectDrawClipper> DirectDrawTest::MakeClipper(HWND window) {
    ComPtr<IDirectDrawClipper> clipper;
    HRESULT hr = dd3->CreateClipper(0, clipper.Put(), nullptr);
    EXPECT_EQ(hr, DD_OK) << "CreateClipper: " << ResultName(hr);
    if (clipper && window != nullptr) {
        hr = clipper->SetHWnd(0, window);
        EXPECT_EQ(hr, DD_OK) << "SetHWnd: " << ResultName(hr);
    }
    return clipper;
}

HWND DirectDrawTest::MakeWindow(const RECT& rect) {
    static const char kClass[] = "DirectDrawTestWindow";
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = kClass;
    RegisterClassA(&cls);  // fails harmlessly when already registered
    HWND window = CreateWindowExA(0, kClass, "test", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                  nullptr, nullptr);
    EXPECT_NE(window, nullptr) << "CreateWindowExA";
    return window;
}

}  // namespace vrel::ddraw::testing
