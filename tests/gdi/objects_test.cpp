// GDI objects: stock objects, selection and what deleting a selected object does.
#include <thread>

#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

class ObjectsTest : public GdiTest {};

TEST_F(ObjectsTest, StockObjectsAreFixedHandles) {
    for (int which : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                      ANSI_VAR_FONT, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
        HGDIOBJ first = GetStockObject(which);
        EXPECT_NE(first, nullptr) << "stock object " << which;
        EXPECT_EQ(GetStockObject(which), first) << "stock object " << which;
        EXPECT_TRUE(DeleteObject(first)) << "stock object " << which;
        EXPECT_EQ(GetStockObject(which), first) << "stock object " << which;
    }
}

TEST_F(ObjectsTest, SelectReturnsThePreviousObjectOfTheSameKind) {
    Canvas canvas(8, 8, 0);
    ScopedDc dc(canvas.Buffer());
    ScopedObject font1(CreateIntroFont(12));
    ScopedObject font2(CreateIntroFont(14));
    ScopedObject brush(CreateSolidBrush(RGB(1, 2, 3)));
    struct Step {
        HGDIOBJ select;
        HGDIOBJ expectedPrevious;
    };
    const Step steps[] = {
        {font1.Get(), GetStockObject(SYSTEM_FONT)},  // a new context starts with these
        {brush.Get(), GetStockObject(WHITE_BRUSH)},
        {font2.Get(), font1.Get()},
        {GetStockObject(BLACK_BRUSH), brush.Get()},
        {font2.Get(), font2.Get()},
        {GetStockObject(SYSTEM_FONT), font2.Get()},
        {GetStockObject(WHITE_BRUSH), GetStockObject(BLACK_BRUSH)},
    };
    int index = 0;
    for (const Step& s : steps) {
        EXPECT_EQ(SelectObject(dc.Get(), s.select), s.expectedPrevious) << "step " << index++;
    }
}

TEST_F(ObjectsTest, BackgroundModeAndTextColourReturnTheirPreviousValues) {
    Canvas canvas(8, 8, 0);
    ScopedDc dc(canvas.Buffer());
    EXPECT_EQ(SetBkMode(dc.Get(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc.Get(), TRANSPARENT), TRANSPARENT);
    EXPECT_EQ(SetBkMode(dc.Get(), OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetTextColor(dc.Get(), 0x00F80000), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc.Get(), 0x000000F8), 0x00F80000u);
}

// A selected object deleted: the handle is dead at once, the object lives until the last
// context lets go of it, so drawing with it stays safe.
TEST_F(ObjectsTest, DeletingASelectedFontKeepsItAliveUntilDeselected) {
    Canvas canvas(200, 40, 0);
    ScopedDc dc1(canvas.Buffer());
    ScopedDc dc2(canvas.Buffer());
    const size_t before = testing::LiveHandles();
    HGDIOBJ font = CreateIntroFont();
    SelectObject(dc1.Get(), font);
    SelectObject(dc2.Get(), font);
    ASSERT_TRUE(DeleteObject(font));

    EXPECT_EQ(testing::LiveHandles(), before + 1) << "still selected: must stay alive";
    EXPECT_FALSE(DeleteObject(font)) << "the handle is gone";
    EXPECT_EQ(SelectObject(dc1.Get(), font), nullptr) << "the handle is gone";
    SetBkMode(dc1.Get(), TRANSPARENT);
    SetTextColor(dc1.Get(), RGB(255, 255, 255));
    EXPECT_TRUE(TextOutA(dc1.Get(), 0, 0, "Still here", 10));
    EXPECT_GT(canvas.ChangedFrom(0).count, 50);
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32A(dc2.Get(), "x", 1, &size));
    EXPECT_EQ(size.cy, 20) << "dc2 still draws with the deleted font";

    EXPECT_EQ(SelectObject(dc1.Get(), GetStockObject(SYSTEM_FONT)), font);
    EXPECT_EQ(testing::LiveHandles(), before + 1) << "dc2 still holds it";
    EXPECT_EQ(SelectObject(dc2.Get(), GetStockObject(SYSTEM_FONT)), font);
    EXPECT_EQ(testing::LiveHandles(), before) << "freed with the last selection";
}

TEST_F(ObjectsTest, DeletingTheContextFreesADeletedSelectedBrush) {
    Canvas canvas(8, 8, 0);
    const size_t before = testing::LiveHandles();
    HDC dc = CreateDeviceContext(canvas.Buffer(), {0, 0}, canvas.Buffer().Bounds());
    HGDIOBJ brush = CreateSolidBrush(RGB(5, 5, 5));
    SelectObject(dc, brush);
    ASSERT_TRUE(DeleteObject(brush));
    EXPECT_EQ(testing::LiveHandles(), before + 2);
    ASSERT_TRUE(DeleteDeviceContext(dc));
    EXPECT_EQ(testing::LiveHandles(), before);
}

TEST_F(ObjectsTest, UnselectedObjectsAreFreedAtOnce) {
    const size_t before = testing::LiveHandles();
    HGDIOBJ font = CreateIntroFont();
    HGDIOBJ brush = CreateSolidBrush(0);
    EXPECT_EQ(testing::LiveHandles(), before + 2);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(testing::LiveHandles(), before);
}

// Another thread using GDI at the same time must not corrupt the tables (run under the
// thread sanitizer in CI).
TEST_F(ObjectsTest, ConcurrentUseFromSeveralThreads) {
    auto work = [](int seed) {
        Canvas canvas(120, 30, 0);
        for (int i = 0; i < 40; ++i) {
            ScopedDc dc(canvas.Buffer());
            ScopedObject font(CreateIntroFont(12 + (seed + i) % 8));
            ScopedObject brush(CreateSolidBrush(RGB(i, seed, 0)));
            SelectObject(dc.Get(), font.Get());
            SelectObject(dc.Get(), brush.Get());
            SetTextColor(dc.Get(), RGB(255, 255, 255));
            TextOutA(dc.Get(), 0, 0, "Kestrum ist doof", 16);
            const RECT r{0, 0, 10, 10};
            FillRect(dc.Get(), &r, brush.Get());
            DeleteObject(font.Get());  // while selected; freed with the context
            DeleteObject(GetStockObject(BLACK_BRUSH));
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(work, t);
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

}  // namespace
}  // namespace vrel::gdi::test
