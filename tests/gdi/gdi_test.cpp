// The GDI service as the intro draws with it: contexts on pixel buffers, objects, fills and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "runtime/common/rect.h"
#include "runtime/gdi/font_cache.h"
#include "runtime/gdi/gdi_runtime.h"
#include "runtime/gdi/raster.h"

namespace vrel::gdi {
namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;  // never drawn: XRGB keeps the top byte zero
constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr char kLine[] = "Kestrum ist doof";

// A width × height XRGB image in an 8-pixel frame of kGuard, so writes past it show.
struct Canvas {
    Canvas(int w, int h, uint32_t fill = 0)
        : width(w), height(h), pixels(size_t(w + 16) * (h + 16), kGuard) {
        for (int y = 0; y < h; ++y) {
            std::fill_n(&At(0, y), w, fill);
        }
    }
    PixelBuffer Buffer() { return {&At(0, 0), width, height, width + 16}; }
    uint32_t& At(int x, int y) { return pixels[size_t(y + 8) * (width + 16) + x + 8]; }
    // How many pixels differ from `background`, and their bounding box; the frame must hold.
    std::pair<int, RECT> Changed(uint32_t background) {
        EXPECT_EQ(std::ranges::count(pixels, kGuard) + width * height, std::ssize(pixels))
            << "wrote outside the target";
        int count = 0;
        RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int i = 0; i < width * height; ++i) {
            const int x = i % width, y = i / width;
            if (At(x, y) != background) {
                ++count;
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
            }
        }
        return {count, box};
    }
    int width, height;
    std::vector<uint32_t> pixels;
};

using Dc = std::unique_ptr<HDC__, decltype([](HDC dc) { DeleteDeviceContext(dc); })>;
using Object = std::unique_ptr<HGDIOBJ__, decltype([](HGDIOBJ object) { DeleteObject(object); })>;

Dc MakeDc(Canvas& canvas, POINT origin = {0, 0}, RECT clip = {INT_MIN, INT_MIN, INT_MAX, INT_MAX}) {
    return Dc(CreateDeviceContext(canvas.Buffer(), origin, clip));
}
Object Font(int height = 20, LPCSTR face = "Arial", int weight = 0) {
    return Object(CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0, face));
}
// Selects `font` (null: keeps the context's) and writes `text` at (x, y).
BOOL Write(HDC dc, HGDIOBJ font, int x, int y, const char* text,
           COLORREF colour = RGB(255, 255, 255), int mode = TRANSPARENT) {
    SelectObject(dc, font);
    SetBkMode(dc, mode);
    SetTextColor(dc, colour);
    return TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}
SIZE Extent(HDC dc, const char* text, int length) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text, length, &size)) << text;
    return size;
}

class Gdi : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(testing::LiveHandles(), live_) << "a handle leaked"; }
    const size_t live_ = testing::LiveHandles();
};

TEST_F(Gdi, BadHandlesAndArgumentsAreRefusedAndChangeNothing) {
    Canvas canvas(64, 32, 0x123456);
    Dc dc = MakeDc(canvas);
    Object font = Font(), brush(CreateSolidBrush(0));
    const HDC d = dc.get(), deletedDc = CreateDeviceContext(canvas.Buffer(), {0, 0}, {0, 0, 1, 1});
    int notAHandle = 0;  // an address GDI never gave out: compared, never followed
    const HDC unknownDc = reinterpret_cast<HDC>(&notAHandle);
    const HGDIOBJ unknown = reinterpret_cast<HGDIOBJ>(&notAHandle);
    ASSERT_TRUE(DeleteDeviceContext(deletedDc));
    uint32_t pixel = 0;
    const RECT all{0, 0, 64, 32};
    EXPECT_FALSE(TextOutA(unknownDc, 0, 0, "a", 1));
    EXPECT_FALSE(TextOutA(d, 0, 0, nullptr, 0));
    EXPECT_FALSE(TextOutA(d, 0, 0, "abc", -1));
    EXPECT_TRUE(TextOutA(d, 0, 0, "", 0)) << "nothing to draw is no error";
    EXPECT_FALSE(GetTextExtentPoint32A(d, "a", 1, nullptr));
    EXPECT_EQ(SetBkMode(unknownDc, TRANSPARENT), 0);
    EXPECT_EQ(SetBkMode(d, 3), 0);
    EXPECT_EQ(SetTextColor(unknownDc, 0), CLR_INVALID);
    EXPECT_EQ(SelectObject(unknownDc, font.get()), nullptr);
    EXPECT_EQ(SelectObject(d, unknown), nullptr);
    EXPECT_EQ(FillRect(unknownDc, &all, brush.get()), 0);
    EXPECT_EQ(FillRect(d, nullptr, brush.get()), 0);
    EXPECT_EQ(FillRect(d, &all, font.get()), 0) << "a font is no brush";
    EXPECT_EQ(GetStockObject(6), nullptr) << "pens are not stocked";
    EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT + 1), nullptr);
    EXPECT_EQ(CreateDeviceContext({nullptr, 8, 8, 8}, {0, 0}, all), nullptr);
    EXPECT_EQ(CreateDeviceContext({&pixel, 4, 1, 2}, {0, 0}, all), nullptr) << "pitch under a row";
    EXPECT_FALSE(DeleteDeviceContext(unknownDc));
    EXPECT_FALSE(DeleteDeviceContext(deletedDc));
    EXPECT_EQ(SetBkMode(d, TRANSPARENT), OPAQUE) << "the context is as it was made";
    EXPECT_EQ(SetTextColor(d, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Changed(0x123456).first, 0);
}

TEST_F(Gdi, SelectReturnsWhatWasThereAndObjectsOutliveDeletionWhileSelected) {
    Canvas canvas(200, 40);
    Dc dc1 = MakeDc(canvas), dc2 = MakeDc(canvas);
    Object font1 = Font(12), font2 = Font(14), brush(CreateSolidBrush(RGB(1, 2, 3)));
    // What is selected, what it replaces: a new context starts with these two stock objects.
    const std::pair<HGDIOBJ, HGDIOBJ> steps[] = {{font1.get(), GetStockObject(SYSTEM_FONT)},
                                                 {brush.get(), GetStockObject(WHITE_BRUSH)},
                                                 {font2.get(), font1.get()},
                                                 {GetStockObject(BLACK_BRUSH), brush.get()},
                                                 {font2.get(), font2.get()},
                                                 {GetStockObject(SYSTEM_FONT), font2.get()}};
    for (const auto& [select, previous] : steps) {
        EXPECT_EQ(SelectObject(dc1.get(), select), previous);
    }
    for (int which : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                      ANSI_VAR_FONT, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
        const HGDIOBJ stock = GetStockObject(which);
        EXPECT_TRUE(stock != nullptr && DeleteObject(stock)) << which;
        EXPECT_EQ(GetStockObject(which), stock) << which << " survives DeleteObject";
    }
    const size_t before = testing::LiveHandles();
    const HGDIOBJ font = Font().release();
    SelectObject(dc1.get(), font);
    SelectObject(dc2.get(), font);
    ASSERT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font)) << "the handle is dead at once";
    EXPECT_TRUE(Write(dc1.get(), nullptr, 0, 0, "Still here"));
    EXPECT_GT(canvas.Changed(0).first, 50);
    EXPECT_EQ(SelectObject(dc1.get(), GetStockObject(SYSTEM_FONT)), font) << "and the stock one";
    EXPECT_EQ(Extent(dc2.get(), "x", 1).cy, 20) << "dc2 still measures with it";
    EXPECT_EQ(testing::LiveHandles(), before + 1);
    dc2.reset();
    EXPECT_EQ(testing::LiveHandles(), before - 1) << "freed with the last context";
}

TEST_F(Gdi, FillRectPaintsItsOwnBrushOverTheHalfOpenRectangleFromTheOrigin) {
    Object solid(CreateSolidBrush(0x02563412));  // the top byte is no colour
    const HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    const struct {
        HGDIOBJ brush;
        RECT rect;
        POINT origin;
        RECT painted;  // in the target
        uint32_t colour;
    } rows[] = {
        {white, {0, 0, 9, 9}, {0, 0}, {0, 0, 9, 9}, kWhite},
        {solid.get(), {0, 0, 1, 1}, {0, 0}, {0, 0, 1, 1}, 0x123456},
        {GetStockObject(NULL_BRUSH), {0, 0, 9, 9}, {0, 0}, {}, 0},  // paints nothing
        {white, {10, 10, 20, 15}, {5, 7}, {15, 17, 25, 22}, kWhite},
        {white, {-5, -5, 3, 2}, {0, 0}, {0, 0, 3, 2}, kWhite},
        {white, {20, 20, 10, 10}, {0, 0}, {}, 0},  // inverted
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << r.colour << " " << r.rect.left);
        Canvas canvas(64, 48, 0xABCDEF);
        Dc dc = MakeDc(canvas, r.origin);
        SelectObject(dc.get(), GetStockObject(GRAY_BRUSH));  // not what FillRect paints with
        EXPECT_EQ(FillRect(dc.get(), &r.rect, r.brush), 1);
        const auto [count, box] = canvas.Changed(0xABCDEF);
        EXPECT_EQ(count, RectWidth(r.painted) * RectHeight(r.painted));
        EXPECT_TRUE(count == 0 || (box == r.painted && canvas.At(box.left, box.top) == r.colour));
    }
}

TEST_F(Gdi, TextAndFillsStayInsideTheClipAndTheTarget) {
    Object font = Font(24);
    const struct {
        const char* name;
        POINT origin;
        RECT clip;  // in the target, before the context cuts it to the target
        int x, y;
        bool draws;
    } rows[] = {
        {"over the right and bottom", {0, 0}, {0, 0, 200, 100}, 150, 90, true},
        {"most negative", {0, 0}, {0, 0, 200, 100}, INT_MIN, INT_MIN, false},
        {"origin and point both large", {INT_MAX, INT_MAX}, {0, 0, 200, 100}, INT_MAX, 5, false},
        {"origin cancels the point", {INT_MAX, 60}, {0, 0, 200, 100}, -INT_MAX + 5, -50, true},
        {"inside a smaller clip", {0, 0}, {50, 20, 120, 60}, 40, 20, true},
        {"clip larger than the target", {0, 0}, {-100, -100, 1000, 1000}, -20, 90, true},
        {"empty clip", {0, 0}, {80, 40, 80, 60}, 70, 40, false},
    };
    for (const auto& r : rows) {
        for (int painter : {TRANSPARENT, OPAQUE, 0}) {  // 0: a fill the size of the text
            SCOPED_TRACE(::testing::Message() << r.name << ", painter " << painter);
            Canvas canvas(200, 100);
            Dc dc = MakeDc(canvas, r.origin, r.clip);
            const RECT rect{r.x, r.y, LONG(std::min(r.x + 150LL, 1LL * INT_MAX)),
                            LONG(std::min(r.y + 24LL, 1LL * INT_MAX))};
            EXPECT_TRUE(
                painter ? Write(dc.get(), font.get(), r.x, r.y, kLine, RGB(255, 255, 255), painter)
                        : FillRect(dc.get(), &rect, GetStockObject(WHITE_BRUSH)));
            const auto [count, box] = canvas.Changed(0);
            EXPECT_EQ(count > 0, r.draws) << count;
            EXPECT_TRUE(count == 0 || RectContains(IntersectRects(r.clip, {0, 0, 200, 100}), box));
        }
    }
}

// Blue text at the target's (10, 10): ink only inside the measured cell, on the cell's
// background when opaque (a new context's is white), glyphs at the font's ascent.
TEST_F(Gdi, TextInksTheMeasuredCellInItsColourAndBackgroundMode) {
    const struct {
        int height, cell, ascent, mode;
        POINT origin;
    } rows[] = {{20, 20, 16, OPAQUE, {100, 50}},
                {-11, 12, 10, TRANSPARENT, {0, 0}},
                {0, 16, 13, TRANSPARENT, {-20, 30}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "height " << r.height << ", mode " << r.mode);
        Object font = Font(r.height);
        Canvas hih(200, 100);  // flat-bottomed capitals end on the baseline
        Write(MakeDc(hih).get(), font.get(), 5, 7, "HIH");
        EXPECT_EQ(hih.Changed(0).second.bottom, 7 + r.ascent);
        Canvas canvas(500, 70);
        Dc dc = MakeDc(canvas, r.origin);
        ASSERT_TRUE(Write(dc.get(), font.get(), 10 - r.origin.x, 10 - r.origin.y, kLine, 0x00F80000,
                          r.mode));
        const uint32_t ink = 0xF8, background = r.mode == OPAQUE ? kWhite : 0;  // 0x00RRGGBB
        const SIZE size = Extent(dc.get(), kLine, 16);
        EXPECT_EQ(size.cx, Extent(dc.get(), kLine, 7).cx + Extent(dc.get(), kLine + 7, 9).cx);
        EXPECT_GT(size.cx, 4 * r.cell);
        EXPECT_EQ(size.cy, r.cell);
        int inked = 0, clear = 0;
        for (int i = 0; i < 500 * 70; ++i) {
            const int x = i % 500, y = i / 500;
            const uint32_t p = canvas.At(x, y);
            const bool inCell = x >= 10 && y >= 10 && x < 10 + size.cx && y < 10 + size.cy;
            bool blend = true;  // each channel between the background's and the ink's
            for (int shift = 0; shift < 32; shift += 8) {
                const auto [lo, hi] =
                    std::minmax({(ink >> shift) & 255, (background >> shift) & 255});
                blend = blend && ((p >> shift) & 255) >= lo && ((p >> shift) & 255) <= hi;
            }
            ASSERT_TRUE(inCell ? blend : p == 0) << "at " << x << "," << y;
            inked += p == ink;
            clear += inCell && p == background;
        }
        EXPECT_GT(inked, 5) << "fully covered pixels are the text colour exactly";
        EXPECT_GT(clear, size.cx * size.cy / 2);
    }
}

TEST_F(Gdi, FontsFindTheirFaceOrFallBack) {
    const struct {
        LPCSTR face;
        int weight, stock;  // stock: that stock font instead
        const char* file;   // part of the face's file name
    } rows[] = {
        {"Arial", 599, 0, "LiberationSans-Regular"},
        {"Arial", 600, 0, "LiberationSans-Bold"},
        {"No Such Face", 0, 0, "."},
        {nullptr, 0, SYSTEM_FONT, "Bold"},
        {nullptr, 0, DEFAULT_GUI_FONT, "Regular"},
    };
    for (const auto& r : rows) {
        Object created = r.stock ? nullptr : Font(20, r.face, r.weight);
        const HGDIOBJ font = r.stock ? GetStockObject(r.stock) : created.get();
        EXPECT_NE(testing::QueryFontFile(font).find(r.file), std::string::npos)
            << r.face << " " << r.weight << " " << r.stock;
    }
}

// Fonts of one face share it in FreeType; each must still rasterise at its own size.
TEST_F(Gdi, FontsSharingAFaceKeepTheirOwnSizes) {
    Canvas canvas(8, 8);
    Dc dc = MakeDc(canvas);
    Object small = Font(20), large = Font(60);
    SelectObject(dc.get(), small.get());
    const LONG width = Extent(dc.get(), kLine, 16).cx;
    SelectObject(dc.get(), large.get());
    EXPECT_GT(Extent(dc.get(), kLine, 16).cx, 2 * width);
    SelectObject(dc.get(), small.get());
    EXPECT_EQ(Extent(dc.get(), kLine, 16).cx, width);
}

TEST_F(Gdi, Windows1252CharactersDrawTheirOwnGlyphs) {
    Object font = Font(40);
    auto draw = [&](const char* character) {
        Canvas canvas(60, 60);
        Write(MakeDc(canvas).get(), font.get(), 10, 0, character);
        return canvas.Changed(0).second;
    };
    const RECT euro = draw("\x80"), missing = draw("\x81"), u = draw("u"), uUmlaut = draw("\xFC");
    EXPECT_FALSE(euro == missing) << "0x80 is the euro sign, not the missing-glyph box";
    EXPECT_EQ(uUmlaut.bottom, u.bottom);
    EXPECT_LT(uUmlaut.top, u.top) << "0xFC carries a diaeresis";
}

TEST(FontHeightRule, CellOrEmByTheFaceDesignMetrics) {
    constexpr FaceUnits kLiberationSans{2048, 1854, 434};  // OS/2 winAscent, winDescent
    const struct {
        FaceUnits units;
        int height;
        FontMetrics expected;  // em, ascent, descent
    } rows[] = {
        // Positive: the cell; em = height × 2048 / 2288, one less if its cell would overshoot
        // (em 12 would round to a 14-pixel cell). Negative heights are the em itself.
        {kLiberationSans, 13, {11, 11, 2}},
        {{1000, 800, 200}, 20, {20, 16, 4}},
        {kLiberationSans, INT_MAX, {917, 830, 194}},   // capped at a 1024-pixel cell
        {kLiberationSans, INT_MIN, {1024, 927, 217}},  // and a 1024-pixel em
        {{0, 0, 0}, 20, {20, 20, 0}},                  // no metrics: the em is the cell
    };
    for (const auto& r : rows) {
        EXPECT_TRUE(ScaleFontMetrics(r.height, r.units) == r.expected) << r.height;
    }
}

TEST(BlendXrgb, CoverageMixesEachChannelRounded) {
    EXPECT_EQ(BlendXrgb(0x00F80000, 0x00123456, 0), 0x00123456u) << "none: the background";
    EXPECT_EQ(BlendXrgb(0x00000000, 0x00FFFFFF, 64), 0x00BFBFBFu) << "255 × 191 / 255, rounded";
    EXPECT_EQ(BlendXrgb(0x00FF0000, 0x0000FF00, 51), 0x0033CC00u) << "channels apart";
}

// One lock guards the handle tables; the thread sanitizer build checks it.
TEST_F(Gdi, SeveralThreadsDrawAtOnce) {
    auto work = [] {
        Canvas canvas(120, 30);
        for (int i = 0; i < 40; ++i) {
            Object font = Font(12 + i % 8);
            EXPECT_TRUE(Write(MakeDc(canvas).get(), font.get(), 0, 0, kLine));
        }
    };
    std::jthread a(work), b(work), c(work), d(work);
}

}  // namespace
}  // namespace vrel::gdi
