// The entry point, the window and the message loop that doubles as the frame clock.
#include "app/main.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "app/shutdown.h"
#include "display/display_setup.h"
#include "present/color_table.h"
#include "present/frame_step.h"

namespace {

// Class name and title alike.
constexpr const char WINDOW_NAME[] = "Vrel Roru Intro by Tarrow/Senmar";
constexpr int WINDOW_WIDTH = 640;
constexpr int WINDOW_HEIGHT = 480;

constexpr const char ABOUT_TEXT[] =
    "This application uses multimedia streaming to render a video file to a DirectDraw "
    "surface created through DirectDrawEx.";

void RegisterWindowClass() {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = g_app.instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = WINDOW_NAME;
    RegisterClassA(&windowClass);  // not tested: without its class the window cannot be made
}

HWND CreateMainWindow() {
    return CreateWindowExA(WS_EX_TOPMOST, WINDOW_NAME, WINDOW_NAME, WS_POPUP | WS_VISIBLE, 0, 0,
                           WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, g_app.instance, nullptr);
}

// Frames are shown only while the window is active, and only once a movie is loaded.
void OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        g_app.active = 0;
    } else {
        g_app.active = g_app.loaded ? 1 : 0;
    }
}

// Exit sends WM_DESTROY itself: teardown runs and ends the loop, the window stays.
void ConfirmExit(HWND window) {
    if (MessageBoxA(window, "Quit the Program?", "Quit", MB_YESNO) == IDYES) {
        SendMessageA(g_app.mainWindow, WM_DESTROY, 0, 0);
    }
}

// The whole wParam names the command: a non-zero high word matches nothing.
void OnCommand(HWND window, WPARAM command) {
    switch (command) {
        case IDM_EXIT:
            ConfirmExit(window);
            break;
        case IDM_OPEN:
            Open(window);
            break;
        case IDM_START:
            Start(window);
            break;
        case IDM_PAUSE:
            Pause(window);
            break;
        case IDM_STOP:
            Stop(window);
            break;
        case IDM_ABOUT:
            MessageBoxA(window, ABOUT_TEXT, "About", MB_OK);
            break;
        default:
            break;
    }
}

// Handles every waiting message first; when none waits, shows the next frame if a movie
// plays, or sleeps until a message comes (only a message can start playback again).
int RunMessageLoop() {
    MSG msg = {};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&msg, nullptr, 0, 0) == 0) {
                return static_cast<int>(msg.wParam);
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (g_app.loaded && g_app.active) {
            RenderFrame();
        } else {
            WaitMessage();
        }
    }
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            Shutdown();
            return 0;
        case WM_ACTIVATE:
            OnActivate(wParam);
            return 0;
        case WM_COMMAND:
            OnCommand(window, wParam);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showCommand*/) {
    BuildColorTable();
    g_app.instance = instance;
    RegisterWindowClass();
    g_app.mainWindow = CreateMainWindow();
    if (g_app.mainWindow == nullptr) {
        MessageBoxA(nullptr, "Couldn't create window.", "Error", MB_OK);
        return 0;
    }
    if (FAILED(InitDirectDraw())) {
        Shutdown();  // the window still shows; the Open below then fails and ends the run
    }
    ShowWindow(g_app.mainWindow, SW_SHOWNORMAL);
    UpdateWindow(g_app.mainWindow);
    PostMessageA(g_app.mainWindow, WM_COMMAND, IDM_OPEN, 0);
    return RunMessageLoop();
}
