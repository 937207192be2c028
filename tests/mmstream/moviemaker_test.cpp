// The movie maker's library: its frame marker read back at any size (and a flash read as
// none), and the same bytes for the same options. What its movies show: the movie source's test.
#include "stream_support.h"
#include "tools/moviemaker/frame_marker.h"

namespace vrel::mmstream::testing {
namespace {

using moviemaker::ReadFrameMarker;

TEST(FrameMarkerTest, ReadsBackAtAnySizeAndAFlashReadsAsNone) {
    for (auto [width, height, index] :
         {std::tuple{320, 240, 749}, {176, 144, 65535}, {64, 48, 0}}) {
        std::vector<uint32_t> pixels(width * height, 0x808080);
        moviemaker::DrawFrameMarker(pixels.data(), width, height, width, index);
        EXPECT_EQ(index, ReadFrameMarker(pixels.data(), width, height, width));
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFF);  // a flash
        EXPECT_EQ(-1, ReadFrameMarker(pixels.data(), width, height, width));
    }
}

TEST(MovieMakerTest, MakesTheSameBytesEveryTime) {
    using Options = std::vector<std::string>;
    for (Options options : {Options{"--seconds", "1"},
                            {"--seconds", "1", "--codec", "h264"},
                            {"--seconds", "0.5", "--codec", "mpeg4", "--size", "176x144"}}) {
        std::string why;
        ASSERT_TRUE(MakeMovie(options, Scratch("a"), &why) &&
                    MakeMovie(options, Scratch("b"), &why))
            << why;
        EXPECT_GT(ReadAll(Scratch("a")).size(), 1000u);
        EXPECT_TRUE(ReadAll(Scratch("a")) == ReadAll(Scratch("b"))) << options.back();
    }
}

}  // namespace
}  // namespace vrel::mmstream::testing
