// MessageBoxA: a modal box drawn on the screen over its owner, with its own message loop.
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/common/rect.h"
#include "runtime/screen/screen.h"
#include "runtime/user/message_box_view.h"
#include "runtime/user/testing.h"
#include "runtime/user/user_internal.h"
#include "runtime/user/user_runtime.h"
#include "runtime/user/window_manager.h"

namespace vrel::user {

namespace {

constexpr const char* kBoxClass = kDialogClassName;
// Each box nests a modal loop on the stack; a stream of About commands must not nest
// thousands of them.
constexpr size_t kMaxOpenBoxes = 8;

// One open box: its look, its pixels underneath and its answer.
struct OpenBox {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT kind = MB_OK;
    BoxFonts fonts;
    BoxLayout layout;
    std::vector<uint32_t> covered;  // the screen under the box, put back on close
    int focused = 0;
    int pressed = -1;
    std::atomic<int> answer{0};  // a button, a key or another thread: closes at once
    int hookAnswer = 0;          // a test's answer: closes once nothing is waiting
};

// Open boxes, innermost last; AnswerMessageBox may reach them from another thread.
struct BoxStack {
    std::mutex mutex;
    std::vector<OpenBox*> boxes;
    testing::MessageBoxHook hook;
};

BoxStack& Boxes() {
    static BoxStack stack;
    return stack;
}

bool HasButton(const OpenBox& box, int id) {
    for (const BoxButton& b : box.layout.buttons) {
        if (b.id == id) {
            return true;
        }
    }
    return false;
}

OpenBox* FindBox(HWND window) {
    std::lock_guard lock(Boxes().mutex);
    for (OpenBox* box : Boxes().boxes) {
        if (box->window == window) {
            return box;
        }
    }
    return nullptr;
}

void Redraw(OpenBox& box) {
    HDC dc = GetDC(nullptr);
    DrawMessageBox(dc, box.fonts, box.layout, box.caption, box.focused, box.pressed);
    ReleaseDC(nullptr, dc);
}

int ButtonAt(const OpenBox& box, LPARAM lParam) {
    const int x =
        static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))) + box.layout.frame.left;
    const int y =
        static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam))) + box.layout.frame.top;
    for (size_t i = 0; i < box.layout.buttons.size(); ++i) {
        const RECT& r = box.layout.buttons[i].rect;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void HandleKey(OpenBox& box, WPARAM key) {
    const int count = static_cast<int>(box.layout.buttons.size());
    if (key == VK_RETURN || key == VK_SPACE) {
        box.answer = box.layout.buttons[static_cast<size_t>(box.focused)].id;
    } else if ((key == 'Y' || key == 'N') && box.kind == MB_YESNO) {
        box.answer = key == 'Y' ? IDYES : IDNO;
    } else if (key == VK_ESCAPE && box.kind != MB_YESNO) {
        box.answer = box.kind == MB_OK ? IDOK : IDCANCEL;
    } else if (key == VK_TAB || key == VK_RIGHT || key == VK_LEFT) {
        box.focused = (box.focused + (key == VK_LEFT ? count - 1 : 1)) % count;
        Redraw(box);
    }
}

void HandleClick(OpenBox& box, UINT message, LPARAM lParam) {
    const int hit = ButtonAt(box, lParam);
    if (message == WM_LBUTTONDOWN) {
        box.pressed = hit;
        if (hit >= 0) {
            box.focused = hit;
        }
        Redraw(box);
        return;
    }
    const int pressed = box.pressed;
    box.pressed = -1;
    Redraw(box);
    if (hit >= 0 && hit == pressed) {
        box.answer = box.layout.buttons[static_cast<size_t>(hit)].id;
    }
}

LRESULT BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    OpenBox* box = FindBox(window);
    if (box == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_KEYDOWN:
            HandleKey(*box, wParam);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            HandleClick(*box, message, lParam);
            return 0;
        case WM_ACTIVATE:
        case WM_ERASEBKGND:
        case WM_CLOSE:
            return 0;  // the box paints itself and only closes through a button
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void EnsureBoxClass() {
    if (!WindowManager::Get().FindClass(kBoxClass)) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = BoxProc;
        cls.lpszClassName = kBoxClass;
        RegisterClassA(&cls);
    }
}

// `notShown` says why the box never reached the screen; empty for a box that did.
void Echo(const std::string& caption, const std::string& text, const std::string& notShown = "") {
    std::string body = text;
    while (!body.empty() && body.back() == '\n') {
        body.pop_back();
    }
    if (!notShown.empty()) {
        body += " (not shown: " + notShown + ")";
    }
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), body.c_str());
    std::fflush(stderr);
}

std::vector<uint32_t> SaveScreen(const RECT& area) {
    PixelBuffer fb = screen::Screen::Get().Framebuffer();
    RECT r = IntersectRects(area, fb.Bounds());
    std::vector<uint32_t> saved;
    saved.reserve(static_cast<size_t>(RectWidth(r)) * static_cast<size_t>(RectHeight(r)));
    for (LONG y = r.top; y < r.bottom; ++y) {
        saved.insert(saved.end(), fb.Row(y) + r.left, fb.Row(y) + r.right);
    }
    return saved;
}

void RestoreScreen(const RECT& area, const std::vector<uint32_t>& saved) {
    screen::Screen& screen = screen::Screen::Get();
    PixelBuffer fb = screen.Framebuffer();
    RECT r = IntersectRects(area, fb.Bounds());
    const size_t width = static_cast<size_t>(RectWidth(r));
    if (saved.size() != width * static_cast<size_t>(RectHeight(r))) {
        return;  // the display mode changed while the box was open
    }
    for (LONG y = r.top; y < r.bottom; ++y) {
        std::copy_n(saved.begin() + static_cast<std::ptrdiff_t>((y - r.top) * width), width,
                    fb.Row(y) + r.left);
    }
    screen.Present();
}

}  // namespace
}  // namespace vrel::user

namespace vrel::user {
namespace {

RECT OwnerArea(HWND owner, const RECT& screenRect) {
    RECT r{};
    if (owner != nullptr && GetScreenRect(owner, &r) && !IsEmptyRect(r)) {
        return r;
    }
    return screenRect;
}

void OpenOnScreen(OpenBox& box) {
    EnsureBoxClass();
    RECT screenRect{};
    GetScreenRect(GetDesktopWindow(), &screenRect);
    HDC dc = GetDC(nullptr);
    box.layout = LayoutMessageBox(dc, box.fonts, box.text, box.caption, box.kind,
                                  OwnerArea(box.owner, screenRect), screenRect);
    ReleaseDC(nullptr, dc);
    box.covered = SaveScreen(box.layout.frame);
    const RECT& f = box.layout.frame;
    box.window =
        CreateWindowExA(WS_EX_TOPMOST, kBoxClass, box.caption.c_str(), WS_POPUP, f.left, f.top,
                        RectWidth(f), RectHeight(f), box.owner, nullptr, nullptr, nullptr);
    {
        std::lock_guard lock(Boxes().mutex);
        Boxes().boxes.push_back(&box);
    }
    Redraw(box);
    ShowWindow(box.window, SW_SHOW);  // activates the box: the owner gets WA_INACTIVE
}

void CloseOnScreen(OpenBox& box) {
    {
        std::lock_guard lock(Boxes().mutex);
        std::erase(Boxes().boxes, &box);
    }
    WindowManager& wm = WindowManager::Get();
    // The owner gets activation back before the box is gone, as on the platform.
    if (box.owner != nullptr && wm.Exists(box.owner)) {
        ActivateWindow(box.owner);
    }
    wm.SetVisible(box.window, false);  // its pixels come back below, not as black
    DestroyWindow(box.window);
    RestoreScreen(box.layout.frame, box.covered);
}

void AskHook(OpenBox& box) {
    testing::MessageBoxHook hook;
    {
        std::lock_guard lock(Boxes().mutex);
        hook = Boxes().hook;
    }
    if (hook) {
        int answer = hook({box.owner, box.text, box.caption, box.kind});
        if (answer != 0 && HasButton(box, answer)) {
            box.hookAnswer = answer;
        }
    }
}

size_t OpenBoxCount() {
    std::lock_guard lock(Boxes().mutex);
    return Boxes().boxes.size();
}

bool HasHook() {
    std::lock_guard lock(Boxes().mutex);
    return static_cast<bool>(Boxes().hook);
}

// Dispatches everything that arrives while the box is open. An answer closes it right after
// the message that brought it, as the platform's dialog loop ends, so a stream of commands
// cannot keep answered boxes open; a quit request closes it at once (IDOK) and stays pending.
int RunModalLoop(OpenBox& box) {
    const bool answerByDefault = screen::Screen::Get().Headless() && !HasHook();
    for (;;) {
        if (int answer = box.answer.load(); answer != 0) {
            return answer;
        }
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return IDOK;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (box.hookAnswer != 0) {
            return box.hookAnswer;
        }
        if (answerByDefault) {
            return box.layout.buttons.front().id;
        }
        WaitForWork();
    }
}

}  // namespace

bool AnswerMessageBox(int answer) {
    {
        std::lock_guard lock(Boxes().mutex);
        if (Boxes().boxes.empty() || !HasButton(*Boxes().boxes.back(), answer)) {
            return false;
        }
        Boxes().boxes.back()->answer = answer;
    }
    WakeWindowThread();
    return true;
}

std::optional<OpenBoxSummary> TopMessageBox() {
    std::lock_guard lock(Boxes().mutex);
    if (Boxes().boxes.empty()) {
        return std::nullopt;
    }
    const OpenBox& box = *Boxes().boxes.back();
    return OpenBoxSummary{box.caption, box.text, box.kind};
}

}  // namespace vrel::user

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    using vrel::user::WindowManager;
    const UINT kind = type & MB_TYPEMASK;
    if ((kind != MB_OK && kind != MB_OKCANCEL && kind != MB_YESNO) ||
        (owner != nullptr && !WindowManager::Get().Exists(owner))) {
        return 0;
    }
    auto box = std::make_unique<vrel::user::OpenBox>();
    box->owner = owner;
    box->text = text ? text : "";
    box->caption = caption ? caption : "Error";
    box->kind = kind;
    if (WindowManager::Get().Queue().TakeQuit(false)) {
        vrel::user::Echo(box->caption, box->text, "a quit is pending");
        return IDOK;  // a pending quit closes any box at once and stays pending
    }
    if (const size_t open = vrel::user::OpenBoxCount(); open >= vrel::user::kMaxOpenBoxes) {
        vrel::user::Echo(box->caption, box->text, std::to_string(open) + " boxes already open");
        return 0;  // as a box that cannot be made
    }
    vrel::user::Echo(box->caption, box->text);
    vrel::user::OpenOnScreen(*box);
    vrel::user::AskHook(*box);
    int answer = vrel::user::RunModalLoop(*box);
    vrel::user::CloseOnScreen(*box);
    return answer;
}

namespace vrel::user::testing {

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(Boxes().mutex);
    Boxes().hook = std::move(hook);
}

void ResetWindowing() {
    {
        std::lock_guard lock(Boxes().mutex);
        Boxes().boxes.clear();
        Boxes().hook = nullptr;
    }
    WindowManager::Get().Reset();
}

}  // namespace vrel::user::testing
