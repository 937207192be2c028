// The multimedia stream's COM calls as the intro makes them.
#include <sys/stat.h>

#include <thread>

#include "common/fake_surface.h"
#include "platform/mmstream.h"
#include "runtime/ddraw/direct_draw.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "stream_support.h"
#include "tools/moviemaker/frame_marker.h"

namespace vrel::mmstream::testing {
namespace {

using com::ComPtr;
constexpr STREAM_TIME kFrame = 400'000;  // 25 pictures a second
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kSkippable = 25;  // of 50 pictures, late for a sanitizer's slowness
#else
constexpr int kSkippable = 5;
#endif

const DDPIXELFORMAT kXrgb = test::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);

int MarkerIn(test::FakeSurface* surface) {  // drawn at 320 x 240; -1: none
    return moviemaker::ReadFrameMarker(&surface->At<uint32_t>(0, 0), 320, 240, surface->pitch / 4);
}

// DirectDraw with the display at 640 x 480 x 32; at the end every COM object must be gone.
class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ComPtr<IDirectDraw> dd;
        ASSERT_EQ(DD_OK, ddraw::DirectDraw::Create(dd.Put()));
        ASSERT_EQ(DD_OK, dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3.Put())));
        ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32));
    }
    void TearDown() override {
        video.Reset();
        stream.Reset();
        dd3.Reset();
        CoUninitialize();
        EXPECT_EQ(liveAtStart_, com::LiveObjects::Count()) << "COM objects left alive";
    }

    // As the intro opens a movie, the sound on the default renderer: the first failure.
    HRESULT Open(const std::string& path) {
        ComPtr<IMediaStream> media;
        HRESULT hr =
            CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put()));
        if (FAILED(hr) || FAILED(hr = stream->Initialize(STREAMTYPE_READ, 0, nullptr)) ||
            FAILED(hr = stream->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, media.Put())) ||
            FAILED(hr = media->QueryInterface(IID_IDirectDrawMediaStream,
                                              reinterpret_cast<void**>(video.Put()))) ||
            FAILED(hr = stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                               AMMSF_ADDDEFAULTRENDERER, nullptr))) {
            return hr;
        }
        return stream->OpenFile(std::filesystem::path(path).u16string().c_str(), 0);
    }

    ComPtr<IDirectDraw3> dd3;
    ComPtr<IAMMultiMediaStream> stream;
    ComPtr<IDirectDrawMediaStream> video;
    long liveAtStart_ = com::LiveObjects::Count();
};

// In order on one stream; a call that fails leaves the stream as it was.
TEST_F(StreamTest, SetUpCallsAnswerInEveryOrder) {
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put())));
    IAMMultiMediaStream* s = stream.Get();
    std::u16string movie = std::filesystem::path(Movie({"--seconds", "2"})).u16string();
    const DWORD renderer = AMMSF_ADDDEFAULTRENDERER;
    ComPtr<IMediaStream> media;
    STREAM_TIME time = 0;
    ComPtr<IMultiMediaStream> parent;
    EXPECT_EQ(MS_E_NOTINIT, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(MS_E_NOTINIT, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(E_NOTIMPL, s->Initialize(STREAMTYPE_WRITE, 0, nullptr));
    EXPECT_EQ(S_OK, s->Initialize(STREAMTYPE_READ, 0, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(nullptr, &MSPID_PrimaryVideo, renderer, nullptr));
    EXPECT_EQ(E_INVALIDARG, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, media.Put()));
    EXPECT_EQ(E_NOTIMPL, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, 0, nullptr));
    EXPECT_EQ(E_NOINTERFACE, s->AddMediaStream(s, &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(S_OK, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(S_OK, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, nullptr));
    EXPECT_EQ(MS_E_NOTINIT, s->GetTime(&time));
    EXPECT_EQ(S_OK, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(MS_E_NOSTREAM, s->GetMediaStream(MSPID_PrimaryAudio, media.Put()));
    EXPECT_EQ(S_FALSE, s->EnumMediaStreams(1, media.Put()));
    EXPECT_EQ(S_OK, s->EnumMediaStreams(0, media.Put()));
    EXPECT_TRUE(media->GetMultiMediaStream(parent.Put()) == S_OK && parent.Get() == s);
    EXPECT_EQ(S_OK, s->GetDuration(&time));
    EXPECT_NEAR(50 * kFrame, time, kFrame);
    EXPECT_EQ(E_INVALIDARG, s->SetState(static_cast<STREAM_STATE>(7)));
    EXPECT_EQ(E_INVALIDARG, s->Seek(-1));
}

TEST_F(StreamTest, FilesThatCannotBePlayedAreRefusedInOneLine) {
    std::ofstream(Scratch("empty"));
    std::ofstream(Scratch("words")) << "1\n00:00:00,000 --> 00:00:01,000\nNo picture, no sound.\n";
    ASSERT_EQ(0, mkfifo(Scratch("fifo").c_str(), 0600));  // would keep a read waiting
    for (auto [name, expected, said] :
         {std::tuple{"missing", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "No such file"},
          {"", VFW_E_INVALID_FILE_FORMAT, "Is a directory"},
          {"empty", VFW_E_INVALID_FILE_FORMAT, ""},
          {"words", VFW_E_UNSUPPORTED_STREAM, "no picture or sound that can be decoded"},
          {"fifo", VFW_E_INVALID_FILE_FORMAT, "not a regular file"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(expected, Open(Scratch(name))) << name;
        std::string line = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(0u, line.find(Scratch(name) + ": " + said)) << line;
        EXPECT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;
    }
}

// Each opens at its size; moved, run and waitMs later, Update gives the picture due (-1: the end).
TEST_F(StreamTest, FormatsOpenAtTheirSizeAndSeekToEachPicture) {
    std::string mkv = Scratch("Fil\u00e9 \u00fcber \U0001F600.mov.txt");  // Matroska all the same
    ASSERT_EQ(0, std::system(("ffmpeg -v error -i " + Movie({"--seconds", "2", "--codec", "h264"}) +
                              " -c copy -f matroska '" + mkv + "'")
                                 .c_str()));
    for (auto [path, width, height, frame, n] :
         {std::tuple{Movie({"--seconds", "2"}), DWORD{320}, DWORD{240}, kFrame, 50},
          {Movie({"--seconds", "2", "--codec", "mpeg4", "--fps", "30"}), 320, 240, 333'333, 60},
          {mkv, 320, 240, kFrame, 50},
          {Movie({"--size", "160x120", "--seconds", "1", "--no-audio"}), 160, 120, kFrame, 25},
          {Movie({"--seconds", "1", "--no-video"}), 0u, 0u, STREAM_TIME{0}, 0}}) {
        SCOPED_TRACE(path);
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(S_OK, Open(path));
        EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
        DDSURFACEDESC format{};
        format.dwSize = sizeof(DDSURFACEDESC);
        STREAM_TIME perFrame = 0;
        HRESULT picture = n ? S_OK : MS_E_NOSTREAM;  // sound alone
        EXPECT_EQ(picture, video->GetFormat(&format, nullptr, nullptr, nullptr));
        EXPECT_EQ(picture, video->GetTimePerFrame(&perFrame));
        EXPECT_TRUE(format.dwWidth == width && format.dwHeight == height && perFrame == frame);
        EXPECT_EQ(n ? 0xFF0000u : 0, format.ddpfPixelFormat.dwRBitMask) << "not the display's";
        ComPtr<test::FakeSurface> surface(new test::FakeSurface(320, 240, kXrgb));
        ComPtr<IDirectDrawStreamSample> sample;
        ASSERT_EQ(S_OK, video->CreateSample(surface.Get(), nullptr, 0, sample.Put()));
        for (auto [at, waitMs, marker] : {std::tuple{(n - 1) * frame + 50, 0, n - 1},
                                          {(n + 30) * frame, 0, -1},
                                          {(n - 2) * frame, 250, -1},
                                          {STREAM_TIME{0}, 0, 0}}) {
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_STOP));
            ASSERT_EQ(S_OK, stream->Seek(at));
            STREAM_TIME now = -1;
            EXPECT_TRUE(stream->GetTime(&now) == S_OK && now == at) << now;
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
            EXPECT_EQ(marker >= 0 && n ? S_OK : MS_S_ENDOFSTREAM, hr) << "at " << at;
            EXPECT_EQ(n ? marker : -1, hr == S_OK ? MarkerIn(surface.Get()) : -1) << "at " << at;
        }
        StopAllStreams();  // as at process exit
        STREAM_STATE state = STREAMSTATE_RUN;
        EXPECT_TRUE(stream->GetState(&state) == S_OK && state == STREAMSTATE_STOP);
    }
}

// The intro's loop: each picture in order, at its times, then the end; running until given back.
TEST_F(StreamTest, PlayingDeliversEachPictureInOrderAtItsTimeThenTheEnd) {
    ASSERT_EQ(S_OK, Open(Movie({"--seconds", "2"})));
    ComPtr<test::FakeSurface> surface(new test::FakeSurface(320, 240, kXrgb));
    ComPtr<IDirectDrawStreamSample> sample;
    ASSERT_EQ(S_OK, video->CreateSample(surface.Get(), nullptr, 0, sample.Put()));
    EXPECT_EQ(MS_E_NOTRUNNING, sample->Update(0, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
    std::vector<int> markers;
    while (sample->Update(0, nullptr, nullptr, 0) == S_OK && markers.size() < 100) {
        STREAM_TIME start = -1, end = -1, now = -1;
        EXPECT_EQ(S_OK, sample->GetSampleTimes(&start, &end, &now));
        markers.push_back(MarkerIn(surface.Get()));
        EXPECT_TRUE(start == markers.back() * kFrame && end == start + kFrame && now >= start)
            << "picture " << markers.back() << " at " << start << ", " << end << ", " << now;
    }
    STREAM_TIME now = -1;
    EXPECT_TRUE(stream->GetTime(&now) == S_OK && now >= 50 * kFrame) << "ended early: " << now;
    EXPECT_TRUE(markers.size() >= 50u - kSkippable && markers.front() == 0) << markers.size();
    EXPECT_TRUE(std::is_sorted(markers.begin(), markers.end(), std::less_equal<int>()))
        << "out of order or twice";
    STREAM_STATE state = STREAMSTATE_STOP;
    EXPECT_TRUE(stream->GetState(&state) == S_OK && state == STREAMSTATE_RUN) << state;
    EXPECT_EQ(MS_S_ENDOFSTREAM, sample->Update(0, nullptr, nullptr, 0));
    stream.Reset();  // before its sample, as the intro does: that stops it then and there
    EXPECT_EQ(MS_E_NOTRUNNING, sample->Update(0, nullptr, nullptr, 0));
    ComPtr<IMultiMediaStream> parent;
    EXPECT_EQ(E_UNEXPECTED, video->GetMultiMediaStream(parent.Put()));
}

// Pictures drawn into the sample's rectangle alone, through Lock: red read through the masks.
TEST_F(StreamTest, SamplesDrawIntoTheirRectangleInTheSurfacesFormat) {
    ASSERT_EQ(S_OK, Open(Movie({"--seconds", "2", "--no-audio", "--no-flash"})));
    ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
    ComPtr<IDirectDrawStreamSample> sample;
    ComPtr<test::FakeSurface> screen(new test::FakeSurface(640, 480, kXrgb));
    for (RECT r : {RECT{0, 0, 641, 480}, {-1, 0, 320, 240}, {5, 5, 5, 9}}) {
        EXPECT_EQ(DDERR_INVALIDRECT, video->CreateSample(screen.Get(), &r, 0, sample.Put()));
    }
    const RECT corner{320, 240, 640, 480};
    for (auto [format, describe, lock, made, drawn] :
         {std::tuple{kXrgb, DD_OK, DD_OK, S_OK, S_OK},
          {test::RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), DD_OK, DD_OK, S_OK, S_OK},
          {test::RgbFormat(16, 0xF800, 0x07E0, 0x1F), DD_OK, DD_OK, S_OK, S_OK},
          {kXrgb, DD_OK, DDERR_SURFACEBUSY, S_OK, DDERR_SURFACEBUSY},
          {test::RgbFormat(8, 0xE0, 0x1C, 0x03), DD_OK, DD_OK, MS_E_INCOMPATIBLE, S_OK},
          {kXrgb, DDERR_SURFACELOST, DD_OK, DDERR_SURFACELOST, S_OK}}) {
        ComPtr<test::FakeSurface> surface(new test::FakeSurface(640, 480, format));
        surface->describeResult = describe;
        surface->lockResult = lock;
        EXPECT_EQ(made, video->CreateSample(surface.Get(), &corner, 0, sample.Put()));
        if (!sample) {
            continue;
        }
        EXPECT_EQ(drawn, sample->Update(0, nullptr, nullptr, 0)) << format.dwRBitMask;
        EXPECT_EQ(surface->locks, surface->unlocks);
        const int bytes = static_cast<int>(format.dwRGBBitCount / 8);
        const std::vector<uint8_t>& pixels = surface->pixels;  // 0xAB where nothing was drawn
        EXPECT_GE(std::count(pixels.begin(), pixels.end(), 0xAB),
                  static_cast<long>(pixels.size()) - 320 * 240 * bytes)
            << "outside";
        uint64_t value = 0;  // at (30, 30) of the picture: in the test pattern's red patch
        std::memcpy(&value, &surface->At<uint8_t>((320 + 30) * bytes, 240 + 30), bytes);
        for (DWORD mask : {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask}) {
            uint64_t want = drawn != S_OK ? 0xAB : mask == format.dwRBitMask ? 0xFF : 0;
            EXPECT_NEAR(want, (value & mask) * 255 / mask, 24) << format.dwRBitMask;
        }
    }
}

}  // namespace
}  // namespace vrel::mmstream::testing
