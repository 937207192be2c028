// The movie maker's library: its frame marker read back at any size (and nothing else read as
// one), options it refuses, and the same bytes for the same options. What its movies show is
// in the movie source's test.
#include "stream_support.h"
#include "tools/moviemaker/frame_marker.h"
#include "tools/moviemaker/movie_writer.h"
#include "tools/moviemaker/options.h"

namespace vrel::mmstream::testing {
namespace {

using moviemaker::ReadFrameMarker;

TEST(FrameMarkerTest, ReadsBackAtAnySizeAndNothingElseReadsAsOne) {
    for (auto [width, height, index] :
         {std::tuple{320, 240, 749}, {176, 144, 65535}, {64, 48, 0}}) {
        std::vector<uint32_t> pixels(width * height, 0x808080);
        moviemaker::DrawFrameMarker(pixels.data(), width, height, width, index);
        EXPECT_EQ(index, ReadFrameMarker(pixels.data(), width, height, width));
        for (int y = height * 11 / 12; y < height; ++y) {  // a complement cell like its value
            std::copy_n(&pixels[(y - height / 12) * width], width / 16, &pixels[y * width]);
        }
        EXPECT_EQ(-1, ReadFrameMarker(pixels.data(), width, height, width));
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFF);  // a flash
        EXPECT_EQ(-1, ReadFrameMarker(pixels.data(), width, height, width));
    }
}

bool Make(std::vector<std::string> options, const std::string& out, std::string* why) {
    options.insert(options.end(), {"--out", out});
    moviemaker::MovieSettings settings;
    bool help = false;
    return moviemaker::ParseOptions(options, &settings, &help, why) &&
           moviemaker::WriteMovie(settings, why);
}

TEST(MovieMakerTest, RefusesWhatItCannotMakeAndMakesTheSameBytesEveryTime) {
    using Options = std::vector<std::string>;
    for (Options options : {Options{"--size", "320"},
                            {"--size", "321x240"},
                            {"--fps", "0"},
                            {"--seconds", "-1"},
                            {"--codec", "theora"},
                            {"--bogus"},
                            {"--no-video", "--no-audio"},
                            {"--fps", "7"}}) {  // not in MPEG-1
        std::string why;
        EXPECT_FALSE(Make(options, Scratch("refused"), &why)) << options[0];
        EXPECT_FALSE(why.empty()) << options[0];
    }
    for (Options options : {Options{"--seconds", "1"},
                            {"--seconds", "1", "--codec", "h264"},
                            {"--seconds", "0.5", "--codec", "mpeg4", "--size", "176x144"}}) {
        std::string why;
        ASSERT_TRUE(Make(options, Scratch("a"), &why) && Make(options, Scratch("b"), &why)) << why;
        EXPECT_GT(ReadAll(Scratch("a")).size(), 1000u);
        EXPECT_TRUE(ReadAll(Scratch("a")) == ReadAll(Scratch("b"))) << options.back();
    }
}

}  // namespace
}  // namespace vrel::mmstream::testing
