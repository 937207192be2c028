// Clipping: text and fills never write outside the context's clip or the target, wherever
// they are placed, and never fail for being off the target.
#include <climits>

#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

constexpr char kLine[] = "Kestrum ist doof";

struct ClipCase {
    const char* name;
    POINT origin;
    RECT clip;  // target coordinates, before the context cuts it to the target
    int x;
    int y;
    bool drawsSomething;
};

const ClipCase kClipCases[] = {
    {"inside", {0, 0}, {0, 0, 200, 100}, 10, 10, true},
    {"negative coordinates", {0, 0}, {0, 0, 200, 100}, -50, -10, true},
    {"over the right and bottom edges", {0, 0}, {0, 0, 200, 100}, 150, 90, true},
    {"far beyond the buffer", {0, 0}, {0, 0, 200, 100}, 1000, 1000, false},
    {"far before the buffer", {0, 0}, {0, 0, 200, 100}, -1000, -1000, false},
    {"most negative coordinates", {0, 0}, {0, 0, 200, 100}, INT_MIN, INT_MIN, false},
    {"largest coordinates", {0, 0}, {0, 0, 200, 100}, INT_MAX, INT_MAX, false},
    {"origin and coordinates both large", {INT_MAX, INT_MAX}, {0, 0, 200, 100}, INT_MAX, 5, false},
    {"origin cancels negative coordinates",
     {INT_MAX, 60},
     {0, 0, 200, 100},
     -INT_MAX + 5,
     -50,
     true},
    {"inside a smaller clip", {0, 0}, {50, 20, 120, 60}, 40, 20, true},
    {"clip outside the target", {0, 0}, {-100, -100, -10, -10}, -60, -60, false},
    {"clip larger than the target", {0, 0}, {-100, -100, 1000, 1000}, -20, 90, true},
    {"empty clip", {0, 0}, {80, 40, 80, 60}, 70, 40, false},
    {"origin moves text into the clip", {100, 50}, {90, 40, 200, 100}, -5, -5, true},
};

// The pixels a case may touch: its clip cut to the target.
RECT Allowed(const ClipCase& c, const Canvas& canvas) {
    return IntersectRects(c.clip, RECT{0, 0, canvas.Width(), canvas.Height()});
}

bool Within(const RECT& inner, const RECT& outer) {
    return RectContains(outer, inner);
}

class ClipTest : public GdiTest {};

TEST_F(ClipTest, TextStaysInsideTheClipAndTheTarget) {
    ScopedObject font(CreateIntroFont(24));
    for (const ClipCase& c : kClipCases) {
        for (int mode : {TRANSPARENT, OPAQUE}) {
            SCOPED_TRACE(::testing::Message() << c.name << (mode == OPAQUE ? ", opaque" : ""));
            Canvas canvas(200, 100, 0);
            ScopedDc dc(canvas.Buffer(), c.origin, c.clip);
            ASSERT_NE(dc.Get(), nullptr);
            SelectObject(dc.Get(), font.Get());
            SetBkMode(dc.Get(), mode);
            SetTextColor(dc.Get(), RGB(255, 255, 255));
            EXPECT_TRUE(TextOutA(dc.Get(), c.x, c.y, kLine, 16));
            const Canvas::Changes changes = canvas.ChangedFrom(0);
            EXPECT_TRUE(canvas.GuardIntact()) << "wrote outside the target";
            EXPECT_EQ(changes.count > 0, c.drawsSomething) << changes.count << " pixels";
            if (changes.count > 0) {
                EXPECT_TRUE(Within(changes.box, Allowed(c, canvas)))
                    << ::testing::PrintToString(changes.box);
            }
        }
    }
}

TEST_F(ClipTest, FillsStayInsideTheClipAndTheTarget) {
    ScopedObject brush(CreateSolidBrush(RGB(9, 8, 7)));
    for (const ClipCase& c : kClipCases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(200, 100, 0);
        ScopedDc dc(canvas.Buffer(), c.origin, c.clip);
        // A rectangle the size of a text line at the same place.
        const int64_t right = int64_t{c.x} + 150;
        const int64_t bottom = int64_t{c.y} + 24;
        const RECT rect{c.x, c.y, static_cast<LONG>(std::min<int64_t>(right, INT_MAX)),
                        static_cast<LONG>(std::min<int64_t>(bottom, INT_MAX))};
        EXPECT_NE(FillRect(dc.Get(), &rect, brush.Get()), 0);
        const Canvas::Changes changes = canvas.ChangedFrom(0);
        EXPECT_TRUE(canvas.GuardIntact()) << "wrote outside the target";
        EXPECT_EQ(changes.count > 0, c.drawsSomething) << changes.count << " pixels";
        if (changes.count > 0) {
            EXPECT_TRUE(Within(changes.box, Allowed(c, canvas)))
                << ::testing::PrintToString(changes.box);
        }
    }
}

TEST_F(ClipTest, ContextOnASubRectangleOfALargerBuffer) {
    // A 100 × 50 window into a 200 × 100 buffer: everything around it must stay.
    Canvas canvas(200, 100, 0);
    PixelBuffer whole = canvas.Buffer();
    PixelBuffer part{whole.Row(30) + 40, 100, 50, whole.pitch};
    ScopedDc dc(part);
    ScopedObject brush(CreateSolidBrush(RGB(255, 0, 0)));
    const RECT everything{-1000, -1000, 1000, 1000};
    ASSERT_NE(FillRect(dc.Get(), &everything, brush.Get()), 0);
    SetBkMode(dc.Get(), TRANSPARENT);
    SetTextColor(dc.Get(), RGB(0, 0, 255));
    TextOutA(dc.Get(), -10, 40, kLine, 16);
    const Canvas::Changes changes = canvas.ChangedFrom(0);
    EXPECT_EQ(changes.count, 100 * 50);
    EXPECT_EQ(changes.box, (RECT{40, 30, 140, 80}));
    EXPECT_TRUE(canvas.GuardIntact());
}

}  // namespace
}  // namespace vrel::gdi::test
