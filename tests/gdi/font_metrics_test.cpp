// Font heights: the platform's cell/em rule, on design units and on the installed faces.
#include <climits>

#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi {

// Found by argument lookup when a check prints metrics.
void PrintTo(const FontMetrics& m, std::ostream* os) {
    *os << "em " << m.emPixels << " ascent " << m.ascent << " descent " << m.descent;
}

namespace test {
namespace {

constexpr FaceUnits kLiberationSans{2048, 1854, 434};  // OS/2 winAscent and winDescent
constexpr FaceUnits kThousandUnits{1000, 800, 200};

struct ScaleCase {
    FaceUnits units;
    int height;
    FontMetrics expected;
};

TEST(FontMetricsRule, HeightsScaleByTheDesignMetrics) {
    const ScaleCase cases[] = {
        // Positive: the cell; em = height × 2048 / 2288, one less if that overshoots.
        {kLiberationSans, 20, {18, 16, 4}},
        {kLiberationSans, 10, {9, 8, 2}},
        {kLiberationSans, 13, {11, 11, 2}},  // em 12 would round to a 14-pixel cell
        {kLiberationSans, 16, {14, 13, 3}},
        {kLiberationSans, 24, {21, 19, 5}},
        {kLiberationSans, 48, {43, 39, 9}},
        // Negative: the em itself.
        {kLiberationSans, -18, {18, 16, 4}},
        {kLiberationSans, -11, {11, 10, 2}},
        {kLiberationSans, -16, {16, 14, 3}},
        // Zero: the default 16-pixel cell.
        {kLiberationSans, 0, {14, 13, 3}},
        {kThousandUnits, 20, {20, 16, 4}},
        {kThousandUnits, -25, {25, 20, 5}},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(ScaleFontMetrics(c.height, c.units), c.expected)
            << "height " << c.height << " units/em " << c.units.unitsPerEm;
    }
}

TEST(FontMetricsRule, ExtremeHeightsAndBrokenFacesStayInRange) {
    const FaceUnits faces[] = {
        kLiberationSans, {0, 0, 0}, {2048, 0, 0}, {1, 5000, 5000}, {-5, -1, -1}};
    for (const FaceUnits& units : faces) {
        for (int height : {INT_MIN, -100000, -1, 1, 2, 100000, INT_MAX}) {
            const FontMetrics m = ScaleFontMetrics(height, units);
            EXPECT_GE(m.emPixels, 1) << "height " << height << " upem " << units.unitsPerEm;
            EXPECT_LE(m.emPixels, kMaxFontPixels) << "height " << height;
            EXPECT_GE(m.ascent, 0) << "height " << height;
            EXPECT_GE(m.descent, 0) << "height " << height;
            EXPECT_LE(m.CellHeight(), 2 * kMaxFontPixels) << "height " << height;
        }
    }
}

class InstalledFontMetrics : public GdiTest {};

TEST_F(InstalledFontMetrics, LiberationSansAtSeveralHeights) {
    struct Case {
        int height;
        FontMetrics expected;
    };
    const Case cases[] = {
        {20, {18, 16, 4}}, {10, {9, 8, 2}},    {16, {14, 13, 3}},  {32, {29, 26, 6}},
        {48, {43, 39, 9}}, {-18, {18, 16, 4}}, {-11, {11, 10, 2}}, {0, {14, 13, 3}},
    };
    Canvas canvas(8, 8, 0);
    ScopedDc dc(canvas.Buffer());
    for (const Case& c : cases) {
        ScopedObject font(CreateIntroFont(c.height));
        FontMetrics actual;
        ASSERT_TRUE(testing::QueryFontMetrics(font.Get(), &actual)) << "height " << c.height;
        EXPECT_EQ(actual, c.expected) << "height " << c.height;
        EXPECT_NE(testing::QueryFontFile(font.Get()).find("LiberationSans"), std::string::npos);

        SelectObject(dc.Get(), font.Get());
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32A(dc.Get(), "x", 1, &size));
        EXPECT_EQ(size.cy, c.expected.CellHeight()) << "height " << c.height;
        SelectObject(dc.Get(), GetStockObject(SYSTEM_FONT));
    }
}

TEST_F(InstalledFontMetrics, HugeHeightsAreCappedAndStillDraw) {
    for (int height : {INT_MAX, INT_MIN}) {
        ScopedObject font(CreateIntroFont(height));
        ASSERT_NE(font.Get(), nullptr) << height;
        FontMetrics m;
        ASSERT_TRUE(testing::QueryFontMetrics(font.Get(), &m));
        EXPECT_LE(m.emPixels, kMaxFontPixels) << height;
    }
}

}  // namespace
}  // namespace test
}  // namespace vrel::gdi
