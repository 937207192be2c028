// The movie maker: frame markers drawn and read back, movies written byte for byte the same
// every time, and their content (every picture's index, the flashes, the beeps) as a decoder
// sees it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "movie_library.h"
#include "runtime/mmstream/audio_converter.h"
#include "runtime/mmstream/media_file.h"
#include "runtime/mmstream/stream_decoder.h"
#include "runtime/mmstream/video_converter.h"
#include "tools/moviemaker/frame_marker.h"
#include "tools/moviemaker/sound.h"

namespace vrel::mmstream::testing {
namespace {

using moviemaker::DrawFrameMarker;
using moviemaker::ReadFrameMarker;

struct MarkerCase {
    int width;
    int height;
    int index;
};

TEST(FrameMarkerTest, DrawnIndexReadsBackAtEverySize) {
    const MarkerCase cases[] = {
        {320, 240, 0},     {320, 240, 1},  {320, 240, 749}, {320, 240, 65535},
        {640, 480, 12345}, {176, 144, 42}, {800, 600, 3},   {1920, 1080, 0x5A5A},
    };
    for (const MarkerCase& c : cases) {
        std::vector<uint32_t> pixels(static_cast<size_t>(c.width) * c.height, 0x00808080);
        DrawFrameMarker(pixels.data(), c.width, c.height, c.width, c.index);
        EXPECT_EQ(c.index, ReadFrameMarker(pixels.data(), c.width, c.height, c.width))
            << c.width << "x" << c.height;
    }
}

TEST(FrameMarkerTest, MarkerSurvivesScalingToTwiceTheSize) {
    std::vector<uint32_t> small(320 * 240, 0);
    DrawFrameMarker(small.data(), 320, 240, 320, 1234);
    std::vector<uint32_t> large(640 * 480);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            large[y * 640 + x] = small[(y / 2) * 320 + x / 2];
        }
    }
    EXPECT_EQ(1234, ReadFrameMarker(large.data(), 640, 480, 640));
}

TEST(FrameMarkerTest, AnythingElseReadsAsNoMarker) {
    std::vector<uint32_t> grey(320 * 240, 0x00808080);
    EXPECT_EQ(-1, ReadFrameMarker(grey.data(), 320, 240, 320));
    std::vector<uint32_t> white(320 * 240, 0x00FFFFFF);
    EXPECT_EQ(-1, ReadFrameMarker(white.data(), 320, 240, 320)) << "a flash without a marker";
    std::vector<uint32_t> broken(320 * 240, 0);
    DrawFrameMarker(broken.data(), 320, 240, 320, 77);
    broken[235 * 320 + 5] = 0;  // one complement cell blackened in its middle...
    for (int y = 222; y < 238; ++y) {
        for (int x = 3; x < 17; ++x) {
            broken[y * 320 + x] = broken[205 * 320 + x];  // ...now equal to its value cell
        }
    }
    EXPECT_EQ(-1, ReadFrameMarker(broken.data(), 320, 240, 320));
    EXPECT_EQ(-1, ReadFrameMarker(grey.data(), 40, 30, 320)) << "too small to hold one";
    EXPECT_EQ(-1, ReadFrameMarker(nullptr, 320, 240, 320));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(MovieMakerTest, SameOptionsWriteTheSameBytes) {
    const std::vector<std::vector<std::string>> variants = {
        {"--seconds", "1"},
        {"--seconds", "1", "--codec", "h264"},
        {"--seconds", "0.5", "--codec", "mpeg4", "--size", "176x144"},
    };
    for (const auto& options : variants) {
        std::string first = ScratchPath("same_a");
        std::string second = ScratchPath("same_b");
        ASSERT_EQ(0, RunMovieMaker(options, first));
        ASSERT_EQ(0, RunMovieMaker(options, second));
        std::string a = ReadAll(first);
        EXPECT_GT(a.size(), 1000u);
        EXPECT_TRUE(a == ReadAll(second)) << options[options.size() - 1];
    }
}

struct BadOptions {
    std::vector<std::string> options;
    int status;
};

TEST(MovieMakerTest, BadOptionsAreRefused) {
    const BadOptions cases[] = {
        {{"--size", "320"}, 2},
        {{"--size", "321x240"}, 2},
        {{"--fps", "0"}, 2},
        {{"--seconds", "-1"}, 2},
        {{"--codec", "theora"}, 2},
        {{"--bogus"}, 2},
        {{"--no-video", "--no-audio"}, 1},
        {{"--fps", "7"}, 1},  // MPEG-1 has no 7 fps
    };
    for (const BadOptions& c : cases) {
        EXPECT_EQ(c.status, RunMovieMaker(c.options, ScratchPath("bad"))) << c.options[0];
    }
}

// Decodes a whole movie: every picture's marker and whether it is a white flash, and where
// each beep starts (in seconds of stream time).
struct DecodedMovie {
    std::vector<int> markers;
    std::vector<bool> flashes;
    std::vector<double> beepStarts;
};

class MovieDecoder {
  public:
    explicit MovieDecoder(const std::string& path) {
        HRESULT result = S_OK;
        std::string cause;
        file_ = MediaFile::Open(path, nullptr, &stop_, &result, &cause);
        if (!file_) {
            ADD_FAILURE() << cause;
            return;
        }
        if (file_->Video()) {
            EXPECT_TRUE(video_.Open(file_->Video(), &cause)) << cause;
        }
        if (file_->Audio()) {
            EXPECT_TRUE(audio_.Open(file_->Audio(), &cause)) << cause;
        }
    }
    DecodedMovie Decode() {
        PacketPtr packet(av_packet_alloc());
        while (file_ && file_->Read(packet.get()) >= 0) {
            Feed(packet.get());
            av_packet_unref(packet.get());
        }
        Feed(nullptr);
        return movie_;
    }

  private:
    void Feed(AVPacket* packet) {
        for (StreamDecoder* d : {&video_, &audio_}) {
            if (d->IsOpen() && (packet == nullptr || packet->stream_index == d->Stream()->index)) {
                d->Send(packet);
                Drain(*d);
            }
        }
    }
    void Drain(StreamDecoder& d) {
        FramePtr frame(av_frame_alloc());
        while (d.Receive(frame.get()) >= 0) {
            if (&d == &video_) {
                Picture(frame.get());
            } else {
                Sound(frame.get());
            }
            av_frame_unref(frame.get());
        }
    }
    void Picture(const AVFrame* frame) {
        std::vector<uint32_t> xrgb(static_cast<size_t>(frame->width) * frame->height);
        PixelTarget target{reinterpret_cast<uint8_t*>(xrgb.data()), frame->width * 4, frame->width,
                           frame->height, AV_PIX_FMT_BGR0};
        ASSERT_TRUE(pictures_.Convert(frame, target));
        movie_.markers.push_back(
            ReadFrameMarker(xrgb.data(), frame->width, frame->height, frame->width));
        uint32_t top = xrgb[static_cast<size_t>(frame->height / 4) * frame->width + 10];
        movie_.flashes.push_back((top & 0xFF) > 240 && ((top >> 8) & 0xFF) > 240);
    }
    void Sound(const AVFrame* frame) {
        int frames = 0;
        auto* samples = reinterpret_cast<const int16_t*>(sound_.Convert(frame, &frames));
        double start = std::chrono::duration<double>(
                           TicksFrom(frame->best_effort_timestamp - file_->StartIn(file_->Audio()),
                                     file_->Audio()->time_base))
                           .count();
        for (int i = 0; i < frames; ++i) {
            double t = start + static_cast<double>(i) / 44100;
            bool loud = std::abs(samples[2 * i]) > 16000;
            if (loud && t - lastLoud_ > 0.5) {
                movie_.beepStarts.push_back(t);
            }
            if (loud) {
                lastLoud_ = t;
            }
        }
    }

    std::atomic<bool> stop_{false};
    std::unique_ptr<MediaFile> file_;
    StreamDecoder video_;
    StreamDecoder audio_;
    VideoConverter pictures_;
    AudioConverter sound_{44100, 2};
    double lastLoud_ = -10;
    DecodedMovie movie_;
};

struct ContentCase {
    const char* what;
    std::vector<std::string> options;
    int frames;
    int fps;
    double beepTolerance;  // seconds
};

TEST(MovieMakerTest, EveryPictureCarriesItsIndexAndFlashesMeetBeeps) {
    const ContentCase cases[] = {
        {"MPEG-1 and MP2 in MPEG-PS", {"--seconds", "2"}, 50, 25, 0.002},
        {"H.264 and AAC in MP4", {"--seconds", "2", "--codec", "h264"}, 50, 25, 0.002},
        // AVI cannot tell the decoder that the MP2 encoder delays its sound (by 11 ms).
        {"MPEG-4 and MP2 in AVI at 30 fps",
         {"--seconds", "2", "--codec", "mpeg4", "--fps", "30"},
         60,
         30,
         0.015},
    };
    for (const ContentCase& c : cases) {
        DecodedMovie movie = MovieDecoder(Movie(c.options)).Decode();
        ASSERT_EQ(static_cast<size_t>(c.frames), movie.markers.size()) << c.what;
        for (int i = 0; i < c.frames; ++i) {
            EXPECT_EQ(i, movie.markers[i]) << c.what;
            EXPECT_EQ(i % c.fps == 0, movie.flashes[i]) << c.what << " picture " << i;
        }
        std::string starts;
        for (double t : movie.beepStarts) {
            starts += std::to_string(t) + " ";
        }
        ASSERT_EQ(2u, movie.beepStarts.size()) << c.what << ": beeps at " << starts;
        for (size_t k = 0; k < movie.beepStarts.size(); ++k) {
            EXPECT_NEAR(static_cast<double>(k), movie.beepStarts[k], c.beepTolerance)
                << c.what << ": beep " << k << " against its flash";
        }
    }
}

}  // namespace
}  // namespace vrel::mmstream::testing
