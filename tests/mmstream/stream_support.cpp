#include "stream_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/mmstream/movie_source.h"
#include "runtime/mmstream/video_converter.h"
#include "tools/moviemaker/frame_marker.h"
#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

namespace vrel::mmstream::testing {
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Scratch(const std::string& name) {
    static struct Folder {
        std::string path = (fs::temp_directory_path() / "vrel-mm-XXXXXX").string();
        Folder() { EXPECT_NE(nullptr, mkdtemp(path.data())); }
        ~Folder() { fs::remove_all(path); }
    } folder;
    return folder.path + "/" + name;
}

// Kept in the build folder for every test process (CTest starts each test as a process of its
// own); the first of a new build makes it again.
std::string Movie(const std::vector<std::string>& options) {
    std::string path = VREL_BUILD_DIR "/tests/mmstream_movie";
    for (const std::string& option : options) {
        path += "_" + option;
    }
    std::error_code missing;
    if (fs::last_write_time(path, missing) > fs::last_write_time("/proc/self/exe")) {
        return path;
    }
    std::string part = path + ".part" + std::to_string(getpid());  // never seen half-written
    std::string why;
    EXPECT_TRUE(MakeMovie(options, part, &why)) << why;
    fs::rename(part, path);
    return path;
}

bool MakeMovie(std::vector<std::string> options, const std::string& out, std::string* why) {
    options.insert(options.end(), {"--out", out});
    moviemaker::MovieSettings settings;
    bool help = false;
    av_log_set_level(std::min(av_log_get_level(), AV_LOG_ERROR));  // no encoder banners
    return moviemaker::ParseOptions(options, &settings, &help, why) &&
           moviemaker::WriteMovie(settings, why);
}

std::vector<Picture> SourcePictures(const std::string& path) {
    struct Target final : DecodeTarget {
        bool VideoRoom() override { return true; }
        void PushVideo(AVFrame* frame, QueuedFrame times) override {
            std::vector<uint32_t> xrgb(320 * 240);
            EXPECT_TRUE(converter.Convert(frame, {reinterpret_cast<uint8_t*>(xrgb.data()), 320 * 4,
                                                  320, 240, AV_PIX_FMT_BGR0}));
            av_frame_unref(frame);
            pictures.push_back({times.start,
                                moviemaker::ReadFrameMarker(xrgb.data(), 320, 240, 320),
                                (xrgb[60 * 320 + 10] & 0xFFFFFF) > 0xF0F0F0});
        }
        void VideoEnded(StreamTicks) override { ended = true; }
        void AudioEnded() override {}
        VideoConverter converter;
        std::vector<Picture> pictures;
        bool ended = false;
    } target;
    std::atomic<bool> stop{false};
    HRESULT result = S_OK;
    std::string cause;
    auto source = MovieSource::Create(MediaFile::Open(path, nullptr, &stop, &result, &cause), true,
                                      false, &target, &cause);
    while (source->Step()) {
    }
    EXPECT_TRUE(target.ended) << path;
    return target.pictures;
}

ComPtr<FakeSurface> Xrgb(int width, int height) {
    return ComPtr<FakeSurface>(
        new FakeSurface(width, height, test::RgbFormat(32, 0xFF0000, 0xFF00, 0xFF)));
}

int MarkerIn(FakeSurface* surface, const RECT& rect) {
    return moviemaker::ReadFrameMarker(&surface->At<uint32_t>(rect.left, rect.top),
                                       rect.right - rect.left, rect.bottom - rect.top,
                                       surface->pitch / 4);
}

void StreamTest::SetUp() {
    liveAtStart_ = com::LiveObjects::Count();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ComPtr<IDirectDrawFactory> factory;
    ComPtr<IDirectDraw> dd;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectDrawFactory, reinterpret_cast<void**>(factory.Put())));
    ASSERT_EQ(DD_OK,
              factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr, dd.Put()));
    ASSERT_EQ(DD_OK, dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3.Put())));
    ASSERT_EQ(DD_OK, dd->SetDisplayMode(640, 480, 32));
}

void StreamTest::TearDown() {
    video.Reset();
    stream.Reset();
    dd3.Reset();
    CoUninitialize();
    EXPECT_EQ(liveAtStart_, com::LiveObjects::Count()) << "COM objects left alive";
}

HRESULT StreamTest::Open(const std::string& path, bool withSound) {
    ComPtr<IMediaStream> media;
    HRESULT hr = CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put()));
    if (FAILED(hr) || FAILED(hr = stream->Initialize(STREAMTYPE_READ, 0, nullptr)) ||
        FAILED(hr = stream->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, media.Put())) ||
        FAILED(hr = media->QueryInterface(IID_IDirectDrawMediaStream,
                                          reinterpret_cast<void**>(video.Put()))) ||
        (withSound && FAILED(hr = stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                                         AMMSF_ADDDEFAULTRENDERER, nullptr)))) {
        return hr;
    }
    return stream->OpenFile(fs::path(path).u16string().c_str(), 0);
}

ComPtr<IDirectDrawStreamSample> StreamTest::Sample(IDirectDrawSurface* surface,
                                                   IDirectDrawMediaStream* from) {
    ComPtr<IDirectDrawStreamSample> sample;
    EXPECT_EQ(S_OK, (from ? from : video.Get())->CreateSample(surface, nullptr, 0, sample.Put()));
    return sample;
}

STREAM_TIME StreamTest::Time() {
    STREAM_TIME time = -1;
    EXPECT_EQ(S_OK, stream->GetTime(&time));
    return time;
}

}  // namespace vrel::mmstream::testing
