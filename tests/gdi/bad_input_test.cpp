// Bad arguments get the platform's failure results and change nothing.
#include <functional>

#include "tests/gdi/gdi_fixture.h"

namespace vrel::gdi::test {
namespace {

class BadInputTest : public GdiTest {
  protected:
    BadInputTest() : dc_(canvas_.Buffer()), font_(CreateIntroFont()), brush_(CreateSolidBrush(0)) {}

    Canvas canvas_{64, 32, 0x00123456};
    ScopedDc dc_;
    ScopedObject font_;
    ScopedObject brush_;
    // Handles that were never given out; only compared, never followed.
    int notAnObject_ = 0;
    HDC unknownDc_ = reinterpret_cast<HDC>(&notAnObject_);
    HGDIOBJ unknownObject_ = reinterpret_cast<HGDIOBJ>(&notAnObject_);
};

struct IntCase {
    const char* name;
    std::function<intptr_t()> call;
    intptr_t expected;
};

void RunCases(const std::vector<IntCase>& cases) {
    for (const IntCase& c : cases) {
        EXPECT_EQ(c.call(), c.expected) << c.name;
    }
}

TEST_F(BadInputTest, TextCalls) {
    HDC dc = dc_.Get();
    SIZE size{};
    RunCases({
        {"TextOutA null dc", [&] { return TextOutA(nullptr, 0, 0, "a", 1); }, FALSE},
        {"TextOutA unknown dc", [&] { return TextOutA(unknownDc_, 0, 0, "a", 1); }, FALSE},
        {"TextOutA null text", [&] { return TextOutA(dc, 0, 0, nullptr, 3); }, FALSE},
        {"TextOutA null text, length 0", [&] { return TextOutA(dc, 0, 0, nullptr, 0); }, FALSE},
        {"TextOutA negative length", [&] { return TextOutA(dc, 0, 0, "abc", -1); }, FALSE},
        {"TextOutA empty text", [&] { return TextOutA(dc, 0, 0, "", 0); }, TRUE},
        {"extent null dc", [&] { return GetTextExtentPoint32A(nullptr, "a", 1, &size); }, FALSE},
        {"extent unknown dc", [&] { return GetTextExtentPoint32A(unknownDc_, "a", 1, &size); },
         FALSE},
        {"extent null text", [&] { return GetTextExtentPoint32A(dc, nullptr, 1, &size); }, FALSE},
        {"extent negative length", [&] { return GetTextExtentPoint32A(dc, "a", -2, &size); },
         FALSE},
        {"extent null size", [&] { return GetTextExtentPoint32A(dc, "a", 1, nullptr); }, FALSE},
        {"SetBkMode null dc", [&] { return SetBkMode(nullptr, TRANSPARENT); }, 0},
        {"SetBkMode unknown dc", [&] { return SetBkMode(unknownDc_, TRANSPARENT); }, 0},
        {"SetBkMode unknown mode", [&] { return SetBkMode(dc, 3); }, 0},
        {"SetBkMode mode 0", [&] { return SetBkMode(dc, 0); }, 0},
        {"SetTextColor null dc", [&] { return SetTextColor(nullptr, 0); }, CLR_INVALID},
        {"SetTextColor unknown dc", [&] { return SetTextColor(unknownDc_, 0); }, CLR_INVALID},
    });
    // The failed calls left the context as it was.
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(canvas_.ChangedFrom(0x00123456).count, 0);
}

TEST_F(BadInputTest, ObjectCalls) {
    HDC dc = dc_.Get();
    RunCases({
        {"select into null dc",
         [&] { return reinterpret_cast<intptr_t>(SelectObject(nullptr, font_.Get())); }, 0},
        {"select into unknown dc",
         [&] { return reinterpret_cast<intptr_t>(SelectObject(unknownDc_, font_.Get())); }, 0},
        {"select null object",
         [&] { return reinterpret_cast<intptr_t>(SelectObject(dc, nullptr)); }, 0},
        {"select unknown object",
         [&] { return reinterpret_cast<intptr_t>(SelectObject(dc, unknownObject_)); }, 0},
        {"delete null", [&] { return DeleteObject(nullptr); }, FALSE},
        {"delete unknown", [&] { return DeleteObject(unknownObject_); }, FALSE},
        {"delete stock brush", [&] { return DeleteObject(GetStockObject(BLACK_BRUSH)); }, TRUE},
        {"delete stock font", [&] { return DeleteObject(GetStockObject(SYSTEM_FONT)); }, TRUE},
        {"stock -1", [&] { return reinterpret_cast<intptr_t>(GetStockObject(-1)); }, 0},
        {"stock 6 (a pen)", [&] { return reinterpret_cast<intptr_t>(GetStockObject(6)); }, 0},
        {"stock past the last",
         [&] { return reinterpret_cast<intptr_t>(GetStockObject(DEFAULT_GUI_FONT + 1)); }, 0},
        {"stock huge", [&] { return reinterpret_cast<intptr_t>(GetStockObject(1 << 30)); }, 0},
        {"delete context twice",
         [&] {
             HDC extra = CreateDeviceContext(canvas_.Buffer(), {0, 0}, {0, 0, 1, 1});
             return intptr_t{DeleteDeviceContext(extra)} * 10 + DeleteDeviceContext(extra);
         },
         10},
        {"delete null context", [&] { return intptr_t{DeleteDeviceContext(nullptr)}; }, 0},
        {"delete unknown context", [&] { return intptr_t{DeleteDeviceContext(unknownDc_)}; }, 0},
    });
    // Stock objects survive their "deletion".
    const RECT all{0, 0, 64, 32};
    EXPECT_NE(FillRect(dc, &all, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_EQ(canvas_.At(5, 5), 0u);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    EXPECT_TRUE(TextOutA(dc, 0, 0, "Ok", 2));
    EXPECT_GT(canvas_.ChangedFrom(0).count, 0);
}

TEST_F(BadInputTest, DeletedObjectsAreUnknown) {
    HGDIOBJ font = CreateIntroFont(30);
    HGDIOBJ brush = CreateSolidBrush(RGB(1, 1, 1));
    ASSERT_TRUE(DeleteObject(font));
    ASSERT_TRUE(DeleteObject(brush));
    EXPECT_EQ(SelectObject(dc_.Get(), font), nullptr);
    EXPECT_EQ(SelectObject(dc_.Get(), brush), nullptr);
    EXPECT_FALSE(DeleteObject(font));
    const RECT r{0, 0, 4, 4};
    EXPECT_EQ(FillRect(dc_.Get(), &r, brush), 0);
    EXPECT_EQ(canvas_.ChangedFrom(0x00123456).count, 0);
}

TEST_F(BadInputTest, FillRectArguments) {
    HDC dc = dc_.Get();
    const RECT r{0, 0, 8, 8};
    RunCases({
        {"null dc", [&] { return FillRect(nullptr, &r, brush_.Get()); }, 0},
        {"unknown dc", [&] { return FillRect(unknownDc_, &r, brush_.Get()); }, 0},
        {"null rect", [&] { return FillRect(dc, nullptr, brush_.Get()); }, 0},
        {"null brush", [&] { return FillRect(dc, &r, nullptr); }, 0},
        {"unknown brush", [&] { return FillRect(dc, &r, unknownObject_); }, 0},
        {"a font is no brush", [&] { return FillRect(dc, &r, font_.Get()); }, 0},
    });
    EXPECT_EQ(canvas_.ChangedFrom(0x00123456).count, 0);
}

TEST_F(BadInputTest, ContextsNeedAUsableTarget) {
    uint32_t pixel = 0;
    struct Case {
        const char* name;
        PixelBuffer target;
    };
    const Case cases[] = {
        {"no pixels", {nullptr, 10, 10, 10}},
        {"zero width", {&pixel, 0, 1, 1}},
        {"zero height", {&pixel, 1, 0, 1}},
        {"negative size", {&pixel, -1, -1, 1}},
        {"pitch shorter than a row", {&pixel, 4, 1, 2}},
    };
    for (const Case& c : cases) {
        HDC dc = CreateDeviceContext(c.target, {0, 0}, {0, 0, 10, 10});
        EXPECT_EQ(dc, nullptr) << c.name;
        DeleteDeviceContext(dc);
    }
}

}  // namespace
}  // namespace vrel::gdi::test
