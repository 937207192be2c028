#include "tests/intro/intro_fixture_support.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/main.h"
#include "app/shutdown.h"
#include "display/display_setup.h"
#include "present/color_table.h"
#include "runtime/com/com_runtime.h"
#include "runtime/com/unknown.h"
#include "runtime/gdi/font_cache.h"
#include "runtime/user/window_manager.h"
#include "tests/intro/double_base_support.h"

namespace intro_test {
namespace {

constexpr const char kIntroName[] = "Vrel Roru Intro by Tarrow/Senmar";
constexpr auto kWatchdogTime = std::chrono::seconds(20);

int g_instanceAnchor;

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

}  // namespace

std::string BoxEntry(const std::string& caption, const std::string& text, UINT type,
                     const std::string& owner) {
    return "box(owner=" + owner + ",type=" + std::to_string(type) + ")[" + caption + "] " +
           OneLine(text);
}

void IntroTest::SetUp() {
    vrel::user::testing::ResetWindowing();
    g_app = AppState{};
    ResetScript();
    CallLog::Clear();
    ASSERT_EQ(vrel::com::InitCountOnThisThread(), 0) << "a test left COM initialised";
    liveObjectsBefore_ = vrel::com::LiveObjects::Count();
    gdiHandlesBefore_ = vrel::gdi::testing::LiveHandles();
    RegisterDoubles();
    vrel::user::testing::SetMessageBoxHook([this](const vrel::user::testing::MessageBoxInfo& box) {
        CallLog::Record(BoxEntry(box.caption, box.text, box.type, WindowName(box.owner)));
        if (onBox) {
            onBox(box);
        }
        if (answerBox) {
            return answerBox(box);
        }
        if (!boxAnswers.empty()) {
            const int answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        }
        return (box.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    });
}

void IntroTest::TearDown() {
    Script().onCall = nullptr;
    onBox = nullptr;
    answerBox = nullptr;
    Shutdown();  // whatever a test left held (the end of the movie keeps everything)
    vrel::user::testing::ResetWindowing();
    while (vrel::com::InitCountOnThisThread() > 0) {
        CoUninitialize();
    }
    UnregisterDoubles();
    g_app = AppState{};
    EXPECT_EQ(vrel::com::LiveObjects::Count(), liveObjectsBefore_) << "COM objects left alive";
    EXPECT_EQ(vrel::gdi::testing::LiveHandles(), gdiHandlesBefore_) << "GDI objects left alive";
}

HWND IntroTest::MakeIntroWindow(int x, int y) {
    BuildColorTable();
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetStockObject(BLACK_BRUSH);
    windowClass.lpszClassName = kIntroName;
    RegisterClassA(&windowClass);
    g_app.mainWindow = CreateWindowExA(WS_EX_TOPMOST, kIntroName, kIntroName, WS_POPUP | WS_VISIBLE,
                                       x, y, 640, 480, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(g_app.mainWindow, nullptr);
    return g_app.mainWindow;
}

void IntroTest::StartDisplay() {
    MakeIntroWindow();
    ASSERT_EQ(InitDirectDraw(), S_OK);
}

void IntroTest::Command(WPARAM command) {
    SendMessageA(g_app.mainWindow, WM_COMMAND, command, 0);
}

void IntroTest::Activate(WORD state) {
    SendMessageA(g_app.mainWindow, WM_ACTIVATE, state, 0);
}

bool IntroTest::QuitPending() {
    return vrel::user::WindowManager::Get().Queue().TakeQuit(false).has_value();
}

int IntroTest::RunWinMain() {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> fired{false};
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, kWatchdogTime, [&] { return done; })) {
            fired = true;
            PostQuitMessage(0);  // ends any loop, boxes' included
        }
    });
    const int result = WinMain(reinterpret_cast<HINSTANCE>(&g_instanceAnchor), nullptr,
                               const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    watchdog.join();
    EXPECT_FALSE(fired) << "WinMain did not return by itself; the watchdog ended it";
    return result;
}

std::vector<std::string> FrameEntries(int generation, int frame, const std::string& screen,
                                      const std::string& movie) {
    const std::string sample = "sample" + std::to_string(generation);
    return {sample + ".Update -> frame " + std::to_string(frame), "offscreen.GetDC",
            "offscreen.ReleaseDC",
            "primary.Blt(" + screen + "<-offscreen:" + movie + ",flags=0x1000000,fx=null)"};
}

std::vector<std::string> DisplaySetupCalls() {
    const std::string size = std::to_string(sizeof(DDSURFACEDESC));
    return {
        "ddclass.CreateInstance(IDirectDrawFactory)",
        "factory.CreateDirectDraw(device=null,desktop,8,0,outer=null)",
        "dd.QueryInterface(IDirectDraw3)",
        "dd.SetDisplayMode(640,480,32)",
        "dd3.CreateSurface(size=" + size + ",flags=0x1,0x0,caps=0x200,outer=null)",
        "primary.GetSurfaceDesc(size=" + size + ")",
        "dd3.CreateSurface(size=" + size + ",flags=0x1007,640x480,caps=0x40,outer=null)",
        "dd3.CreateClipper(0,outer=null)",
        "primary.SetClipper(clipper)",
        "clipper.SetHWnd(0,main)",
    };
}

std::string Stream(int generation, const std::string& call) {
    return "stream" + std::to_string(generation) + "." + call;
}

std::vector<std::string> OpenCalls(int generation) {
    return {"streamclass.CreateInstance(IAMMultiMediaStream)",
            Stream(generation, "Initialize(0,0,null)"),
            Stream(generation, "AddMediaStream(dd3,video,0,null)"),
            Stream(generation, "AddMediaStream(null,audio,1,null)"),
            Stream(generation, "OpenFile(vrelfi.dat,0)")};
}

std::vector<std::string> BindCalls(int generation) {
    const std::string n = std::to_string(generation);
    return {Stream(generation, "GetMediaStream(video)"),
            "video" + n + ".QueryInterface(IDirectDrawMediaStream)",
            "ddStream" + n + ".GetFormat(size=" + std::to_string(sizeof(DDSURFACEDESC)) +
                ",null,null,null)",
            "ddStream" + n + ".CreateSample(offscreen,0,0,320,240,0)"};
}

std::vector<std::string> StreamReleases(int generation) {
    const std::string n = std::to_string(generation);
    return {"stream" + n + ".Release", "sample" + n + ".Release", "ddStream" + n + ".Release",
            "video" + n + ".Release"};
}

std::vector<std::string> DisplayReleases() {
    return {"factory.Release", "primary.Release", "offscreen.Release",
            "clipper.Release", "dd3.Release",     "dd.Release"};
}

void Append(std::vector<std::string>& into, const std::vector<std::string>& more) {
    into.insert(into.end(), more.begin(), more.end());
}

}  // namespace intro_test
