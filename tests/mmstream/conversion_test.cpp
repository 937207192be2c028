// Conversions at the stream's edges: wide file names to UTF-8, surface pixel formats, and
// decoded pictures into surface pixels.
#include <gtest/gtest.h>

#include <vector>

#include "fake_surface.h"
#include "runtime/mmstream/video_converter.h"
#include "runtime/mmstream/wide_text.h"

namespace vrel::mmstream {
namespace {

struct TextCase {
    const char* what;
    std::u16string wide;
    std::string utf8;
};

TEST(WideTextTest, FileNamesBecomeUtf8) {
    const TextCase cases[] = {
        {"plain", u"vrelfi.dat", "vrelfi.dat"},
        {"empty", u"", ""},
        {"two-byte", u"caf\u00e9", "caf\xc3\xa9"},
        {"three-byte", u"\u20ac5",
         "\xe2\x82\xac"
         "5"},
        {"surrogate pair", u"\U0001F600", "\xf0\x9f\x98\x80"},
        {"lone high surrogate", std::u16string{0xD800, u'a'},
         "\xef\xbf\xbd"
         "a"},
        {"lone low surrogate", std::u16string{0xDC00}, "\xef\xbf\xbd"},
        {"a path", u"/tmp/f\u00fcr/x y.mpg", "/tmp/f\xc3\xbcr/x y.mpg"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(c.utf8, Utf16ToUtf8(c.wide.c_str())) << c.what;
    }
}

struct FormatCase {
    const char* what;
    DDPIXELFORMAT format;
    AVPixelFormat expected;
};

TEST(PixelFormatTest, SurfaceFormatsMapToWhatWritesThem) {
    using testing::RgbFormat;
    DDPIXELFORMAT noRgbFlag = RgbFormat(32, 0xFF0000, 0xFF00, 0xFF);
    noRgbFlag.dwFlags = 0;
    const FormatCase cases[] = {
        {"XRGB", RgbFormat(32, 0xFF0000, 0xFF00, 0xFF), AV_PIX_FMT_BGR0},
        {"XBGR", RgbFormat(32, 0xFF, 0xFF00, 0xFF0000), AV_PIX_FMT_RGB0},
        {"RGB24", RgbFormat(24, 0xFF0000, 0xFF00, 0xFF), AV_PIX_FMT_BGR24},
        {"565", RgbFormat(16, 0xF800, 0x07E0, 0x1F), AV_PIX_FMT_RGB565LE},
        {"555", RgbFormat(16, 0x7C00, 0x03E0, 0x1F), AV_PIX_FMT_RGB555LE},
        {"not RGB", noRgbFlag, AV_PIX_FMT_NONE},
        {"odd masks", RgbFormat(32, 0xFF00, 0xFF0000, 0xFF), AV_PIX_FMT_NONE},
        {"8 bits", RgbFormat(8, 0xE0, 0x1C, 0x03), AV_PIX_FMT_NONE},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(c.expected, PixelFormatFor(c.format)) << c.what;
    }
    EXPECT_EQ(AV_PIX_FMT_BGR0, PixelFormatFor(XrgbPixelFormat()));
}

// A 4:2:0 picture (limited range, BT.601) of one colour.
FramePtr SolidPicture(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(0, av_frame_get_buffer(frame.get(), 0));
    for (int row = 0; row < height; ++row) {
        std::fill_n(frame->data[0] + row * frame->linesize[0], width, y);
    }
    for (int row = 0; row < height / 2; ++row) {
        std::fill_n(frame->data[1] + row * frame->linesize[1], width / 2, u);
        std::fill_n(frame->data[2] + row * frame->linesize[2], width / 2, v);
    }
    return frame;
}

struct ColorCase {
    const char* what;
    uint8_t y, u, v;
    uint32_t xrgb;
};

TEST(VideoConverterTest, ColoursLandAsXrgbInsideTheRectangleOnly) {
    const ColorCase cases[] = {
        {"red", 81, 90, 240, 0x00FF0000},    {"green", 145, 54, 34, 0x0000FF00},
        {"blue", 41, 240, 110, 0x000000FF},  {"white", 235, 128, 128, 0x00FFFFFF},
        {"black", 16, 128, 128, 0x00000000},
    };
    const int kWidth = 64;
    const int kHeight = 48;
    for (const ColorCase& c : cases) {
        std::vector<uint32_t> pixels(kWidth * kHeight, 0xDEADBEEF);
        VideoConverter converter;
        FramePtr picture = SolidPicture(16, 16, c.y, c.u, c.v);
        PixelTarget target{reinterpret_cast<uint8_t*>(&pixels[8 * kWidth + 4]), kWidth * 4, 32, 24,
                           AV_PIX_FMT_BGR0};
        ASSERT_TRUE(converter.Convert(picture.get(), target)) << c.what;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                uint32_t p = pixels[y * kWidth + x];
                bool inside = x >= 4 && x < 36 && y >= 8 && y < 32;
                if (!inside) {
                    ASSERT_EQ(0xDEADBEEFu, p) << c.what << " wrote outside at " << x << "," << y;
                    continue;
                }
                for (int shift : {16, 8, 0}) {
                    int got = static_cast<int>((p >> shift) & 0xFF);
                    int want = static_cast<int>((c.xrgb >> shift) & 0xFF);
                    ASSERT_NEAR(want, got, 6) << c.what << " channel " << shift << " at " << x
                                              << "," << y << ": " << std::hex << p;
                }
            }
        }
    }
}

TEST(VideoConverterTest, ChangingSizeOrFormatIsFollowed) {
    VideoConverter converter;
    std::vector<uint32_t> pixels(32 * 32, 0);
    FramePtr small = SolidPicture(16, 16, 235, 128, 128);
    FramePtr large = SolidPicture(64, 64, 16, 128, 128);
    PixelTarget target{reinterpret_cast<uint8_t*>(pixels.data()), 32 * 4, 32, 32, AV_PIX_FMT_BGR0};
    ASSERT_TRUE(converter.Convert(small.get(), target));
    EXPECT_EQ(0x00FFFFFFu, pixels[5 * 32 + 5] & 0x00FFFFFF);
    ASSERT_TRUE(converter.Convert(large.get(), target));
    EXPECT_LE(pixels[5 * 32 + 5] & 0x00FFFFFF, 0x00040404u) << "black, scaled down";
    std::vector<uint16_t> packed(32 * 32, 0);
    PixelTarget rgb565{reinterpret_cast<uint8_t*>(packed.data()), 32 * 2, 32, 32,
                       AV_PIX_FMT_RGB565LE};
    ASSERT_TRUE(converter.Convert(small.get(), rgb565));
    EXPECT_EQ(0xFFFF, packed[5 * 32 + 5]);
}

TEST(VideoConverterTest, EmptyPictureIsRefused) {
    VideoConverter converter;
    FramePtr empty(av_frame_alloc());
    uint32_t pixel = 0;
    PixelTarget target{reinterpret_cast<uint8_t*>(&pixel), 4, 1, 1, AV_PIX_FMT_BGR0};
    EXPECT_FALSE(converter.Convert(empty.get(), target));
}

}  // namespace
}  // namespace vrel::mmstream
