// How a message box looks: layout (word-wrapped text, buttons) and drawing in a plain
// classic style. Pure drawing over a device context; no window-manager state.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace vrel::user {

struct BoxButton {
    int id;  // IDOK, IDYES, IDNO, IDCANCEL
    const char* label;
    RECT rect;  // screen coordinates
};

struct BoxLayout {
    RECT frame{};  // the whole box, screen coordinates
    RECT captionBar{};
    std::vector<std::string> lines;
    POINT textOrigin{};
    int lineHeight = 0;
    std::vector<BoxButton> buttons;
};

// The fonts a box is drawn with; made once per box and deleted with it.
struct BoxFonts {
    HFONT caption = nullptr;
    HFONT text = nullptr;
    BoxFonts();
    ~BoxFonts();
    BoxFonts(const BoxFonts&) = delete;
    BoxFonts& operator=(const BoxFonts&) = delete;
};

// Splits text into lines no wider than maxWidth, keeping its own line breaks.
std::vector<std::string> WrapText(HDC dc, const std::string& text, int maxWidth);

// Places a box of the given kind (MB_OK, MB_OKCANCEL, MB_YESNO) centred over `over`, kept
// inside `screen`. `dc` is used for measuring only.
BoxLayout LayoutMessageBox(HDC dc, const BoxFonts& fonts, const std::string& text,
                           const std::string& caption, UINT kind, const RECT& over,
                           const RECT& screen);

// Draws the box; `focused` is the index of the button with the focus frame, `pressed` the
// one drawn pushed in (-1 for none).
void DrawMessageBox(HDC dc, const BoxFonts& fonts, const BoxLayout& layout,
                    const std::string& caption, int focused, int pressed);

}  // namespace vrel::user
