// The multimedia stream's set-up calls: order, arguments and the codes the platform gives,
// the picture's format, and samples on good and bad surfaces.
#include <functional>

#include "fake_surface.h"
#include "movie_library.h"
#include "stream_fixture.h"

namespace vrel::mmstream::testing {
namespace {

class StreamSetupTest : public StreamTest {};

struct SetupStep {
    const char* what;
    std::function<HRESULT(IAMMultiMediaStream*, IDirectDraw3*)> call;
    HRESULT expected;
};

HRESULT OpenMovie(IAMMultiMediaStream* s) {
    std::string path = SoundAndPicture();
    std::u16string name(path.begin(), path.end());
    return s->OpenFile(name.c_str(), 0);
}

HRESULT AddVideo(IAMMultiMediaStream* s, IUnknown* dd) {
    return s->AddMediaStream(dd, &MSPID_PrimaryVideo, 0, nullptr);
}

HRESULT AddSound(IAMMultiMediaStream* s) {
    return s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER, nullptr);
}

// Each step runs on the same stream, in order: a wrong call leaves the stream as it was.
const std::vector<SetupStep>& SetupSequence() {
    static const MSPID kOtherPurpose = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
    static const std::vector<SetupStep> steps = {
        {"AddMediaStream before Initialize", [](auto* s, auto* dd) { return AddVideo(s, dd); },
         MS_E_NOTINIT},
        {"OpenFile before Initialize", [](auto* s, auto*) { return OpenMovie(s); }, MS_E_NOTINIT},
        {"SetState before OpenFile", [](auto* s, auto*) { return s->SetState(STREAMSTATE_RUN); },
         MS_E_NOTINIT},
        {"Initialize for writing",
         [](auto* s, auto*) { return s->Initialize(STREAMTYPE_WRITE, 0, nullptr); }, E_NOTIMPL},
        {"Initialize with unknown flags",
         [](auto* s, auto*) { return s->Initialize(STREAMTYPE_READ, 0x100, nullptr); },
         E_INVALIDARG},
        {"Initialize for reading",
         [](auto* s, auto*) { return s->Initialize(STREAMTYPE_READ, 0, nullptr); }, S_OK},
        {"null purpose",
         [](auto* s, auto* dd) { return s->AddMediaStream(dd, nullptr, 0, nullptr); }, E_POINTER},
        {"default renderer for the picture",
         [](auto* s, auto*) {
             return s->AddMediaStream(nullptr, &MSPID_PrimaryVideo, AMMSF_ADDDEFAULTRENDERER,
                                      nullptr);
         },
         MS_E_PURPOSEID},
        {"default renderer with a result pointer",
         [](auto* s, auto*) {
             IMediaStream* result = nullptr;
             return s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER,
                                      &result);
         },
         E_INVALIDARG},
        {"unknown purpose",
         [](auto* s, auto* dd) { return s->AddMediaStream(dd, &kOtherPurpose, 0, nullptr); },
         MS_E_PURPOSEID},
        {"picture on an object that is no DirectDraw",
         [](auto* s, auto*) { return AddVideo(s, s); }, E_NOINTERFACE},
        {"picture on IDirectDraw3", [](auto* s, auto* dd) { return AddVideo(s, dd); }, S_OK},
        {"picture twice", [](auto* s, auto* dd) { return AddVideo(s, dd); }, MS_E_PURPOSEID},
        {"sound on the default renderer", [](auto* s, auto*) { return AddSound(s); }, S_OK},
        {"default renderer twice", [](auto* s, auto*) { return AddSound(s); }, MS_E_PURPOSEID},
        {"GetTime before OpenFile",
         [](auto* s, auto*) {
             STREAM_TIME t = 0;
             return s->GetTime(&t);
         },
         MS_E_NOTINIT},
        {"OpenFile with flags", [](auto* s, auto*) { return s->OpenFile(u"whatever", 0x8); },
         E_NOTIMPL},
        {"OpenFile", [](auto* s, auto*) { return OpenMovie(s); }, S_OK},
        {"OpenFile again", [](auto* s, auto*) { return OpenMovie(s); }, MS_E_SOURCEALREADYDEFINED},
        {"AddMediaStream after OpenFile", [](auto* s, auto*) { return AddSound(s); },
         MS_E_SOURCEALREADYDEFINED},
        {"SetState with a bad state",
         [](auto* s, auto*) { return s->SetState(static_cast<STREAM_STATE>(7)); }, E_INVALIDARG},
        {"Seek before the start", [](auto* s, auto*) { return s->Seek(-1); }, E_INVALIDARG},
        {"SetState run", [](auto* s, auto*) { return s->SetState(STREAMSTATE_RUN); }, S_OK},
        {"SetState stop", [](auto* s, auto*) { return s->SetState(STREAMSTATE_STOP); }, S_OK},
    };
    return steps;
}

TEST_F(StreamSetupTest, CallsInEachOrderGetThePlatformsCodes) {
    ComPtr<IAMMultiMediaStream> stream;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put())));
    for (const SetupStep& step : SetupSequence()) {
        HRESULT actual = step.call(stream.Get(), dd3.Get());
        EXPECT_EQ(step.expected, actual) << step.what << ": expected " << ResultName(step.expected)
                                         << ", got " << ResultName(actual);
    }
}

TEST_F(StreamSetupTest, CreatingNeedsComOnTheThread) {
    CoUninitialize();
    IAMMultiMediaStream* stream = nullptr;
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(&stream)));
    EXPECT_EQ(nullptr, stream);
    CoInitialize(nullptr);  // TearDown balances it
}

TEST_F(StreamSetupTest, OnlyThePictureIsAMediaStreamAndItKnowsItsPurpose) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
    ComPtr<IMediaStream> sound;
    EXPECT_EQ(MS_E_NOSTREAM, opened.stream->GetMediaStream(MSPID_PrimaryAudio, sound.Put()));
    ComPtr<IMediaStream> first;
    ComPtr<IMediaStream> second;
    EXPECT_EQ(S_OK, opened.stream->EnumMediaStreams(0, first.Put()));
    EXPECT_EQ(S_FALSE, opened.stream->EnumMediaStreams(1, second.Put()));
    MSPID purpose{};
    STREAM_TYPE type = STREAMTYPE_WRITE;
    EXPECT_EQ(S_OK, first->GetInformation(&purpose, &type));
    EXPECT_TRUE(purpose == MSPID_PrimaryVideo);
    EXPECT_EQ(STREAMTYPE_READ, type);
    ComPtr<IMultiMediaStream> parent;
    ASSERT_EQ(S_OK, first->GetMultiMediaStream(parent.Put()));
    EXPECT_EQ(static_cast<IMultiMediaStream*>(opened.stream.Get()), parent.Get());
}

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(StreamSetupTest, PictureStreamHoldsItsDirectDrawUntilItGoes) {
    ULONG before = References(dd3.Get());
    {
        OpenedStream opened;
        ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
        EXPECT_GT(References(dd3.Get()), before);
        ComPtr<IDirectDraw> same;
        ASSERT_EQ(S_OK, opened.video->GetDirectDraw(same.Put()));
        EXPECT_EQ(dd.Get(), same.Get()) << "the DirectDraw object the stream was given";
    }
    EXPECT_EQ(before, References(dd3.Get()));
}

TEST_F(StreamSetupTest, FormatIsTheMoviesSizeInTheDisplaysPixelFormat) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
    DDSURFACEDESC format{};
    format.dwSize = sizeof(DDSURFACEDESC);
    ASSERT_EQ(S_OK, opened.video->GetFormat(&format, nullptr, nullptr, nullptr));
    EXPECT_EQ(320u, format.dwWidth);
    EXPECT_EQ(240u, format.dwHeight);
    const DWORD needed = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    EXPECT_EQ(needed, format.dwFlags & needed);
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(DDSURFACEDESC);
    ASSERT_EQ(DD_OK, dd3->GetDisplayMode(&mode));
    EXPECT_EQ(0,
              std::memcmp(&mode.ddpfPixelFormat, &format.ddpfPixelFormat, sizeof(DDPIXELFORMAT)));
    STREAM_TIME perFrame = 0;
    EXPECT_EQ(S_OK, opened.video->GetTimePerFrame(&perFrame));
    EXPECT_EQ(kFrameTicks, perFrame);
    DDSURFACEDESC wrongSize{};
    wrongSize.dwSize = 12;
    EXPECT_EQ(DDERR_INVALIDPARAMS, opened.video->GetFormat(&wrongSize, nullptr, nullptr, nullptr));
}

TEST_F(StreamSetupTest, FormatOfNothingOpenedIsNoStream) {
    ComPtr<IAMMultiMediaStream> stream;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put())));
    ASSERT_EQ(S_OK, stream->Initialize(STREAMTYPE_READ, 0, nullptr));
    ComPtr<IMediaStream> media;
    ASSERT_EQ(S_OK, stream->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, media.Put()));
    ComPtr<IDirectDrawMediaStream> video;
    ASSERT_EQ(S_OK, media->QueryInterface(IID_IDirectDrawMediaStream,
                                          reinterpret_cast<void**>(video.Put())));
    DDSURFACEDESC format{};
    format.dwSize = sizeof(DDSURFACEDESC);
    EXPECT_EQ(MS_E_NOSTREAM, video->GetFormat(&format, nullptr, nullptr, nullptr));
}

struct RectCase {
    const char* what;
    RECT rect;
    HRESULT expected;
};

TEST_F(StreamSetupTest, SampleRectangleMustLieInsideTheSurface) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
    ComPtr<IDirectDrawSurface> surface = Offscreen(640, 480);
    const RectCase cases[] = {
        {"the movie's size at the top-left", {0, 0, 320, 240}, S_OK},
        {"the whole surface", {0, 0, 640, 480}, S_OK},
        {"touching the bottom-right corner", {320, 240, 640, 480}, S_OK},
        {"one pixel too wide", {0, 0, 641, 480}, DDERR_INVALIDRECT},
        {"one pixel too tall", {0, 0, 640, 481}, DDERR_INVALIDRECT},
        {"starting left of the surface", {-1, 0, 320, 240}, DDERR_INVALIDRECT},
        {"empty", {10, 10, 10, 20}, DDERR_INVALIDRECT},
        {"upside down", {0, 240, 320, 0}, DDERR_INVALIDRECT},
        {"far away", {100000, 100000, 100320, 100240}, DDERR_INVALIDRECT},
    };
    for (const RectCase& c : cases) {
        ComPtr<IDirectDrawStreamSample> sample;
        HRESULT actual = opened.video->CreateSample(surface.Get(), &c.rect, 0, sample.Put());
        EXPECT_EQ(c.expected, actual) << c.what << ": got " << ResultName(actual);
        EXPECT_EQ(SUCCEEDED(c.expected), sample.Get() != nullptr) << c.what;
    }
    ComPtr<IDirectDrawStreamSample> whole;
    ASSERT_EQ(S_OK, opened.video->CreateSample(surface.Get(), nullptr, 0, whole.Put()));
    RECT rect{};
    ComPtr<IDirectDrawSurface> same;
    EXPECT_EQ(S_OK, whole->GetSurface(same.Put(), &rect));
    EXPECT_EQ(surface.Get(), same.Get());
    EXPECT_TRUE(rect.left == 0 && rect.top == 0 && rect.right == 640 && rect.bottom == 480);
}

struct SurfaceCase {
    const char* what;
    DDPIXELFORMAT format;
    HRESULT describeResult;
    HRESULT expected;
};

TEST_F(StreamSetupTest, SurfacesTheStreamCannotWriteAreRefused) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
    DDPIXELFORMAT palette{};
    palette.dwSize = sizeof(DDPIXELFORMAT);
    palette.dwFlags = 0x20;  // DDPF_PALETTEINDEXED8
    palette.dwRGBBitCount = 8;
    const SurfaceCase cases[] = {
        {"32-bit XRGB", RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), DD_OK, S_OK},
        {"32-bit XBGR", RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), DD_OK, S_OK},
        {"16-bit 565", RgbFormat(16, 0xF800, 0x07E0, 0x001F), DD_OK, S_OK},
        {"8-bit palette", palette, DD_OK, MS_E_INCOMPATIBLE},
        {"32-bit with odd masks", RgbFormat(32, 0xFF000000, 0xFF00, 0xFF), DD_OK,
         MS_E_INCOMPATIBLE},
        {"a description that fails", RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), DDERR_SURFACELOST,
         DDERR_SURFACELOST},
    };
    for (const SurfaceCase& c : cases) {
        auto* fake = new FakeSurface(320, 240, c.format);
        fake->describeResult = c.describeResult;
        ComPtr<IDirectDrawSurface> surface(fake);
        ComPtr<IDirectDrawStreamSample> sample;
        RECT rect{0, 0, 320, 240};
        HRESULT actual = opened.video->CreateSample(surface.Get(), &rect, 0, sample.Put());
        EXPECT_EQ(c.expected, actual) << c.what << ": got " << ResultName(actual);
    }
}

TEST_F(StreamSetupTest, SampleMadeWithoutASurfaceGetsOneOfThePicturesSize) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundAndPicture(), &opened));
    ComPtr<IDirectDrawStreamSample> sample;
    ASSERT_EQ(S_OK, opened.video->CreateSample(nullptr, nullptr, 0, sample.Put()));
    ComPtr<IDirectDrawSurface> surface;
    RECT rect{};
    ASSERT_EQ(S_OK, sample->GetSurface(surface.Put(), &rect));
    EXPECT_TRUE(rect.right == 320 && rect.bottom == 240) << rect.right << "x" << rect.bottom;
    ComPtr<IStreamSample> plain;
    EXPECT_EQ(S_OK, opened.video->AllocateSample(0, plain.Put()));
}

}  // namespace
}  // namespace vrel::mmstream::testing
