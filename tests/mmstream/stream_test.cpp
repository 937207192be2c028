// The multimedia stream as the intro uses it: the set-up calls and their codes, the files it
// opens and refuses, Run, Stop, Seek and Update on the stream's clock, samples drawing into
// surfaces, and the end of its life.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "runtime/mmstream/mmstream_runtime.h"
#include "stream_support.h"
#include "tools/moviemaker/picture.h"

namespace vrel::mmstream::testing {
namespace {

using test::RgbFormat;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kSkippable = 25;  // of 50 pictures, late for a sanitizer's slowness
#else
constexpr int kSkippable = 5;
#endif

// In order on one stream; a call that fails leaves the stream as it was.
TEST_F(StreamTest, SetUpCallsAnswerInEveryOrder) {
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put())));
    IAMMultiMediaStream* s = stream.Get();
    std::u16string movie = std::filesystem::path(SoundAndPicture()).u16string();
    const MSPID other = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
    const DWORD renderer = AMMSF_ADDDEFAULTRENDERER;
    ComPtr<IMediaStream> media;
    IMediaStream* unwanted = nullptr;
    STREAM_TIME time = 0;
    MSPID purpose{};
    STREAM_TYPE type = STREAMTYPE_WRITE;
    ComPtr<IMultiMediaStream> parent;
    EXPECT_EQ(MS_E_NOTINIT, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(MS_E_NOTINIT, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(MS_E_NOTINIT, s->SetState(STREAMSTATE_RUN));
    EXPECT_EQ(E_NOTIMPL, s->Initialize(STREAMTYPE_WRITE, 0, nullptr));
    EXPECT_EQ(E_INVALIDARG, s->Initialize(STREAMTYPE_READ, 0x100, nullptr));
    EXPECT_EQ(S_OK, s->Initialize(STREAMTYPE_READ, 0, nullptr));
    EXPECT_EQ(E_POINTER, s->AddMediaStream(dd3.Get(), nullptr, 0, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(dd3.Get(), &other, 0, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(nullptr, &MSPID_PrimaryVideo, renderer, nullptr));
    EXPECT_EQ(E_INVALIDARG, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, &unwanted));
    EXPECT_EQ(E_NOTIMPL, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, 0, nullptr));
    EXPECT_EQ(E_NOINTERFACE, s->AddMediaStream(s, &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(S_OK, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(S_OK, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, nullptr));
    EXPECT_EQ(MS_E_PURPOSEID, s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, nullptr));
    EXPECT_EQ(MS_E_NOTINIT, s->GetTime(&time));
    EXPECT_EQ(E_NOTIMPL, s->OpenFile(movie.c_str(), 0x8));
    EXPECT_EQ(S_OK, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED, s->OpenFile(movie.c_str(), 0));
    EXPECT_EQ(MS_E_SOURCEALREADYDEFINED,
              s->AddMediaStream(nullptr, &MSPID_PrimaryAudio, renderer, nullptr));
    EXPECT_EQ(MS_E_NOSTREAM, s->GetMediaStream(MSPID_PrimaryAudio, media.Put()));
    EXPECT_EQ(S_FALSE, s->EnumMediaStreams(1, media.Put()));
    EXPECT_EQ(S_OK, s->EnumMediaStreams(0, media.Put()));
    EXPECT_EQ(S_OK, media->GetInformation(&purpose, &type));
    EXPECT_TRUE(purpose == MSPID_PrimaryVideo && type == STREAMTYPE_READ);
    EXPECT_EQ(S_OK, media->GetMultiMediaStream(parent.Put()));
    EXPECT_EQ(static_cast<IMultiMediaStream*>(s), parent.Get());
    EXPECT_EQ(S_OK, s->GetDuration(&time));
    EXPECT_NEAR(50 * kFrame, time, kFrame);
    EXPECT_EQ(E_INVALIDARG, s->SetState(static_cast<STREAM_STATE>(7)));
    EXPECT_EQ(E_INVALIDARG, s->Seek(-1));
    EXPECT_EQ(S_OK, s->SetState(STREAMSTATE_RUN));
}

TEST_F(StreamTest, FilesThatCannotBePlayedAreRefusedInOneLine) {
    std::string noise(100'000, '\0');
    for (size_t i = 0, state = 1; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    }
    WriteAll(Scratch("empty"), "");
    WriteAll(Scratch("text"), "Not a movie.\n");
    WriteAll(Scratch("noise"), noise);
    WriteAll(Scratch("words"), "1\n00:00:00,000 --> 00:00:01,000\nNo picture, no sound.\n");
    // A FIFO (with or without a writer), a device or a link loop would keep a read waiting.
    ASSERT_EQ(0, mkfifo(Scratch("fifo").c_str(), 0600));
    ASSERT_EQ(0, mkfifo(Scratch("written").c_str(), 0600));
    ASSERT_EQ(0, symlink("/dev/zero", Scratch("zero").c_str()));
    ASSERT_EQ(0, symlink(Scratch("loop").c_str(), Scratch("loop").c_str()));
    int writer = open(Scratch("written").c_str(), O_RDWR);
    ASSERT_EQ(5, write(writer, "movie", 5));
    for (auto [name, expected, said] :
         {std::tuple{"missing", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "No such file"},
          {"", VFW_E_INVALID_FILE_FORMAT, "Is a directory"},
          {"empty", VFW_E_INVALID_FILE_FORMAT, ""},
          {"text", VFW_E_INVALID_FILE_FORMAT, ""},
          {"noise", VFW_E_INVALID_FILE_FORMAT, ""},
          {"words", VFW_E_UNSUPPORTED_STREAM, "no picture or sound that can be decoded"},
          {"fifo", VFW_E_INVALID_FILE_FORMAT, "not a regular file"},
          {"written", VFW_E_INVALID_FILE_FORMAT, "not a regular file"},
          {"zero", VFW_E_INVALID_FILE_FORMAT, "not a regular file"},
          {"loop", VFW_E_INVALID_FILE_FORMAT, "Too many levels of symbolic links"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(expected, Open(Scratch(name))) << name;
        std::string line = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(0u, line.find(Scratch(name) + ": " + said)) << line;
        EXPECT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;
    }
    close(writer);
}

// Each opens at its size in the display's pixel format, and plays from its start and its end.
TEST_F(StreamTest, FormatsOpenAtTheirSizeAndPlayFromEitherEnd) {
    std::string wide = Scratch("Fil\u00e9 \u00fcber \U0001F600.mov.txt");
    std::filesystem::copy_file(PictureOnly(), wide);
    Ffmpeg("-fflags +genpts -i " + SoundAndPicture() + " -c copy " + Scratch("movie.mkv"));
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(DDSURFACEDESC);
    ASSERT_EQ(DD_OK, dd3->GetDisplayMode(&mode));
    for (auto [path, width, height, frame, pictures] :
         {std::tuple{SoundAndPicture(), 320, 240, kFrame, 50},
          {Movie({"--seconds", "2", "--codec", "mpeg4", "--fps", "30"}), 320, 240, 333'333, 60},
          {Movie({"--seconds", "2", "--codec", "h264"}), 320, 240, kFrame, 50},
          {Scratch("movie.mkv"), 320, 240, kFrame, 50},
          {Movie({"--size", "160x120", "--seconds", "1", "--no-audio"}), 160, 120, kFrame, 25},
          {wide, 320, 240, kFrame, 50},
          {Movie({"--seconds", "1", "--no-video"}), 0, 0, STREAM_TIME{0}, 0}}) {
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(S_OK, Open(path)) << path;
        EXPECT_EQ("", ::testing::internal::GetCapturedStderr()) << path;
        DDSURFACEDESC format{};
        format.dwSize = sizeof(DDSURFACEDESC);
        STREAM_TIME perFrame = 0;
        HRESULT picture = pictures ? S_OK : MS_E_NOSTREAM;  // sound alone
        EXPECT_EQ(picture, video->GetFormat(&format, nullptr, nullptr, nullptr)) << path;
        EXPECT_EQ(picture, video->GetTimePerFrame(&perFrame)) << path;
        EXPECT_TRUE(format.dwWidth == static_cast<DWORD>(width) && perFrame == frame &&
                    format.dwHeight == static_cast<DWORD>(height))
            << path;
        EXPECT_TRUE(!pictures || std::memcmp(&mode.ddpfPixelFormat, &format.ddpfPixelFormat,
                                             sizeof(DDPIXELFORMAT)) == 0);
        ComPtr<FakeSurface> surface = Xrgb(320, 240);
        ComPtr<IDirectDrawStreamSample> sample = Sample(surface.Get());
        STREAM_TIME last = std::max<STREAM_TIME>(0, (pictures - 1) * frame + frame / 2);
        for (auto [at, marker] : {std::pair{STREAM_TIME{0}, 0}, {last, pictures - 1}, {0, 0}}) {
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_STOP));
            ASSERT_EQ(S_OK, stream->Seek(at));
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
            EXPECT_EQ(pictures ? S_OK : MS_S_ENDOFSTREAM, Update(sample.Get())) << path << at;
            EXPECT_EQ(pictures ? marker : -1, MarkerIn(surface.Get(), {0, 0, 320, 240})) << path;
        }
    }
}

// The intro's loop: each picture with its own index and times, none before its time, in order
// across a stop that holds the clock; then the end, which leaves the stream running.
TEST_F(StreamTest, PlayingDeliversEachPictureInOrderAtItsTimeThenTheEnd) {
    ASSERT_EQ(S_OK, Open(SoundAndPicture()));
    ComPtr<FakeSurface> surface = Xrgb(320, 240);
    ComPtr<IDirectDrawStreamSample> sample = Sample(surface.Get());
    EXPECT_EQ(MS_E_NOTRUNNING, Update(sample.Get()));
    ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
    std::vector<int> markers;
    HRESULT hr = S_OK;
    while ((hr = Update(sample.Get())) == S_OK && markers.size() < 100) {
        STREAM_TIME start = -1, end = -1, now = -1;
        EXPECT_EQ(S_OK, sample->GetSampleTimes(&start, &end, &now));
        markers.push_back(MarkerIn(surface.Get(), {0, 0, 320, 240}));
        EXPECT_TRUE(start == markers.back() * kFrame && end == start + kFrame && now >= start)
            << "picture " << markers.back() << " at " << start << ", " << end << ", " << now;
        if (markers.size() == 10) {
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_STOP));
            STREAM_TIME stopped = Time();
            EXPECT_EQ(MS_E_NOTRUNNING, Update(sample.Get()));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_EQ(stopped, Time()) << "the clock holds while stopped";
            ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
        }
    }
    EXPECT_EQ(MS_S_ENDOFSTREAM, hr);
    EXPECT_GE(Time(), 50 * kFrame) << "the end came before the last picture's time was up";
    ASSERT_FALSE(markers.empty());
    EXPECT_EQ(0, markers.front());
    EXPECT_GE(markers.back(), 49 - kSkippable);
    EXPECT_GE(static_cast<int>(markers.size()), 50 - kSkippable) << "too many skipped";
    EXPECT_TRUE(std::is_sorted(markers.begin(), markers.end(), std::less_equal<int>()))
        << "out of order or twice";
    STREAM_STATE state = STREAMSTATE_STOP;
    EXPECT_EQ(S_OK, stream->GetState(&state));
    EXPECT_EQ(STREAMSTATE_RUN, state);
    EXPECT_EQ(MS_S_ENDOFSTREAM, Update(sample.Get()));
}

// Stopped, moved, run, and (after nobody asked for a while) the next picture: the one due.
TEST_F(StreamTest, SeekGivesThePictureDueThere) {
    ASSERT_EQ(S_OK, Open(SoundAndPicture()));
    ComPtr<FakeSurface> surface = Xrgb(320, 240);
    ComPtr<IDirectDrawStreamSample> sample = Sample(surface.Get());
    for (auto [position, waitMs, marker] :  // marker -1: the end
         {std::tuple{13 * kFrame, 0, 13},
          {30 * kFrame + 1, 0, 30},
          {7 * kFrame - 1, 0, 6},
          {80 * kFrame, 0, -1},
          {47 * kFrame, 500, -1}}) {  // the last three over meanwhile
        ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_STOP));
        ASSERT_EQ(S_OK, stream->Seek(position));
        EXPECT_EQ(position, Time());
        ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        HRESULT hr = Update(sample.Get());
        EXPECT_EQ(marker < 0 ? MS_S_ENDOFSTREAM : S_OK, hr) << position;
        EXPECT_EQ(marker, hr == S_OK ? MarkerIn(surface.Get(), {0, 0, 320, 240}) : -1) << position;
    }
}

// Picture 7 (not a flash) drawn into the sample's rectangle alone, through the surface's Lock,
// in its pixel format: the test pattern's red patch read through the format's masks.
TEST_F(StreamTest, SamplesDrawIntoTheirRectangleInTheSurfacesFormat) {
    ASSERT_EQ(S_OK, Open(PictureOnly(), false));
    auto draw = [&](IDirectDrawStreamSample* sample) {
        EXPECT_EQ(S_OK, stream->SetState(STREAMSTATE_STOP));
        EXPECT_EQ(S_OK, stream->Seek(7 * kFrame));
        EXPECT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
        return Update(sample);
    };
    ComPtr<FakeSurface> screen = Xrgb(640, 480);
    for (RECT r : {RECT{320, 240, 640, 480}, {0, 0, 641, 480}, {-1, 0, 320, 240}, {5, 5, 5, 9}}) {
        ComPtr<IDirectDrawStreamSample> sample;
        HRESULT made = video->CreateSample(screen.Get(), &r, 0, sample.Put());
        EXPECT_EQ(r.left == 320 ? S_OK : DDERR_INVALIDRECT, made) << r.left << "," << r.right;
        std::fill(screen->pixels.begin(), screen->pixels.end(), 0x12);
        if (sample && draw(sample.Get()) == S_OK) {
            EXPECT_EQ(7, MarkerIn(screen.Get(), r));
            int outside = 0;
            for (int y = 0; y < 480; ++y) {
                for (int x = 0; x < screen->pitch / 4; ++x) {
                    bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                    outside += !in && screen->At<uint32_t>(x, y) != 0x12121212;
                }
            }
            EXPECT_EQ(0, outside) << "drawn outside the rectangle";
        }
    }
    DDPIXELFORMAT palette = RgbFormat(8, 0, 0, 0);
    palette.dwFlags = 0x20;  // DDPF_PALETTEINDEXED8
    const DDPIXELFORMAT xrgb = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    for (auto [format, describe, lock, made, drawn] :
         {std::tuple{xrgb, DD_OK, DD_OK, S_OK, S_OK},
          {RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), DD_OK, DD_OK, S_OK, S_OK},
          {RgbFormat(16, 0xF800, 0x07E0, 0x1F), DD_OK, DD_OK, S_OK, S_OK},
          {xrgb, DD_OK, DDERR_SURFACEBUSY, S_OK, DDERR_SURFACEBUSY},
          {palette, DD_OK, DD_OK, MS_E_INCOMPATIBLE, S_OK},
          {xrgb, DDERR_SURFACELOST, DD_OK, DDERR_SURFACELOST, S_OK}}) {
        ComPtr<FakeSurface> surface(new FakeSurface(320, 240, format));
        surface->describeResult = describe;
        surface->lockResult = lock;
        ComPtr<IDirectDrawStreamSample> sample;
        EXPECT_EQ(made, video->CreateSample(surface.Get(), nullptr, 0, sample.Put()));
        if (sample) {
            EXPECT_EQ(drawn, draw(sample.Get())) << format.dwRBitMask;
            EXPECT_EQ(surface->locks, surface->unlocks);
            moviemaker::PatchRect red = moviemaker::TestPatternPatch(320, 240, 0);
            uint64_t value = 0;
            int bytes = static_cast<int>(format.dwRGBBitCount / 8);
            std::memcpy(&value, &surface->At<uint8_t>(red.left * bytes + 16, red.top + 9), bytes);
            for (DWORD mask : {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask}) {
                uint64_t want = drawn != S_OK ? 0xAB : mask == format.dwRBitMask ? 0xFF : 0;
                EXPECT_NEAR(want, (value & mask) * 255 / mask, 24) << format.dwRBitMask;
            }
        }
    }
}

// The intro gives back the multimedia stream before its sample: that stops it then and there.
// At process exit every stream still alive is stopped, an Update waiting in it woken.
TEST_F(StreamTest, ReleasingTheStreamOrExitingStopsIt) {
    ASSERT_EQ(S_OK, Open(SoundAndPicture()));
    ComPtr<IAMMultiMediaStream> first = std::move(stream);
    ComPtr<IDirectDrawMediaStream> firstVideo = std::move(video);
    ComPtr<IDirectDrawStreamSample> firstSample = Sample(Xrgb(320, 240).Get(), firstVideo.Get());
    ASSERT_EQ(S_OK, Open(PictureOnly()));
    ComPtr<IDirectDrawStreamSample> sample = Sample(Xrgb(320, 240).Get());
    ASSERT_EQ(S_OK, first->SetState(STREAMSTATE_RUN));
    ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
    for (int i = 0; i < 3; ++i) {  // two at once
        EXPECT_EQ(S_OK, Update(firstSample.Get()));
        EXPECT_EQ(S_OK, Update(sample.Get()));
    }
    first.Reset();
    EXPECT_EQ(MS_E_NOTRUNNING, Update(firstSample.Get()));
    ComPtr<IMultiMediaStream> parent;
    EXPECT_EQ(E_UNEXPECTED, firstVideo->GetMultiMediaStream(parent.Put()));
    EXPECT_EQ(S_OK, Update(sample.Get())) << "the other plays on";
    HRESULT last = S_OK;
    std::thread waiting([&] {
        while ((last = Update(sample.Get())) == S_OK) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    StopAllStreams();
    waiting.join();
    EXPECT_EQ(MS_E_NOTRUNNING, last);
    STREAM_STATE state = STREAMSTATE_RUN;
    EXPECT_EQ(S_OK, stream->GetState(&state));
    EXPECT_EQ(STREAMSTATE_STOP, state);
    StopAllStreams();  // nothing left to stop
}

}  // namespace
}  // namespace vrel::mmstream::testing
