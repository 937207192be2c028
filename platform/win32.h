// Windows, messages, message boxes, GDI text and the few kernel helpers the intro uses,
// declared with the 32-bit desktop platform's names, widths and values.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Basic types: widths are the 32-bit platform's, never C `long`. ----
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WINBOOL = int32_t;
using LONGLONG = int64_t;
using CHAR = char;
using WCHAR = char16_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;
using HRESULT = int32_t;
using COLORREF = uint32_t;  // 0x00BBGGRR
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ATOM = WORD;
using HANDLE = void*;

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE

#ifndef FALSE
#define FALSE 0
#define TRUE 1
#endif

// Opaque, pointer-sized handles; distinct types so they cannot be mixed up.
#define VREL_DECLARE_HANDLE(name) \
    struct name##__ {             \
        int unused;               \
    };                            \
    using name = name##__*
VREL_DECLARE_HANDLE(HWND);
VREL_DECLARE_HANDLE(HINSTANCE);
VREL_DECLARE_HANDLE(HDC);
VREL_DECLARE_HANDLE(HGDIOBJ);
VREL_DECLARE_HANDLE(HICON);
VREL_DECLARE_HANDLE(HCURSOR);
VREL_DECLARE_HANDLE(HMENU);
#undef VREL_DECLARE_HANDLE
// Brushes and fonts are GDI objects, so SelectObject and DeleteObject take them as they are.
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;

struct SIZE {
    LONG cx;
    LONG cy;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

static_assert(sizeof(RECT) == 16, "RECT is four 32-bit LONGs");
static_assert(sizeof(POINT) == 8, "POINT is two 32-bit LONGs");
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));
static_assert(sizeof(HWND) == sizeof(void*));
static_assert(sizeof(MSG) == 4 * sizeof(void*) + 2 * sizeof(DWORD) + sizeof(POINT));

// ---- Result codes shared by every service. ----
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
static_assert(E_FAIL < 0, "failure codes are negative");

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
    return error == 0 ? S_OK : static_cast<HRESULT>((error & 0xFFFF) | 0x80070000);
}

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// ---- Small helpers as the platform's macros define them. ----
constexpr WORD LOWORD(uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xFF);
}
// A resource named by number travels in a string pointer's place.
inline LPCSTR MAKEINTRESOURCEA(WORD id) {
    return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCSTR name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// ---- Messages. ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Virtual keys the runtime reports.
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;  // Alt
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_F4 = 0x73;

// ---- Window classes and styles. ----
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWDEFAULT = 10;
#define IDC_ARROW MAKEINTRESOURCEA(32512)

// ---- Message boxes. ----
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// ---- GDI. ----
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD DRAFT_QUALITY = 1;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(~uintptr_t{0}))

// ---- Code pages and strings. ----
constexpr UINT CP_ACP = 0;  // the ANSI code page: Windows-1252 here
constexpr int MAX_PATH = 260;

// ---- Windows and the message queue (user). ----
// Registers a class for CreateWindowExA; returns 0 when the class is invalid or taken.
ATOM WINAPI RegisterClassA(const WNDCLASSA* wndClass);
// Creates a window; a visible top-level one is activated before this returns. Null on failure.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY and forgets the window; FALSE for a window that does not exist.
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI IsWindow(HWND window);
// Shows or hides the window; returns whether it was visible before.
BOOL WINAPI ShowWindow(HWND window, int showCommand);
// Paints what is invalid now (background erase with the class brush).
BOOL WINAPI UpdateWindow(HWND window);
// The desktop: the whole virtual screen.
HWND WINAPI GetDesktopWindow();
HWND WINAPI GetActiveWindow();
// Top-level window by class name and/or title (null matches any); null when none.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
BOOL WINAPI ClientToScreen(HWND window, LPPOINT point);
// Only the stock cursors (instance null) exist; null for anything else.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
// Thread-safe: queues the message for the window's thread; FALSE when the window is gone.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the window procedure now and returns its result; 0 when the window is gone.
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sent messages are dispatched first; then the next posted message, then a pending quit.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// Waits for a message; 0 for WM_QUIT, -1 on bad arguments, otherwise non-zero.
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
// Sleeps until a message (posted, sent or input) is waiting.
BOOL WINAPI WaitMessage();
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
// WM_CLOSE destroys the window; Alt+F4 becomes WM_CLOSE; the background is erased with
// the class brush. Everything else returns 0.
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Marks the thread's queue to end: WM_QUIT once no posted message is waiting.
void WINAPI PostQuitMessage(int exitCode);
// Modal box; returns IDOK, IDYES or IDNO, or 0 on bad arguments.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Menus: read-only access to menu resources carried by the executable. ----
HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI DestroyMenu(HMENU menu);
int WINAPI GetMenuItemCount(HMENU menu);
UINT WINAPI GetMenuItemID(HMENU menu, int position);  // 0xFFFFFFFF for a popup or bad index
HMENU WINAPI GetSubMenu(HMENU menu, int position);
// Copies the item's text (NUL-terminated, cut to fit); returns its length, 0 when none.
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR text, int maxCount, UINT flags);
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;

// ---- GDI text. ----
HGDIOBJ WINAPI GetStockObject(int which);
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR faceName);
// Returns the object it replaces, or null/HGDI_ERROR on failure.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
// Stock objects are never deleted; FALSE for an unknown object.
BOOL WINAPI DeleteObject(HGDIOBJ object);
// Returns the previous mode, 0 on failure.
int WINAPI SetBkMode(HDC dc, int mode);
// Returns the previous colour, CLR_INVALID on failure.
COLORREF WINAPI SetTextColor(HDC dc, COLORREF color);
// Writes 8-bit (Windows-1252) text with the top-left of its cell at (x, y).
BOOL WINAPI TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
// A device context on the window's client area on the screen; give it back with ReleaseDC.
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
// Fills the rectangle (right and bottom excluded) with the brush; 0 on failure.
int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---- Kernel helpers. ----
// Widens an 8-bit string of the given code page; returns the characters written (with the
// terminator when length is -1), 0 on failure.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                               int wideLength);
int WINAPI lstrlenA(LPCSTR text);  // 0 for null

// The program's entry point, called by the runtime's process start-up.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
