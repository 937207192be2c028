// FillRect: brush colours, half-open rectangles, the origin, the null brush.
#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

class FillTest : public GdiTest {};

TEST_F(FillTest, StockAndSolidBrushesPaintTheirColour) {
    struct Case {
        const char* name;
        HGDIOBJ brush;
        uint32_t expected;
    };
    ScopedObject solid(CreateSolidBrush(RGB(0x12, 0x34, 0x56)));
    ScopedObject flagged(CreateSolidBrush(0x02F80000));  // the high byte is not colour
    const Case cases[] = {
        {"white", GetStockObject(WHITE_BRUSH), 0x00FFFFFF},
        {"light gray", GetStockObject(LTGRAY_BRUSH), 0x00C0C0C0},
        {"gray", GetStockObject(GRAY_BRUSH), 0x00808080},
        {"dark gray", GetStockObject(DKGRAY_BRUSH), 0x00404040},
        {"black", GetStockObject(BLACK_BRUSH), 0x00000000},
        {"solid", solid.Get(), 0x00123456},
        {"solid with high byte", flagged.Get(), 0x000000F8},
    };
    for (const Case& c : cases) {
        Canvas canvas(640, 480, 0x00ABCDEF);
        ScopedDc dc(canvas.Buffer());
        const RECT all{0, 0, 640, 480};
        ASSERT_NE(FillRect(dc.Get(), &all, c.brush), 0) << c.name;
        EXPECT_EQ(canvas.ChangedFrom(c.expected).count, 0) << c.name;
        EXPECT_TRUE(canvas.GuardIntact()) << c.name;
    }
}

TEST_F(FillTest, RightAndBottomAreExcluded) {
    struct Case {
        RECT rect;
        POINT origin;
        RECT expectedBox;  // target coordinates; empty when nothing is painted
    };
    const Case cases[] = {
        {{10, 10, 20, 15}, {0, 0}, {10, 10, 20, 15}}, {{0, 0, 1, 1}, {0, 0}, {0, 0, 1, 1}},
        {{10, 10, 20, 15}, {5, 7}, {15, 17, 25, 22}}, {{-5, -5, 3, 2}, {0, 0}, {0, 0, 3, 2}},
        {{10, 10, 10, 20}, {0, 0}, {0, 0, 0, 0}},  // zero width
        {{10, 10, 20, 10}, {0, 0}, {0, 0, 0, 0}},  // zero height
        {{20, 20, 10, 10}, {0, 0}, {0, 0, 0, 0}},  // inverted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.rect));
        Canvas canvas(64, 48, 0);
        ScopedDc dc(canvas.Buffer(), c.origin, canvas.Buffer().Bounds());
        EXPECT_NE(FillRect(dc.Get(), &c.rect, GetStockObject(WHITE_BRUSH)), 0);
        const Canvas::Changes changes = canvas.ChangedFrom(0);
        EXPECT_EQ(changes.count, RectWidth(c.expectedBox) * RectHeight(c.expectedBox));
        if (changes.count > 0) {
            EXPECT_EQ(changes.box, c.expectedBox);
        }
    }
}

TEST_F(FillTest, NullBrushPaintsNothingAndSucceeds) {
    Canvas canvas(16, 16, 0x00445566);
    ScopedDc dc(canvas.Buffer());
    const RECT all{0, 0, 16, 16};
    EXPECT_NE(FillRect(dc.Get(), &all, GetStockObject(NULL_BRUSH)), 0);
    EXPECT_EQ(canvas.ChangedFrom(0x00445566).count, 0);
}

TEST_F(FillTest, SelectedBrushDoesNotChangeTheFill) {
    Canvas canvas(16, 16, 0);
    ScopedDc dc(canvas.Buffer());
    SelectObject(dc.Get(), GetStockObject(GRAY_BRUSH));
    const RECT all{0, 0, 16, 16};
    FillRect(dc.Get(), &all, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(canvas.ChangedFrom(0x00FFFFFF).count, 0);
}

}  // namespace
}  // namespace vrel::gdi::test
