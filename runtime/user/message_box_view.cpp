#include "runtime/user/message_box_view.h"

#include <algorithm>

namespace vrel::user {

namespace {

constexpr COLORREF kFace = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kHighlight = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kShadow = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kDarkShadow = RGB(0x00, 0x00, 0x00);
constexpr COLORREF kCaption = RGB(0x00, 0x00, 0x80);
constexpr int kCaptionHeight = 20;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kButtonGap = 8;

int TextWidth(HDC dc, const std::string& s) {
    SIZE size{};
    GetTextExtentPoint32A(dc, s.data(), static_cast<int>(s.size()), &size);
    return size.cx;
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// A raised (or, pressed, sunken) classic bevel: light on top-left, dark on bottom-right.
void Bevel(HDC dc, RECT r, bool sunken) {
    COLORREF outerLight = sunken ? kDarkShadow : kHighlight;
    COLORREF outerDark = sunken ? kHighlight : kDarkShadow;
    Fill(dc, {r.left, r.top, r.right, r.top + 1}, outerLight);
    Fill(dc, {r.left, r.top, r.left + 1, r.bottom}, outerLight);
    Fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, outerDark);
    Fill(dc, {r.right - 1, r.top, r.right, r.bottom}, outerDark);
    Fill(dc, {r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 1}, kShadow);
    Fill(dc, {r.right - 2, r.top + 1, r.right - 1, r.bottom - 1}, kShadow);
}

void AppendWrapped(HDC dc, const std::string& paragraph, int maxWidth,
                   std::vector<std::string>* lines) {
    std::string line;
    size_t pos = 0;
    while (pos <= paragraph.size()) {
        size_t end = paragraph.find(' ', pos);
        if (end == std::string::npos) {
            end = paragraph.size();
        }
        std::string word = paragraph.substr(pos, end - pos);
        std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && TextWidth(dc, candidate) > maxWidth) {
            lines->push_back(line);
            candidate = word;
        }
        // A single word wider than the box is cut where it no longer fits.
        while (candidate.size() > 1 && TextWidth(dc, candidate) > maxWidth) {
            size_t fit = candidate.size() - 1;
            while (fit > 1 && TextWidth(dc, candidate.substr(0, fit)) > maxWidth) {
                --fit;
            }
            lines->push_back(candidate.substr(0, fit));
            candidate = candidate.substr(fit);
        }
        line = candidate;
        pos = end + 1;
    }
    lines->push_back(line);
}

std::vector<BoxButton> ButtonsFor(UINT kind) {
    switch (kind) {
        case MB_YESNO:
            return {{IDYES, "Yes", {}}, {IDNO, "No", {}}};
        case MB_OKCANCEL:
            return {{IDOK, "OK", {}}, {IDCANCEL, "Cancel", {}}};
        default:
            return {{IDOK, "OK", {}}};
    }
}

RECT CentreOver(const RECT& over, int width, int height, const RECT& screen) {
    int left = (over.left + over.right - width) / 2;
    int top = (over.top + over.bottom - height) / 2;
    left = std::clamp(left, screen.left, std::max(screen.left, screen.right - width));
    top = std::clamp(top, screen.top, std::max(screen.top, screen.bottom - height));
    return RECT{left, top, left + width, top + height};
}

void DrawButton(HDC dc, const BoxButton& b, bool focused, bool pressed) {
    Fill(dc, b.rect, kFace);
    Bevel(dc, b.rect, pressed);
    int shift = pressed ? 1 : 0;
    SIZE size{};
    GetTextExtentPoint32A(dc, b.label, lstrlenA(b.label), &size);
    int x = (b.rect.left + b.rect.right - size.cx) / 2 + shift;
    int y = (b.rect.top + b.rect.bottom - size.cy) / 2 + shift;
    TextOutA(dc, x, y, b.label, lstrlenA(b.label));
    if (focused) {
        RECT f{b.rect.left + 4, b.rect.top + 4, b.rect.right - 4, b.rect.bottom - 4};
        Fill(dc, {f.left, f.top, f.right, f.top + 1}, kDarkShadow);
        Fill(dc, {f.left, f.bottom - 1, f.right, f.bottom}, kDarkShadow);
        Fill(dc, {f.left, f.top, f.left + 1, f.bottom}, kDarkShadow);
        Fill(dc, {f.right - 1, f.top, f.right, f.bottom}, kDarkShadow);
    }
}

}  // namespace

BoxFonts::BoxFonts()
    : caption(CreateFontA(16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY, 0,
                          "Arial")),
      text(CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY, 0,
                       "Arial")) {}

BoxFonts::~BoxFonts() {
    DeleteObject(caption);
    DeleteObject(text);
}

std::vector<std::string> WrapText(HDC dc, const std::string& text, int maxWidth) {
    std::string body = text;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        body.pop_back();  // a final line break ends the text, it adds no empty line
    }
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find('\n', pos);
        if (end == std::string::npos) {
            end = body.size();
        }
        std::string paragraph = body.substr(pos, end - pos);
        if (!paragraph.empty() && paragraph.back() == '\r') {
            paragraph.pop_back();
        }
        AppendWrapped(dc, paragraph, maxWidth, &lines);
        pos = end + 1;
    }
    return lines;
}

BoxLayout LayoutMessageBox(HDC dc, const BoxFonts& fonts, const std::string& text,
                           const std::string& caption, UINT kind, const RECT& over,
                           const RECT& screen) {
    BoxLayout layout;
    const int screenW = screen.right - screen.left;
    const int maxText = std::max(120, std::min(480, screenW - 4 * kMargin));
    SelectObject(dc, fonts.text);
    layout.lines = WrapText(dc, text, maxText);
    SIZE cell{};
    GetTextExtentPoint32A(dc, "Ag", 2, &cell);
    layout.lineHeight = cell.cy;
    int textW = 0;
    for (const std::string& line : layout.lines) {
        textW = std::max(textW, TextWidth(dc, line));
    }
    SelectObject(dc, fonts.caption);
    const int captionW = TextWidth(dc, caption) + 2 * kMargin;
    layout.buttons = ButtonsFor(kind);
    const int buttonsW =
        static_cast<int>(layout.buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int width = std::min(screenW, std::max({textW, captionW, buttonsW}) + 2 * kMargin);
    const int textH = static_cast<int>(layout.lines.size()) * layout.lineHeight;
    const int height = kCaptionHeight + kMargin + textH + kMargin + kButtonHeight + 12;
    layout.frame = CentreOver(over, width, height, screen);
    const RECT& f = layout.frame;
    layout.captionBar = RECT{f.left + 3, f.top + 3, f.right - 3, f.top + 3 + kCaptionHeight - 2};
    layout.textOrigin = POINT{f.left + kMargin, f.top + kCaptionHeight + kMargin};
    int x = (f.left + f.right - buttonsW) / 2;
    const int y = f.bottom - 12 - kButtonHeight;
    for (BoxButton& b : layout.buttons) {
        b.rect = RECT{x, y, x + kButtonWidth, y + kButtonHeight};
        x += kButtonWidth + kButtonGap;
    }
    return layout;
}

void DrawMessageBox(HDC dc, const BoxFonts& fonts, const BoxLayout& layout,
                    const std::string& caption, int focused, int pressed) {
    Fill(dc, layout.frame, kFace);
    Bevel(dc, layout.frame, false);
    Fill(dc, layout.captionBar, kCaption);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, fonts.caption);
    SetTextColor(dc, kHighlight);
    TextOutA(dc, layout.captionBar.left + 4, layout.captionBar.top + 1, caption.data(),
             static_cast<int>(caption.size()));
    SelectObject(dc, fonts.text);
    SetTextColor(dc, kDarkShadow);
    int y = layout.textOrigin.y;
    for (const std::string& line : layout.lines) {
        TextOutA(dc, layout.textOrigin.x, y, line.data(), static_cast<int>(line.size()));
        y += layout.lineHeight;
    }
    for (size_t i = 0; i < layout.buttons.size(); ++i) {
        DrawButton(dc, layout.buttons[i], static_cast<int>(i) == focused,
                   static_cast<int>(i) == pressed);
    }
}

}  // namespace vrel::user
