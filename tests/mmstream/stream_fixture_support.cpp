#include "stream_fixture.h"

#include <cstdlib>
#include <sstream>

#include "tools/moviemaker/frame_marker.h"

namespace vrel::mmstream::testing {

std::string ResultName(HRESULT hr) {
    struct Named {
        HRESULT hr;
        const char* name;
    };
    static const Named kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {MS_S_ENDOFSTREAM, "MS_S_ENDOFSTREAM"},
        {MS_S_PENDING, "MS_S_PENDING"},
        {MS_E_PURPOSEID, "MS_E_PURPOSEID"},
        {MS_E_NOSTREAM, "MS_E_NOSTREAM"},
        {MS_E_INCOMPATIBLE, "MS_E_INCOMPATIBLE"},
        {MS_E_BUSY, "MS_E_BUSY"},
        {MS_E_NOTINIT, "MS_E_NOTINIT"},
        {MS_E_SOURCEALREADYDEFINED, "MS_E_SOURCEALREADYDEFINED"},
        {MS_E_NOTRUNNING, "MS_E_NOTRUNNING"},
        {VFW_E_INVALID_FILE_FORMAT, "VFW_E_INVALID_FILE_FORMAT"},
        {VFW_E_UNSUPPORTED_STREAM, "VFW_E_UNSUPPORTED_STREAM"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)"},
        {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
        {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT"},
        {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
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

void StreamTest::SetUp() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("VREL_SCREEN", "none", 0);
    liveAtStart_ = com::LiveObjects::Count();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectDrawFactory, reinterpret_cast<void**>(factory.Put())));
    ASSERT_EQ(DD_OK,
              factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr, dd.Put()));
    ASSERT_EQ(DD_OK, dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3.Put())));
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32));
}

void StreamTest::TearDown() {
    dd3.Reset();
    dd.Reset();
    factory.Reset();
    CoUninitialize();
    EXPECT_EQ(liveAtStart_, com::LiveObjects::Count()) << "COM objects left alive";
}

HRESULT StreamTest::Open(const std::string& path, OpenedStream* out, bool withSound) {
    HRESULT hr =
        CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IAMMultiMediaStream, reinterpret_cast<void**>(out->stream.Put()));
    if (FAILED(hr) || FAILED(hr = out->stream->Initialize(STREAMTYPE_READ, 0, nullptr)) ||
        FAILED(hr = out->stream->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr))) {
        return hr;
    }
    if (withSound && FAILED(hr = out->stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                                             AMMSF_ADDDEFAULTRENDERER, nullptr))) {
        return hr;
    }
    std::u16string name(path.begin(), path.end());
    if (FAILED(hr = out->stream->OpenFile(name.c_str(), 0))) {
        return hr;
    }
    ComPtr<IMediaStream> media;
    if (FAILED(hr = out->stream->GetMediaStream(MSPID_PrimaryVideo, media.Put()))) {
        return hr;
    }
    return media->QueryInterface(IID_IDirectDrawMediaStream,
                                 reinterpret_cast<void**>(out->video.Put()));
}

ComPtr<IDirectDrawSurface> StreamTest::Offscreen(int width, int height) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ComPtr<IDirectDrawSurface> surface;
    EXPECT_EQ(DD_OK, dd3->CreateSurface(&desc, surface.Put(), nullptr));
    return surface;
}

ComPtr<IDirectDrawStreamSample> StreamTest::MakeSample(IDirectDrawMediaStream* video,
                                                       IDirectDrawSurface* surface,
                                                       const RECT& rect) {
    ComPtr<IDirectDrawStreamSample> sample;
    HRESULT hr = video->CreateSample(surface, &rect, 0, sample.Put());
    EXPECT_EQ(S_OK, hr) << ResultName(hr);
    return sample;
}

std::vector<uint32_t> StreamTest::Pixels(IDirectDrawSurface* surface, int* width, int* height) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    std::vector<uint32_t> pixels;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) {
        ADD_FAILURE() << "cannot lock the surface";
        return pixels;
    }
    *width = static_cast<int>(desc.dwWidth);
    *height = static_cast<int>(desc.dwHeight);
    for (int y = 0; y < *height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(desc.lpSurface) + static_cast<size_t>(y) * desc.lPitch);
        pixels.insert(pixels.end(), row, row + *width);
    }
    surface->Unlock(desc.lpSurface);
    return pixels;
}

void StreamTest::Fill(IDirectDrawSurface* surface, uint32_t color) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    ASSERT_EQ(DD_OK, surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr));
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) +
                                                static_cast<size_t>(y) * desc.lPitch);
        std::fill(row, row + desc.dwWidth, color);
    }
    surface->Unlock(desc.lpSurface);
}

int StreamTest::MarkerIn(IDirectDrawSurface* surface, const RECT& rect) {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = Pixels(surface, &width, &height);
    if (pixels.empty()) {
        return -1;
    }
    return moviemaker::ReadFrameMarker(&pixels[static_cast<size_t>(rect.top) * width + rect.left],
                                       rect.right - rect.left, rect.bottom - rect.top, width);
}

Delivery StreamTest::UpdateAndRead(IDirectDrawStreamSample* sample, IMultiMediaStream* stream,
                                   IDirectDrawSurface* surface, const RECT& rect) {
    HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
    STREAM_TIME time = TimeOf(stream);
    return Delivery{hr, hr == S_OK ? MarkerIn(surface, rect) : -1, time};
}

STREAM_TIME StreamTest::TimeOf(IMultiMediaStream* stream) {
    STREAM_TIME time = -1;
    EXPECT_EQ(S_OK, stream->GetTime(&time));
    return time;
}

}  // namespace vrel::mmstream::testing
