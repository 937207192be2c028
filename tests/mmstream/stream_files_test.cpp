// Files the stream meets: missing, empty, cut short, garbage, sound without picture, not a
// file at all, and the codecs and containers the movie maker writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "movie_library.h"
#include "stream_fixture.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace vrel::mmstream::testing {
namespace {

namespace fs = std::filesystem;
constexpr RECT kMovieRect{0, 0, 320, 240};

class StreamFilesTest : public StreamTest {};

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Truncated(const std::string& source, double fraction, const std::string& name) {
    std::string path = ScratchPath(name);
    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WriteBytes(path, bytes.substr(0, static_cast<size_t>(bytes.size() * fraction)));
    return path;
}

std::string Garbage(const std::string& name, size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    std::string path = ScratchPath(name);
    WriteBytes(path, bytes);
    return path;
}

// The movie again in Matroska, its sound stream (if `soundRate`) saying it is PCM at that
// rate, every picture packet from `jumpAt` on moved `jumpSeconds` later.
std::string Remuxed(const std::string& source, const std::string& name, int soundRate, int jumpAt,
                    int jumpSeconds) {
    std::string path = ScratchPath(name);
    AVFormatContext* in = nullptr;
    AVFormatContext* out = nullptr;
    if (avformat_open_input(&in, source.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(in, nullptr) < 0 ||
        avformat_alloc_output_context2(&out, nullptr, "matroska", path.c_str()) < 0) {
        ADD_FAILURE() << "cannot remux " << source;
        return "";
    }
    in->flags |= AVFMT_FLAG_GENPTS;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        AVStream* copy = avformat_new_stream(out, nullptr);
        avcodec_parameters_copy(copy->codecpar, in->streams[i]->codecpar);
        copy->codecpar->codec_tag = 0;
        if (copy->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && soundRate != 0) {
            copy->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
            copy->codecpar->sample_rate = soundRate;
        }
    }
    EXPECT_GE(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    EXPECT_GE(avformat_write_header(out, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    for (int pictures = 0; av_read_frame(in, packet) >= 0;) {
        const AVStream* from = in->streams[packet->stream_index];
        if (from->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && pictures++ >= jumpAt) {
            int64_t jump = av_rescale_q(jumpSeconds, AVRational{1, 1}, from->time_base);
            packet->pts += packet->pts == AV_NOPTS_VALUE ? 0 : jump;
            packet->dts += packet->dts == AV_NOPTS_VALUE ? 0 : jump;
        }
        av_packet_rescale_ts(packet, from->time_base,
                             out->streams[packet->stream_index]->time_base);
        EXPECT_GE(av_interleaved_write_frame(out, packet), 0);
    }
    av_packet_free(&packet);
    EXPECT_GE(av_write_trailer(out), 0);
    avio_closep(&out->pb);
    avformat_free_context(out);
    avformat_close_input(&in);
    return path;
}

struct UnplayableCase {
    const char* what;
    std::string path;
    HRESULT expected;
    const char* cause;  // the line on standard error
};

TEST_F(StreamFilesTest, UnplayableFilesSayWhyInOneLine) {
    std::string empty = ScratchPath("empty.dat");
    WriteBytes(empty, "");
    std::string subtitles = ScratchPath("subtitles.dat");
    WriteBytes(subtitles,
               "1\n00:00:00,000 --> 00:00:01,000\nNo picture, no sound.\n\n"
               "2\n00:00:01,000 --> 00:00:02,000\nOnly words.\n\n");
    std::string text = ScratchPath("text.dat");
    WriteBytes(text, "This is not a movie at all.\nJust some words.\n");
    // A FIFO (once with a writer), a device and a symlink loop would wait or read for ever.
    std::string fifo = ScratchPath("fifo.dat");
    std::string written = ScratchPath("written.dat");
    std::string zero = ScratchPath("zero.dat");
    std::string loop = ScratchPath("loop.dat");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    ASSERT_EQ(0, mkfifo(written.c_str(), 0600));
    ASSERT_EQ(0, symlink("/dev/zero", zero.c_str()));
    ASSERT_EQ(0, symlink(loop.c_str(), loop.c_str()));
    int writer = open(written.c_str(), O_RDWR);  // a writer that never finishes
    ASSERT_EQ(5, write(writer, "movie", 5));
    const UnplayableCase cases[] = {
        {"missing", ScratchPath("vrelfi.dat"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
         "vrelfi.dat: No such file or directory"},
        {"a folder", ScratchPath(""), VFW_E_INVALID_FILE_FORMAT, ": "},
        {"empty", empty, VFW_E_INVALID_FILE_FORMAT, "empty.dat: "},
        {"text", text, VFW_E_INVALID_FILE_FORMAT, "text.dat: "},
        {"garbage", Garbage("garbage.dat", 100000), VFW_E_INVALID_FILE_FORMAT, "garbage.dat: "},
        {"neither picture nor sound", subtitles, VFW_E_UNSUPPORTED_STREAM,
         "subtitles.dat: no picture or sound"},
        {"a FIFO", fifo, VFW_E_INVALID_FILE_FORMAT, "fifo.dat: not a regular file"},
        {"a FIFO with a writer", written, VFW_E_INVALID_FILE_FORMAT,
         "written.dat: not a regular file"},
        {"a link to /dev/zero", zero, VFW_E_INVALID_FILE_FORMAT, "zero.dat: not a regular file"},
        {"a symlink loop", loop, VFW_E_INVALID_FILE_FORMAT, "loop.dat: Too many levels"},
    };
    Clock::time_point began = Clock::now();
    for (const UnplayableCase& c : cases) {
        ::testing::internal::CaptureStderr();
        OpenedStream opened;
        HRESULT actual = Open(c.path, &opened);
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.expected, actual) << c.what << ": " << ResultName(actual);
        EXPECT_NE(std::string::npos, said.find(c.cause)) << c.what << " said: " << said;
        EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << c.what << " said: " << said;
    }
    EXPECT_LT(Clock::now() - began, std::chrono::seconds(20)) << "an open waited";
    close(writer);
}

TEST_F(StreamFilesTest, FileNamesAreWideAndMayBeAnything) {
    std::string unusual = ScratchPath("Fil\u00e9 \u00fcber.mov.txt");
    fs::copy_file(PictureOnly(), unusual, fs::copy_options::overwrite_existing);
    OpenedStream opened;
    std::u16string name = fs::path(unusual).u16string();
    ComPtr<IAMMultiMediaStream> stream;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IAMMultiMediaStream, reinterpret_cast<void**>(stream.Put())));
    ASSERT_EQ(S_OK, stream->Initialize(STREAMTYPE_READ, 0, nullptr));
    ASSERT_EQ(S_OK, stream->AddMediaStream(dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr));
    EXPECT_EQ(S_OK, stream->OpenFile(name.c_str(), 0));
}

// A cut-off movie plays what it holds, in order, and ends; it never crashes.
void PlayWhatIsThere(StreamTest* test, IDirectDrawMediaStream* video, IMultiMediaStream* stream,
                     IDirectDrawSurface* surface, const char* what) {
    RECT rect = kMovieRect;
    ComPtr<IDirectDrawStreamSample> sample;
    ASSERT_EQ(S_OK, video->CreateSample(surface, &rect, 0, sample.Put()));
    ASSERT_EQ(S_OK, stream->SetState(STREAMSTATE_RUN));
    HRESULT last = S_OK;
    int frames = 0;
    for (int i = 0; i < 200 && last == S_OK; ++i) {
        last = sample->Update(0, nullptr, nullptr, 0);
        frames += last == S_OK;
    }
    EXPECT_EQ(MS_S_ENDOFSTREAM, last) << what << ": " << ResultName(last);
    EXPECT_GT(frames, 0) << what;
    (void)test;
}

TEST_F(StreamFilesTest, TruncatedMoviesPlayUpToTheirLastGoodPicture) {
    const double kept[] = {0.3, 0.55, 0.9};
    for (double fraction : kept) {
        std::string name = "cut" + std::to_string(static_cast<int>(fraction * 100)) + ".mpg";
        std::string path = Truncated(SoundAndPicture(), fraction, name);
        OpenedStream opened;
        ASSERT_EQ(S_OK, Open(path, &opened)) << name;
        ComPtr<IDirectDrawSurface> surface = Offscreen(320, 240);
        PlayWhatIsThere(this, opened.video.Get(), opened.stream.Get(), surface.Get(), name.c_str());
    }
}

TEST_F(StreamFilesTest, GarbageAfterAGoodStartPlaysTheGoodPart) {
    std::string path = Truncated(SoundAndPicture(), 0.5, "half.mpg");
    {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ifstream noise(Garbage("noise.dat", 60000), std::ios::binary);
        bytes.append((std::istreambuf_iterator<char>(noise)), std::istreambuf_iterator<char>());
        WriteBytes(path, bytes);
    }
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(path, &opened));
    ComPtr<IDirectDrawSurface> surface = Offscreen(320, 240);
    PlayWhatIsThere(this, opened.video.Get(), opened.stream.Get(), surface.Get(), "half+noise");
}

TEST_F(StreamFilesTest, SoundOnlyMovieOpensWithoutAPictureFormat) {
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(SoundOnly(), &opened));
    DDSURFACEDESC format{};
    format.dwSize = sizeof(DDSURFACEDESC);
    EXPECT_EQ(MS_E_NOSTREAM, opened.video->GetFormat(&format, nullptr, nullptr, nullptr));
    STREAM_TIME perFrame = 0;
    EXPECT_EQ(MS_E_NOSTREAM, opened.video->GetTimePerFrame(&perFrame));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(TimeOf(opened.stream.Get()), 1'000'000) << "the sound's clock runs";
}

// Two movies joined end to end (each starting at time zero), the second one smaller: both
// play in turn, the second scaled into the rectangle bound for the first.
TEST_F(StreamFilesTest, JoinedMoviesPlayOneAfterTheOtherEachInTheRectangle) {
    std::string joined = ScratchPath("joined.mpg");
    {
        std::ofstream out(joined, std::ios::binary);
        for (const char* size : {"320x240", "160x120"}) {
            std::ifstream part(Movie({"--size", size, "--seconds", "1", "--no-audio"}),
                               std::ios::binary);
            out << part.rdbuf();
        }
    }
    OpenedStream opened;
    ASSERT_EQ(S_OK, Open(joined, &opened, false));
    ComPtr<IDirectDrawSurface> surface = Offscreen(320, 240);
    RECT rect{0, 0, 320, 240};
    ComPtr<IDirectDrawStreamSample> sample = MakeSample(opened.video.Get(), surface.Get(), rect);
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    int shown = 0;
    int restarts = 0;
    int previous = -1;
    while (sample->Update(0, nullptr, nullptr, 0) == S_OK && shown < 100) {
        int marker = MarkerIn(surface.Get(), rect);
        ASSERT_GE(marker, 0) << "picture " << shown << " is not whole in the rectangle";
        restarts += marker < previous;
        previous = marker;
        ++shown;
    }
    EXPECT_EQ(1, restarts) << "the second movie follows the first";
    EXPECT_GE(shown, 50 - SkipAllowance(50));
    EXPECT_GE(previous, 24 - SkipAllowance(25));
    EXPECT_GE(TimeOf(opened.stream.Get()), 2 * 10'000'000) << "ended before the second's end";
}

struct CodecCase {
    const char* what;
    std::vector<std::string> options;
    int frames;
    std::string file = "";  // made otherwise than by the options
};

TEST_F(StreamFilesTest, EachCodecAndContainerPlaysItsPicturesInOrder) {
    const CodecCase cases[] = {
        {"MPEG-4 in AVI with MP2", {"--codec", "mpeg4", "--seconds", "1"}, 25},
        {"H.264 in MP4 with AAC", {"--codec", "h264", "--seconds", "1"}, 25},
        {"MPEG-1 at 640x480 in MPEG-PS", {"--size", "640x480", "--seconds", "1"}, 25},
        {"MPEG-1 at 30 fps", {"--fps", "30", "--seconds", "1"}, 30},
        {"MPEG-1 and MP2 in Matroska", {}, 50, Remuxed(SoundAndPicture(), "plain.mkv", 0, 0, 0)},
        // Played as picture only, not sized by the rate.
        {"sound at 2^31-1 Hz", {}, 50, Remuxed(SoundAndPicture(), "rate.mkv", INT32_MAX, 0, 0)},
        {"sound at 1 Hz", {}, 50, Remuxed(SoundAndPicture(), "rate1.mkv", 1, 0, 0)},
        // An hour's leap in the picture's timestamps alone is passed, not waited for.
        {"picture jumping an hour", {}, 50, Remuxed(SoundAndPicture(), "jump.mkv", 0, 25, 3600)},
    };
    for (const CodecCase& c : cases) {
        OpenedStream opened;
        ASSERT_EQ(S_OK, Open(c.file.empty() ? Movie(c.options) : c.file, &opened)) << c.what;
        DDSURFACEDESC format{};
        format.dwSize = sizeof(DDSURFACEDESC);
        ASSERT_EQ(S_OK, opened.video->GetFormat(&format, nullptr, nullptr, nullptr));
        RECT rect{0, 0, static_cast<LONG>(format.dwWidth), static_cast<LONG>(format.dwHeight)};
        ComPtr<IDirectDrawSurface> surface = Offscreen(640, 480);
        ComPtr<IDirectDrawStreamSample> sample =
            MakeSample(opened.video.Get(), surface.Get(), rect);
        ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
        Clock::time_point began = Clock::now();
        std::vector<int> markers;
        for (HRESULT hr = S_OK; hr == S_OK && markers.size() < 100;) {
            hr = sample->Update(0, nullptr, nullptr, 0);
            if (hr == S_OK) {
                markers.push_back(MarkerIn(surface.Get(), rect));
            }
        }
        std::string seen;
        for (int m : markers) {
            seen += std::to_string(m) + " ";
        }
        SCOPED_TRACE(seen);
        EXPECT_LT(Clock::now() - began, std::chrono::seconds(60)) << c.what << ": waited";
        ASSERT_FALSE(markers.empty()) << c.what;
        EXPECT_EQ(0, markers.front()) << c.what;
        EXPECT_GE(markers.back(), c.frames - 1 - SkipAllowance(c.frames)) << c.what;
        EXPECT_TRUE(std::adjacent_find(markers.begin(), markers.end(), std::greater_equal<int>()) ==
                    markers.end())
            << c.what << ": out of order or twice";
        EXPECT_GE(static_cast<int>(markers.size()), c.frames - SkipAllowance(c.frames)) << c.what;
        // Back to the start, as Stop then Start does.
        ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_STOP));
        ASSERT_EQ(S_OK, opened.stream->Seek(0));
        ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
        EXPECT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0)) << c.what << ": after Seek(0)";
        EXPECT_EQ(0, MarkerIn(surface.Get(), rect)) << c.what << ": after Seek(0)";
    }
}

}  // namespace
}  // namespace vrel::mmstream::testing
