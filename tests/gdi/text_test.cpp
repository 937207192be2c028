// TextOutA and GetTextExtentPoint32A: placement, colour, background mode, fonts, glyph cache.
#include <cstring>

#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

constexpr char kLine[] = "Kestrum ist doof";
constexpr int kLineLength = 16;

// Reads a text extent; fails the test when the call fails.
SIZE Extent(HDC dc, const char* text, int length) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text, length, &size)) << text;
    return size;
}

// True when every channel of `pixel` lies between the channels of `a` and `b`: what a
// blend of the two may produce.
bool IsBlendOf(uint32_t pixel, uint32_t a, uint32_t b) {
    for (int shift = 0; shift <= 24; shift += 8) {
        const uint32_t p = (pixel >> shift) & 0xFF;
        const uint32_t lo = std::min((a >> shift) & 0xFF, (b >> shift) & 0xFF);
        const uint32_t hi = std::max((a >> shift) & 0xFF, (b >> shift) & 0xFF);
        if (p < lo || p > hi) {
            return false;
        }
    }
    return true;
}

class TextTest : public GdiTest {};

struct ColourCase {
    COLORREF textColor;
    uint32_t expectedPixel;
};

TEST_F(TextTest, TransparentLineWritesOnlyGlyphPixelsInTheTextColour) {
    const ColourCase cases[] = {{0x00F80000, 0x000000F8}, {0x000000F8, 0x00F80000}};
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "colour 0x" << c.textColor);
        Canvas canvas(640, 480, 0);
        ScopedDc dc(canvas.Buffer());
        ScopedObject font(CreateIntroFont());
        ASSERT_NE(font.Get(), nullptr);
        SelectObject(dc.Get(), font.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), c.textColor);
        ASSERT_TRUE(TextOutA(dc.Get(), 10, 10, kLine, kLineLength));

        const SIZE extent = Extent(dc.Get(), kLine, kLineLength);
        EXPECT_EQ(extent.cy, 20);
        const Canvas::Changes changes = canvas.ChangedFrom(0);
        EXPECT_GT(changes.count, 300) << "too few glyph pixels";
        EXPECT_LT(changes.count, extent.cx * extent.cy / 2) << "background was painted";
        EXPECT_GE(changes.box.left, 10);
        EXPECT_GE(changes.box.top, 10);
        EXPECT_LE(changes.box.right, 10 + extent.cx);
        EXPECT_LE(changes.box.bottom, 30);

        int exact = 0;
        for (int y = 0; y < canvas.Height(); ++y) {
            for (int x = 0; x < canvas.Width(); ++x) {
                const uint32_t p = canvas.At(x, y);
                exact += p == c.expectedPixel ? 1 : 0;
                ASSERT_TRUE(IsBlendOf(p, 0, c.expectedPixel))
                    << std::hex << "pixel 0x" << p << std::dec << " at " << x << "," << y;
            }
        }
        EXPECT_GT(exact, 60) << "fully covered pixels must be exactly the text colour";
        EXPECT_TRUE(canvas.GuardIntact());
    }
}

TEST_F(TextTest, SpaceBetweenWordsStaysUntouched) {
    Canvas canvas(640, 480, 0);
    ScopedDc dc(canvas.Buffer());
    ScopedObject font(CreateIntroFont());
    SelectObject(dc.Get(), font.Get());
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(255, 255, 255));
    ASSERT_TRUE(TextOutA(dc.Get(), 10, 10, kLine, kLineLength));
    const LONG spaceLeft = 10 + Extent(dc.Get(), "Kestrum", 7).cx;
    const LONG spaceRight = 10 + Extent(dc.Get(), "Kestrum ", 8).cx;
    ASSERT_GT(spaceRight, spaceLeft + 2);
    for (LONG x = spaceLeft + 1; x < spaceRight - 1; ++x) {
        for (int y = 0; y < canvas.Height(); ++y) {
            ASSERT_EQ(canvas.At(x, y), 0u) << "column " << x << " row " << y;
        }
    }
}

TEST_F(TextTest, OpaqueModeFillsTheCellWithTheBackgroundFirst) {
    Canvas canvas(640, 480, 0);
    ScopedDc dc(canvas.Buffer());
    ScopedObject font(CreateIntroFont());
    SelectObject(dc.Get(), font.Get());
    SetTextColor(dc.Get(), 0x00F80000);
    ASSERT_TRUE(TextOutA(dc.Get(), 10, 10, kLine, kLineLength));  // OPAQUE is the default
    const SIZE extent = Extent(dc.Get(), kLine, kLineLength);
    const RECT cell{10, 10, 10 + extent.cx, 10 + extent.cy};

    const Canvas::Changes changes = canvas.ChangedFrom(0);
    EXPECT_EQ(changes.count, extent.cx * extent.cy) << "every cell pixel, nothing else";
    EXPECT_EQ(changes.box, cell);
    EXPECT_EQ(canvas.At(10, 10), 0x00FFFFFFu) << "the default background is white";
    int background = 0;
    for (LONG y = cell.top; y < cell.bottom; ++y) {
        for (LONG x = cell.left; x < cell.right; ++x) {
            background += canvas.At(x, y) == 0x00FFFFFF ? 1 : 0;
            ASSERT_TRUE(IsBlendOf(canvas.At(x, y), 0x00FFFFFF, 0x000000F8)) << x << "," << y;
        }
    }
    EXPECT_GT(background, changes.count / 2);
}

TEST_F(TextTest, LogicalCoordinatesAreOffsetByTheOrigin) {
    Canvas direct(320, 200, 0);
    Canvas shifted(320, 200, 0);
    ScopedDc directDc(direct.Buffer());
    ScopedDc shiftedDc(shifted.Buffer(), POINT{100, 50}, shifted.Buffer().Bounds());
    ScopedObject font(CreateIntroFont());
    for (HDC dc : {directDc.Get(), shiftedDc.Get()}) {
        SelectObject(dc, font.Get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 200, 0));
    }
    TextOutA(directDc.Get(), 103, 57, kLine, kLineLength);
    TextOutA(shiftedDc.Get(), 3, 7, kLine, kLineLength);
    ASSERT_GT(direct.ChangedFrom(0).count, 0);
    for (int y = 0; y < direct.Height(); ++y) {
        for (int x = 0; x < direct.Width(); ++x) {
            ASSERT_EQ(direct.At(x, y), shifted.At(x, y)) << x << "," << y;
        }
    }
}

TEST_F(TextTest, BaselineIsTheCellTopPlusTheAscent) {
    struct Case {
        int height;
        int ascent;
    };
    for (const Case& c : {Case{20, 16}, Case{32, 26}, Case{48, 39}}) {
        SCOPED_TRACE(::testing::Message() << "height " << c.height);
        Canvas canvas(200, 100, 0);
        ScopedDc dc(canvas.Buffer());
        ScopedObject font(CreateIntroFont(c.height));
        SelectObject(dc.Get(), font.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), RGB(255, 255, 255));
        TextOutA(dc.Get(), 5, 7, "HIH", 3);
        // Flat-bottomed capitals end on the baseline.
        EXPECT_EQ(canvas.ChangedFrom(0).box.bottom, 7 + c.ascent);
    }
}

TEST_F(TextTest, ExtentIsTheSumOfCharacterAdvancesAndTheCellHeight) {
    Canvas canvas(16, 16, 0);
    ScopedDc dc(canvas.Buffer());
    for (int height : {12, 20, 40}) {
        ScopedObject font(CreateIntroFont(height));
        SelectObject(dc.Get(), font.Get());
        LONG sum = 0;
        for (int i = 0; i < kLineLength; ++i) {
            sum += Extent(dc.Get(), kLine + i, 1).cx;
        }
        const SIZE whole = Extent(dc.Get(), kLine, kLineLength);
        EXPECT_EQ(whole.cx, sum) << "height " << height;
        EXPECT_EQ(whole.cy, height);
        EXPECT_EQ(Extent(dc.Get(), kLine, 0).cx, 0) << "height " << height;
        EXPECT_GT(whole.cx, height * 4) << "height " << height;
        SelectObject(dc.Get(), GetStockObject(SYSTEM_FONT));
    }
}

TEST_F(TextTest, TextDrawnAgainRasterisesNothing) {
    Canvas canvas(640, 100, 0);
    ScopedDc dc(canvas.Buffer());
    ScopedObject font(CreateIntroFont(22));
    SelectObject(dc.Get(), font.Get());
    const long before = vrel::gdi::testing::GlyphRasterisations();
    TextOutA(dc.Get(), 0, 0, kLine, kLineLength);
    EXPECT_EQ(vrel::gdi::testing::GlyphRasterisations() - before, 12) << "12 distinct characters";
    const long afterFirst = vrel::gdi::testing::GlyphRasterisations();
    TextOutA(dc.Get(), 0, 40, kLine, kLineLength);
    Extent(dc.Get(), kLine, kLineLength);
    EXPECT_EQ(vrel::gdi::testing::GlyphRasterisations(), afterFirst);
    TextOutA(dc.Get(), 0, 0, "Kestrum!", 8);
    EXPECT_EQ(vrel::gdi::testing::GlyphRasterisations(), afterFirst + 1) << "only the new '!'";
}

// Fonts of one face share it in FreeType; each must still rasterise at its own size.
TEST_F(TextTest, FontsSharingAFaceKeepTheirOwnSizes) {
    Canvas canvas(16, 16, 0);
    ScopedDc dc(canvas.Buffer());
    LONG alone = 0;
    {
        ScopedObject font(CreateIntroFont(20));
        SelectObject(dc.Get(), font.Get());
        alone = Extent(dc.Get(), kLine, kLineLength).cx;
        SelectObject(dc.Get(), GetStockObject(SYSTEM_FONT));
    }
    ScopedObject small(CreateIntroFont(20));
    ScopedObject large(CreateIntroFont(60));
    EXPECT_EQ(testing::QueryFontFile(small.Get()), testing::QueryFontFile(large.Get()));
    SelectObject(dc.Get(), large.Get());
    const LONG largeWidth = Extent(dc.Get(), kLine, kLineLength).cx;
    SelectObject(dc.Get(), small.Get());
    EXPECT_EQ(Extent(dc.Get(), kLine, kLineLength).cx, alone);
    SelectObject(dc.Get(), large.Get());
    EXPECT_EQ(Extent(dc.Get(), kLine, kLineLength).cx, largeWidth);
    EXPECT_GT(largeWidth, 2 * alone);
    SelectObject(dc.Get(), GetStockObject(SYSTEM_FONT));
}

TEST_F(TextTest, UnknownFaceFallsBackAndStillDraws) {
    for (LPCSTR face : {"No Such Face At All", "", static_cast<LPCSTR>(nullptr)}) {
        SCOPED_TRACE(face != nullptr ? face : "(null)");
        ScopedObject font(CreateIntroFont(20, face));
        ASSERT_NE(font.Get(), nullptr);
        EXPECT_FALSE(vrel::gdi::testing::QueryFontFile(font.Get()).empty());
        Canvas canvas(320, 60, 0);
        ScopedDc dc(canvas.Buffer());
        SelectObject(dc.Get(), font.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), RGB(255, 255, 255));
        ASSERT_TRUE(TextOutA(dc.Get(), 10, 10, kLine, kLineLength));
        EXPECT_GT(canvas.ChangedFrom(0).count, 200);
        EXPECT_EQ(Extent(dc.Get(), kLine, kLineLength).cy, 20);
    }
}

TEST_F(TextTest, FaceAndWeightPickTheFile) {
    struct Case {
        LPCSTR face;
        int weight;
        const char* file;
    };
    const Case cases[] = {
        {"Arial", 0, "LiberationSans-Regular.ttf"},
        {"Arial", FW_NORMAL, "LiberationSans-Regular.ttf"},
        {"Arial", 599, "LiberationSans-Regular.ttf"},
        {"Arial", 600, "LiberationSans-Bold.ttf"},
        {"Arial", FW_BOLD, "LiberationSans-Bold.ttf"},
        {"Liberation Sans", 0, "LiberationSans-Regular.ttf"},
    };
    for (const Case& c : cases) {
        ScopedObject font(CreateIntroFont(20, c.face, c.weight));
        const std::string file = vrel::gdi::testing::QueryFontFile(font.Get());
        EXPECT_NE(file.find(c.file), std::string::npos)
            << c.face << " weight " << c.weight << ": expected " << c.file << ", got " << file;
    }
}

TEST_F(TextTest, StockFontsDraw) {
    for (int which : {SYSTEM_FONT, DEFAULT_GUI_FONT, ANSI_VAR_FONT}) {
        Canvas canvas(320, 60, 0);
        ScopedDc dc(canvas.Buffer());
        SelectObject(dc.Get(), GetStockObject(which));
        SetBkMode(dc.Get(), TRANSPARENT);
        SetTextColor(dc.Get(), RGB(255, 255, 255));
        ASSERT_TRUE(TextOutA(dc.Get(), 0, 0, kLine, kLineLength)) << "stock font " << which;
        EXPECT_GT(canvas.ChangedFrom(0).count, 50) << "stock font " << which;
    }
}

TEST_F(TextTest, DefaultFontOfANewContextDraws) {
    Canvas canvas(320, 60, 0);
    ScopedDc dc(canvas.Buffer());
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(255, 255, 255));
    ASSERT_TRUE(TextOutA(dc.Get(), 0, 0, "Abc", 3));
    EXPECT_GT(canvas.ChangedFrom(0).count, 20);
    EXPECT_EQ(Extent(dc.Get(), "Abc", 3).cy, 16) << "the system font's cell";
}

// Ink of one character drawn alone, for comparing glyphs.
struct Ink {
    Canvas::Changes changes;
    std::vector<uint32_t> pixels;
};

Ink DrawCharacter(HGDIOBJ font, char character) {
    Canvas canvas(60, 60, 0);
    ScopedDc dc(canvas.Buffer());
    SelectObject(dc.Get(), font);
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(255, 255, 255));
    TextOutA(dc.Get(), 10, 10, &character, 1);
    Ink ink{canvas.ChangedFrom(0), {}};
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            ink.pixels.push_back(canvas.At(x, y));
        }
    }
    return ink;
}

TEST_F(TextTest, Windows1252CharactersDrawTheirOwnGlyphs) {
    ScopedObject font(CreateIntroFont(40));
    const Ink euro = DrawCharacter(font.Get(), '\x80');
    const Ink undefined = DrawCharacter(font.Get(), '\x81');  // no glyph: the missing box
    const Ink uUmlaut = DrawCharacter(font.Get(), '\xFC');
    const Ink u = DrawCharacter(font.Get(), 'u');
    EXPECT_GT(euro.changes.count, 0);
    EXPECT_NE(euro.pixels, undefined.pixels) << "0x80 must be the euro sign, not a missing glyph";
    EXPECT_EQ(uUmlaut.changes.box.bottom, u.changes.box.bottom);
    EXPECT_LT(uUmlaut.changes.box.top, u.changes.box.top) << "0xFC carries a diaeresis";
    EXPECT_GT(uUmlaut.changes.count, u.changes.count);
}

}  // namespace
}  // namespace vrel::gdi::test
