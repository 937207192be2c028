// Draws the overlay line on a black window and, when asked, opens a message box, so that
// end-to-end checks can compare an Xvfb screenshot with the framebuffer.
//   screen_probe <framebuffer.ppm> [box | pattern | reset]
// `pattern` draws a test picture under the line instead of black (gradients and a one-pixel
// checkerboard: what scaling shows most); `reset` also tells the screen its
// renderer was reset, then draws the picture upside down and prints "redrawn".
#include <SDL.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "runtime/screen/screen.h"

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Smooth ramps in red and green, and a one-pixel checkerboard in the top-left quarter.
uint32_t PatternAt(int x, int y, int w, int h) {
    if (x < w / 2 && y < h / 2 && y > 40) {
        return (x + y) % 2 != 0 ? 0xFFFFFF : 0x000000;
    }
    return static_cast<uint32_t>(x * 255 / w) << 16 | static_cast<uint32_t>(y * 255 / h) << 8 |
           0x40;
}

void DrawPattern(vrel::PixelBuffer fb, bool upsideDown) {
    for (int y = 0; y < fb.height; ++y) {
        for (int x = 0; x < fb.width; ++x) {
            fb.Row(y)[x] = PatternAt(x, upsideDown ? fb.height - 1 - y : y, fb.width, fb.height);
        }
    }
    vrel::screen::Screen::Get().Present();
}

void ResetRenderer() {
    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);
    }
    DrawPattern(vrel::screen::Screen::Get().Framebuffer(), true);
    std::puts("redrawn");
    std::fflush(stdout);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::istringstream args(commandLine);
    std::string dumpPath, mode;
    args >> dumpPath >> mode;
    WNDCLASSA cls{};
    cls.lpfnWndProc = Proc;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = "ScreenProbe";
    RegisterClassA(&cls);
    HWND window =
        CreateWindowExA(WS_EX_TOPMOST, "ScreenProbe", "ScreenProbe", WS_POPUP | WS_VISIBLE, 0, 0,
                        640, 480, nullptr, nullptr, instance, nullptr);
    UpdateWindow(window);
    if (mode == "pattern" || mode == "reset") {
        DrawPattern(vrel::screen::Screen::Get().Framebuffer(), false);
    }
    HDC dc = GetDC(window);
    HFONT font = CreateFontA(20, 0, 0, 0, FW_DONTCARE, 0, 0, 0, ANSI_CHARSET, 0, 0, DRAFT_QUALITY,
                             0, "Arial");
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0x00F80000);
    TextOutA(dc, 10, 10, "Kestrum ist doof", lstrlenA("Kestrum ist doof"));
    ReleaseDC(window, dc);
    DeleteObject(font);
    vrel::PixelBuffer fb = vrel::screen::Screen::Get().Framebuffer();
    std::vector<unsigned char> rgb;  // the framebuffer as a binary PPM
    for (int y = 0; y < fb.height; ++y) {
        for (int x = 0; x < fb.width; ++x) {
            const uint32_t p = fb.Row(y)[x];
            rgb.insert(rgb.end(),
                       {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                        static_cast<unsigned char>(p)});
        }
    }
    if (std::FILE* out = std::fopen(dumpPath.c_str(), "wb")) {
        std::fprintf(out, "P6\n%d %d\n255\n", fb.width, fb.height);
        std::fwrite(rgb.data(), 1, rgb.size(), out);
        std::fclose(out);
    }
    std::puts("drawn");
    std::fflush(stdout);
    if (mode == "reset") {
        ResetRenderer();
    }
    if (mode == "box") {
        const int answer = MessageBoxA(window,
                                       "This application uses multimedia streaming to render a "
                                       "video file to a DirectDraw surface created through "
                                       "DirectDrawEx.",
                                       "About", MB_OK);
        std::printf("answer %d\nclosed\n", answer);
        std::fflush(stdout);
    }
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
