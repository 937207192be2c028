// The intro's own code (app/, display/, media/, present/, res/) on doubles of DirectDraw and the
// stream: a clean desktop and AppState per test, boxes answered in-process, no COM or GDI leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/main.h"
#include "app/shutdown.h"
#include "common/surface_double_base.h"
#include "display/display_setup.h"
#include "present/color_table.h"
#include "present/frame_step.h"
#include "runtime/com/com_runtime.h"
#include "runtime/com/unknown.h"
#include "runtime/gdi/font_cache.h"
#include "runtime/gdi/gdi_runtime.h"
#include "runtime/user/testing.h"
#include "runtime/user/window_manager.h"

namespace {

// What the doubles saw and the failures they are told to give; fresh for every test.
struct World {
    std::map<std::string, HRESULT> faults;  // how a logged call starts -> its result
    std::vector<std::string> calls;  // e.g. "dd.SetDisplayMode(640,480,32)", "stream.Release"
    std::vector<std::string> boxes;  // "<caption>: <text>"
    int streams = 0;                 // streams made so far: the number of the current one
    int frame = 0;                   // the next frame the current stream delivers
    bool running = false, streamAlive = false;
    std::vector<uint32_t> ink;  // per frame drawn: the text's colour (0x00RRGGBB)
} world;

// ---- The doubles ----

constexpr uint32_t kMovie = 0x00102030;     // the colour of every movie frame
constexpr int kMovieFrames = 200;           // 320 x 240 each, enough for the colours to come round
constexpr STREAM_TIME kFrameTime = 400000;  // 25 frames a second, in 100 ns units
// Not the mode asked for, so the offscreen surface shows where its size and format come from.
constexpr DWORD kScreenWidth = 800, kScreenHeight = 600, kScreenBits = 16;

std::string Text(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// Logs the call and answers the fault set for what it starts with, else S_OK.
HRESULT Call(const std::string& call) {
    world.calls.push_back(call);
    const auto fault =
        std::ranges::find_if(world.faults, [&](auto& f) { return call.starts_with(f.first); });
    return fault == world.faults.end() ? S_OK : fault->second;
}

// Hands out a new object, made only when `result` says the call succeeded.
template <typename Out, typename Make>
HRESULT Hand(HRESULT result, Out** out, Make make) {
    *out = SUCCEEDED(result) ? make() : nullptr;
    return result;
}

// NOT_PLAYED((Method, parameter types...), ...): what a double does not play answers E_NOTIMPL.
// One method a step; the AGAIN levels rescan the list enough times for 41 methods.
#define NOT_PLAYED(...) AGAIN_(EACH_NOT_PLAYED(__VA_ARGS__))
#define EACH_NOT_PLAYED(method, ...) ONE_NOT_PLAYED method __VA_OPT__(NEXT_ PARENS_(__VA_ARGS__))
#define ONE_NOT_PLAYED(method, ...)        \
    HRESULT method(__VA_ARGS__) override { \
        return E_NOTIMPL;                  \
    }
#define NEXT_() EACH_NOT_PLAYED
#define PARENS_ ()
#define AGAIN_(...) AGAIN3_(AGAIN3_(AGAIN3_(__VA_ARGS__)))
#define AGAIN3_(...) AGAIN2_(AGAIN2_(AGAIN2_(__VA_ARGS__)))
#define AGAIN2_(...) AGAIN1_(AGAIN1_(AGAIN1_(__VA_ARGS__)))
#define AGAIN1_(...) __VA_ARGS__

// IDirectDraw and IDirectDraw3 differ only in SetDisplayMode: one base serves both.
struct DirectDrawBase : IDirectDraw, IDirectDraw3 {
    NOT_PLAYED((Compact), (CreatePalette, DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*),
               (DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*),
               (EnumDisplayModes, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK),
               (EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK),
               (FlipToGDISurface), (GetCaps, LPDDCAPS, LPDDCAPS), (GetDisplayMode, LPDDSURFACEDESC),
               (GetFourCCCodes, LPDWORD, LPDWORD), (GetGDISurface, LPDIRECTDRAWSURFACE*),
               (GetMonitorFrequency, LPDWORD), (GetScanLine, LPDWORD),
               (GetVerticalBlankStatus, WINBOOL*), (Initialize, GUID*), (RestoreDisplayMode),
               (SetCooperativeLevel, HWND, DWORD),
               (SetDisplayMode, DWORD, DWORD, DWORD, DWORD, DWORD),
               (WaitForVerticalBlank, DWORD, HANDLE),
               (GetAvailableVidMem, LPDDSCAPS, LPDWORD, LPDWORD),
               (GetSurfaceFromDC, HDC, LPDIRECTDRAWSURFACE*))
};

// A double: a name, a count among the runtime's live objects, one interface; "<name>.Release".
template <typename Base, const IID& kInterface>
struct Double : Base {
    Double(std::string name) : name_(std::move(name)) { vrel::com::LiveObjects::Created(); }
    virtual ~Double() { vrel::com::LiveObjects::Destroyed(); }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        const HRESULT result = iid == kInterface ? Call(name_ + ".QueryInterface") : E_NOINTERFACE;
        *out = SUCCEEDED(result) ? (AddRef(), static_cast<Base*>(this)) : nullptr;
        return result;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ > 0) {
            return refs_;
        }
        Call(name_ + ".Release");
        delete this;
        return 0;
    }

    const std::string name_;
    ULONG refs_ = 1;
};

struct Surface final : Double<vrel::test::SurfaceDoubleBase, IID_IDirectDrawSurface> {
    Surface(std::string name, int width, int height)
        : Double(std::move(name)), width_(width), height_(height), pixels_(width * height) {}

    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        desc->dwWidth = width_;
        desc->dwHeight = height_;
        desc->ddpfPixelFormat.dwRGBBitCount = kScreenBits;
        return Call(name_ + ".GetSurfaceDesc");
    }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER) override { return Call(name_ + ".SetClipper"); }
    // A context over the pixels, the movie's frame already there.
    HRESULT GetDC(HDC* dc) override {
        if (const HRESULT result = Call(name_ + ".GetDC"); result != DD_OK) {
            return result;
        }
        std::ranges::fill(pixels_, kMovie);
        const vrel::PixelBuffer pixels = {pixels_.data(), width_, height_, width_};
        *dc = vrel::gdi::CreateDeviceContext(pixels, POINT{0, 0}, pixels.Bounds());
        return DD_OK;
    }
    // The text's colour: the commonest drawn over the movie near the top (a painted background
    // would outnumber the glyphs); the movie's own if nothing is.
    HRESULT ReleaseDC(HDC dc) override {
        vrel::gdi::DeleteDeviceContext(dc);
        std::map<uint32_t, int> counts;
        for (int i = 0; i < width_ * 64; ++i) {
            counts[pixels_[i]] += pixels_[i] != kMovie;
        }
        world.ink.push_back(
            std::ranges::max_element(counts, {}, [](auto& c) { return c.second; })->first);
        return DD_OK;
    }
    HRESULT Blt(LPRECT to, LPDIRECTDRAWSURFACE, LPRECT from, DWORD, LPDDBLTFX) override {
        return Call(name_ + ".Blt(" + Text(*to) + "<-" + Text(*from) + ")");
    }

    const int width_, height_;
    std::vector<uint32_t> pixels_;
};

struct Clipper final : Double<IDirectDrawClipper, IID_IDirectDrawClipper> {
    Clipper() : Double("clipper") {}
    HRESULT SetHWnd(DWORD, HWND window) override {
        return Call(window == g_app.mainWindow ? "clipper.SetHWnd(main)" : "clipper.SetHWnd");
    }
    NOT_PLAYED((GetClipList, LPRECT, LPRGNDATA, LPDWORD), (GetHWnd, HWND*),
               (Initialize, LPDIRECTDRAW, DWORD), (IsClipListChanged, WINBOOL*),
               (SetClipList, LPRGNDATA, DWORD))
};

struct DirectDraw final : Double<DirectDrawBase, IID_IDirectDraw> {
    using DirectDrawBase::SetDisplayMode;
    using Double::Double;
    // IDirectDraw3 is an object of its own, so that its release shows apart from this one's.
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return Hand(iid == IID_IDirectDraw3 ? Call(name_ + ".QueryInterface") : E_NOINTERFACE, out,
                    [] { return static_cast<IDirectDraw3*>(new DirectDraw("dd3")); });
    }
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) override {
        return Call(name_ + ".SetDisplayMode(" + std::to_string(width) + "," +
                    std::to_string(height) + "," + std::to_string(bits) + ")");
    }
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown*) override {
        const bool primary = (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
        const std::string made = primary ? "primary"
                                         : "offscreen," + std::to_string(desc->dwWidth) + "x" +
                                               std::to_string(desc->dwHeight) + "x" +
                                               std::to_string(desc->ddpfPixelFormat.dwRGBBitCount);
        return Hand(Call(name_ + ".CreateSurface(" + made + ")"), surface, [&] {
            return primary ? new Surface("primary", kScreenWidth, kScreenHeight)
                           : new Surface("offscreen", desc->dwWidth, desc->dwHeight);
        });
    }
    HRESULT CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* clipper, IUnknown*) override {
        return Hand(Call(name_ + ".CreateClipper"), clipper, [] { return new Clipper(); });
    }
};

struct Factory final : Double<IDirectDrawFactory, IID_IDirectDrawFactory> {
    Factory() : Double("factory") {}
    HRESULT CreateDirectDraw(GUID*, HWND, DWORD, DWORD, IUnknown*,
                             IDirectDraw** directDraw) override {
        return Hand(Call("factory.CreateDirectDraw"), directDraw,
                    [] { return new DirectDraw("dd"); });
    }
    NOT_PLAYED((DirectDrawEnumerate, LPDDENUMCALLBACKA, LPVOID))
};

struct Sample final : Double<IDirectDrawStreamSample, IID_IDirectDrawStreamSample> {
    Sample() : Double("sample") {}
    HRESULT Update(DWORD, HANDLE, PAPCFUNC, DWORD) override {
        if (const HRESULT result = Call("sample.Update"); result != S_OK || !world.running) {
            return result != S_OK ? result : MS_E_NOTRUNNING;
        }
        return world.frame < kMovieFrames ? (++world.frame, S_OK) : MS_S_ENDOFSTREAM;
    }
    NOT_PLAYED((GetMediaStream, IMediaStream**),
               (GetSampleTimes, STREAM_TIME*, STREAM_TIME*, STREAM_TIME*),
               (SetSampleTimes, const STREAM_TIME*, const STREAM_TIME*),
               (CompletionStatus, DWORD, DWORD), (GetSurface, IDirectDrawSurface**, RECT*),
               (SetRect, const RECT*))
};

struct MediaStream final : Double<IDirectDrawMediaStream, IID_IDirectDrawMediaStream> {
    MediaStream() : Double("video") {}
    HRESULT GetFormat(DDSURFACEDESC* format, IDirectDrawPalette**, DDSURFACEDESC*,
                      DWORD*) override {
        format->dwWidth = 320;
        format->dwHeight = 240;
        return Call("video.GetFormat");
    }
    HRESULT CreateSample(IDirectDrawSurface* surface, const RECT* rect, DWORD,
                         IDirectDrawStreamSample** sample) override {
        const std::string on = surface == g_app.offscreenSurface ? "offscreen," : "another,";
        return Hand(Call("video.CreateSample(" + on + Text(*rect) + ")"), sample,
                    [] { return new Sample(); });
    }
    NOT_PLAYED((GetMultiMediaStream, IMultiMediaStream**), (GetInformation, MSPID*, STREAM_TYPE*),
               (SetSameFormat, IMediaStream*, DWORD), (AllocateSample, DWORD, IStreamSample**),
               (CreateSharedSample, IStreamSample*, DWORD, IStreamSample**),
               (SendEndOfStream, DWORD), (SetFormat, const DDSURFACEDESC*, IDirectDrawPalette*),
               (GetDirectDraw, IDirectDraw**), (SetDirectDraw, IDirectDraw*),
               (GetTimePerFrame, STREAM_TIME*))
};

struct Stream final : Double<IAMMultiMediaStream, IID_IAMMultiMediaStream> {
    Stream() : Double("stream") { ++world.streams, world.frame = 0, world.streamAlive = true; }
    ~Stream() override { world.streamAlive = world.running = false; }

    HRESULT Initialize(STREAM_TYPE, DWORD, IGraphBuilder*) override {
        return Call("stream.Initialize");
    }
    HRESULT AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags,
                           IMediaStream**) override {
        const std::string kind = *purpose == MSPID_PrimaryVideo ? "video," : "audio,";
        const char* on = object == g_app.directDraw3 ? "dd3," : object ? "another," : "null,";
        return Call("stream.AddMediaStream(" + kind + on + std::to_string(flags) + ")");
    }
    HRESULT OpenFile(LPCWSTR name, DWORD) override {
        const std::string narrow(name, name + std::char_traits<WCHAR>::length(name));
        return Call("stream.OpenFile(" + narrow + ")");
    }
    HRESULT GetMediaStream(REFMSPID, IMediaStream** stream) override {
        return Hand(Call("stream.GetMediaStream"), stream, [] { return new MediaStream(); });
    }
    HRESULT SetState(STREAM_STATE state) override {
        const bool run = state == STREAMSTATE_RUN;
        const HRESULT result = Call(run ? "stream.SetState(RUN)" : "stream.SetState(STOP)");
        world.running = SUCCEEDED(result) ? run : world.running;
        return result;
    }
    HRESULT GetTime(STREAM_TIME* time) override {
        *time = world.frame * kFrameTime;
        return Call("stream.GetTime");
    }
    HRESULT Seek(STREAM_TIME time) override {
        world.frame = static_cast<int>(time / kFrameTime);
        return Call("stream.Seek");
    }
    NOT_PLAYED((GetInformation, DWORD*, STREAM_TYPE*), (EnumMediaStreams, LONG, IMediaStream**),
               (GetState, STREAM_STATE*), (GetDuration, STREAM_TIME*),
               (GetEndOfStreamEventHandle, HANDLE*), (GetFilterGraph, IGraphBuilder**),
               (GetFilter, IMediaStreamFilter**), (OpenMoniker, IBindCtx*, IMoniker*, DWORD),
               (Render, DWORD))
};

// The class object CoCreateInstance finds: every instance is a new `Made`.
template <typename Made>
struct ClassObject final : Double<IClassFactory, IID_IClassFactory> {
    using Double::Double;
    HRESULT CreateInstance(IUnknown*, REFIID iid, void** out) override {
        HRESULT result = Call(name_ + ".CreateInstance");
        if (SUCCEEDED(result)) {
            Made* made = new Made();
            result = made->QueryInterface(iid, out);
            made->Release();
        }
        return result;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

DWORD g_cookies[2] = {};

// Steps beside the menu's commands: a frame, (de)activation, Exit confirmed, the window destroyed;
// faults for what follows: no run, a stopped, ended or broken sample, no context, a lost blit.
constexpr WPARAM F = 1, INACTIVE = 2, ACTIVE = 3, EXIT_YES = 4, DESTROY = 5, NO_RUN = 6, IDLE = 7,
                 END = 8, BROKEN = 9, NO_DC = 10, LOST = 11;

// The steps that bring the intro there, the step, and Describe() after it.
using Row = std::tuple<std::vector<WPARAM>, WPARAM, std::string>;

class IntroTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vrel::user::testing::ResetWindowing();
        g_app = AppState{};
        world = World{};
        liveObjects_ = vrel::com::LiveObjects::Count();
        gdiHandles_ = vrel::gdi::testing::LiveHandles();
        const auto add = [](REFCLSID id, IClassFactory* made, DWORD* cookie) {
            CoRegisterClassObject(id, made, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, cookie);
            made->Release();  // the registry holds its own
        };
        add(CLSID_DirectDrawFactory, new ClassObject<Factory>("ddclass"), &g_cookies[0]);
        add(CLSID_AMMultiMediaStream, new ClassObject<Stream>("streamclass"), &g_cookies[1]);
        vrel::user::testing::SetMessageBoxHook([this](auto& box) {
            // A stream the intro failed to open must not outlive it into the box's modal loop.
            const bool lives = world.streamAlive && g_app.mmStream == nullptr;
            world.boxes.push_back(box.caption + ": " + box.text + (lives ? " (stream lives)" : ""));
            return (box.type & MB_TYPEMASK) == MB_YESNO ? exitAnswer : IDOK;
        });
    }
    void TearDown() override {
        Shutdown();  // whatever the test left held (the end of the movie keeps everything)
        vrel::user::testing::ResetWindowing();
        while (vrel::com::InitCountOnThisThread() > 0) {
            CoUninitialize();
        }
        CoRevokeClassObject(g_cookies[0]);
        CoRevokeClassObject(g_cookies[1]);
        EXPECT_EQ(vrel::com::LiveObjects::Count(), liveObjects_) << "COM objects left alive";
        EXPECT_EQ(vrel::gdi::testing::LiveHandles(), gdiHandles_) << "GDI objects left alive";
    }
    // The intro's window at (100, 50) as g_app.mainWindow; display setup.
    static void StartDisplay() {
        BuildColorTable();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.lpszClassName = "intro";
        RegisterClassA(&windowClass);
        g_app.mainWindow = CreateWindowExA(WS_EX_TOPMOST, "intro", "intro", WS_POPUP | WS_VISIBLE,
                                           100, 50, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(InitDirectDraw(), S_OK);
    }
    void Apply(WPARAM step) {
        static const std::map<WPARAM, std::pair<std::string, HRESULT>> faults = {
            {NO_RUN, {"stream.SetState(RUN)", E_FAIL}}, {IDLE, {"sample.Update", MS_E_NOTRUNNING}},
            {END, {"sample.Update", MS_S_ENDOFSTREAM}}, {BROKEN, {"sample.Update", E_FAIL}},
            {NO_DC, {"offscreen.GetDC", S_FALSE}},      {LOST, {"primary.Blt", DDERR_SURFACELOST}}};
        exitAnswer = step == EXIT_YES ? IDYES : IDNO;
        if (const auto fault = faults.find(step); fault != faults.end()) {
            world.faults[fault->second.first] = fault->second.second;
        } else if (step == F) {
            RenderFrame();
        } else if (step == INACTIVE || step == ACTIVE) {
            SendMessageA(g_app.mainWindow, WM_ACTIVATE, step == ACTIVE ? WA_ACTIVE : WA_INACTIVE,
                         0);
        } else {
            const UINT message = step == DESTROY ? WM_DESTROY : WM_COMMAND;
            SendMessageA(g_app.mainWindow, message, step == EXIT_YES ? IDM_EXIT : step, 0);
        }
    }
    // Each row on a fresh display.
    void Check(const std::vector<Row>& rows) {
        for (const auto& [before, step, outcome] : rows) {
            SCOPED_TRACE(testing::PrintToString(before) + " then " + std::to_string(step));
            TearDown();
            SetUp();
            StartDisplay();
            std::ranges::for_each(before, [this](WPARAM earlier) { Apply(earlier); });
            Mark();
            Apply(step);
            EXPECT_EQ(Describe(), outcome);
        }
    }
    static void Mark() { world.calls.clear(), world.boxes.clear(); }
    // The intro's state in a line: "active paused loaded | stream <n> runs|stopped at <frame>
    // | shown <blits> | <boxes> | quit", leaving out what is not so; calls and boxes since Mark.
    static std::string Describe() {
        std::string text = std::string(g_app.active ? " active" : "") +
                           (g_app.paused ? " paused" : "") + (g_app.loaded ? " loaded" : "");
        if (g_app.mmStream != nullptr) {
            text += " | stream " + std::to_string(world.streams) +
                    (world.running ? " runs at " : " stopped at ") + std::to_string(world.frame);
        }
        if (const auto blits = std::ranges::count_if(
                world.calls, [](auto& call) { return call.starts_with("primary.Blt"); })) {
            text += " | shown " + std::to_string(blits);
        }
        for (const std::string& box : world.boxes) {
            text += " | " + box;
        }
        if (vrel::user::WindowManager::Get().Queue().TakeQuit(false).has_value()) {
            text += " | quit";
        }
        return text.substr(text.starts_with(" | ") ? 3 : std::min<size_t>(1, text.size()));
    }

    int exitAnswer = IDNO;  // what the Quit box is answered with
    long liveObjects_ = 0;
    size_t gdiHandles_ = 0;
};

// ---- The commands, the menu that names them, and teardown ----

using Commands = IntroTest;

// Each row: how the intro got there, the command, and what it is like afterwards. Playing
// is three frames into the movie; Pause keeps the position for Start.
TEST_F(Commands, EachCommandInEachState) {
    const std::vector<WPARAM> nothing, playing = {IDM_OPEN, F, F, F},
                                       paused = {IDM_OPEN, F, F, F, IDM_PAUSE};
    Check({
        {nothing, IDM_START, "Error: Please select a movie file first."},
        {nothing, IDM_PAUSE, ""},
        {nothing, IDM_STOP, ""},
        {nothing, ACTIVE, ""},  // activation means playing only once a movie is loaded
        {playing, IDM_OPEN, "active loaded | stream 2 runs at 0"},
        {playing, IDM_START, "active loaded | stream 1 runs at 3"},
        {playing, IDM_PAUSE, "paused loaded | stream 1 stopped at 3"},
        {playing, IDM_STOP, "loaded | stream 1 stopped at 1 | shown 1"},  // the first frame
        {playing, IDM_EXIT, "active loaded | stream 1 runs at 3 | Quit: Quit the Program?"},
        {playing, EXIT_YES, "active loaded | Quit: Quit the Program? | quit"},
        {playing, IDM_ABOUT,
         "active loaded | stream 1 runs at 3 | About: This application uses multimedia streaming "
         "to render a video file to a DirectDraw surface created through DirectDrawEx."},
        {playing, INACTIVE, "loaded | stream 1 runs at 3"},
        {playing, IDM_OPEN | 0x10000, "active loaded | stream 1 runs at 3"},  // not a command
        {paused, IDM_START, "active loaded | stream 1 runs at 3"},
        {paused, IDM_OPEN, "active loaded | stream 2 runs at 0"},
        {paused, ACTIVE, "active paused loaded | stream 1 stopped at 3"},
        {{IDM_OPEN, F, F, F, IDM_STOP}, IDM_START, "active loaded | stream 2 runs at 0"},
        {{IDM_OPEN, F, F, F, INACTIVE}, ACTIVE, "active loaded | stream 1 runs at 3"},
        {{IDM_OPEN, F, F, F, IDM_PAUSE, IDM_STOP}, IDM_START, "active loaded | stream 1 runs at 0"},
        {{NO_RUN}, IDM_OPEN, "active loaded | quit"},  // ends without a word
        {{IDM_OPEN, F, F, F, IDM_STOP, NO_RUN}, IDM_START, "active loaded | quit"},
    });
}

// Teardown gives back every object, the stream's first (released, it stops), DirectDraw's last,
// and the font, and undoes its own COM initialisation; a second gives back nothing.
TEST_F(Commands, DestroyingTheWindowGivesBackEverythingInOrder) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);  // an outer initialisation, which must stay
    StartDisplay();
    Apply(IDM_OPEN);
    Apply(F);  // makes the font, which teardown deletes
    Mark();
    Apply(DESTROY);
    const std::vector<std::string> released = {
        "stream.Release",  "sample.Release",  "video.Release",
        "factory.Release", "primary.Release", "offscreen.Release",
        "clipper.Release", "dd3.Release",     "dd.Release"};
    EXPECT_EQ(world.calls, released);
    Shutdown();
    EXPECT_EQ(world.calls, released) << "the second teardown gave something back";
    EXPECT_EQ(vrel::com::InitCountOnThisThread(), 1) << "the outer initialisation is gone or kept";
}

// Menu 101 names the six commands with their ids, for tools that send them from outside.
TEST(IntroMenu, Menu101NamesTheSixCommandsWithTheirIds) {
    HMENU menu = LoadMenuA(nullptr, MAKEINTRESOURCEA(101));
    HMENU popup = GetSubMenu(menu, 0);
    char text[16] = {};
    std::string items;
    for (int i = 0; GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION) > 0; ++i) {
        items += std::string(" ") + text + "=" + std::to_string(GetMenuItemID(popup, i));
    }
    EXPECT_EQ(items, " About=1005 Exit=1000 Open=1001 Pause=1003 Start=1002 Stop=1004");
    DestroyMenu(menu);
}

// ---- The frame step ----

using FrameStep = IntroTest;

// The text's colour steps once a frame through six ramps of 32 (blue to cyan, green, yellow,
// red, magenta and back, by 8 up to 248), with no background; the movie fills the window.
TEST_F(FrameStep, EachFrameDrawsTheTextInTheNextColourAndStretchesTheMovieOverTheWindow) {
    const std::map<int, uint32_t> colours = {{1, 0x0000F8},   {2, 0x0008F8},   {32, 0x00F8F8},
                                             {33, 0x00F8F8},  {34, 0x00F8F0},  {64, 0x00F800},
                                             {96, 0xF8F800},  {128, 0xF80000}, {160, 0xF800F8},
                                             {192, 0x0000F8}, {194, 0x0008F8}};  // 0xRRGGBB
    StartDisplay();
    Apply(IDM_OPEN);
    for (int frame = 1; frame <= 194; ++frame) {
        RenderFrame();
    }
    for (const auto& [frame, colour] : colours) {
        EXPECT_EQ(world.ink.at(frame - 1), colour) << "frame " << frame;
    }
    EXPECT_EQ(world.calls.back(), "primary.Blt(100,50,740,530<-0,0,320,240)");
}

// A stream found stopped is paused, not over; its end or a broken stream quits, keeping every
// object; a failed context or blit shows its box and tears down; torn down, nothing is touched.
TEST_F(FrameStep, EachOutcomeOfAStep) {
    Check({
        {{IDM_OPEN}, F, "active loaded | stream 1 runs at 1 | shown 1"},
        {{IDM_OPEN, IDLE}, F, "loaded | stream 1 runs at 0"},
        {{IDM_OPEN, END}, F, "loaded | stream 1 stopped at 0 | quit"},
        {{IDM_OPEN, BROKEN}, F, "loaded | stream 1 stopped at 0 | quit"},
        {{IDM_OPEN, NO_DC}, F, "active loaded | Error: getdc failed | quit"},  // S_FALSE
        {{IDM_OPEN, LOST}, F, "active loaded | shown 1 | Error: Blt failed | quit"},
        {{IDM_OPEN, DESTROY}, F, "active loaded | quit"},
    });
}

// ---- Start-up as WinMain runs it: display setup, then the posted Open ----

using StartUp = IntroTest;

// 640 x 480 x 32; the offscreen surface as the primary is once the mode is set; the clipper on the
// window; video to our DirectDraw and sound to the default renderer, then the file; to the end.
TEST_F(StartUp, SetsUpTheDisplayAndPlaysTheMovieWithItsSoundIntoTheOffscreenSurface) {
    EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
    std::string setUp;  // the calls that carry arguments, but for the frames' own
    for (const std::string& call : world.calls) {
        if (call.find('(') != std::string::npos && !call.starts_with("primary.Blt") &&
            !call.starts_with("stream.SetState")) {
            setUp += call + " ";
        }
    }
    EXPECT_EQ(setUp,
              "dd.SetDisplayMode(640,480,32) dd3.CreateSurface(primary) "
              "dd3.CreateSurface(offscreen,800x600x16) clipper.SetHWnd(main) "
              "stream.AddMediaStream(video,dd3,0) stream.AddMediaStream(audio,null,1) "
              "stream.OpenFile(vrelfi.dat) video.CreateSample(offscreen,0,0,320,240) ");
    EXPECT_EQ(Describe(), "loaded | stream 1 stopped at 200 | shown 200");
}

// Each row: what fails, and the box the run ends with; WinMain returns 0 whatever fails. After
// a display failure the intro has torn down, so the posted Open fails too, its box unseen.
TEST_F(StartUp, EachFailingStepShowsItsBoxAndTheRunEnds) {
    const char kBind[] = "Error: Initialization failure in InitRenderToSurface";
    const std::tuple<const char*, HRESULT, const char*> rows[] = {
        {"ddclass.CreateInstance", REGDB_E_CLASSNOTREG, "Error: Couldn't create DirectDrawFactory"},
        {"factory.CreateDirectDraw", DDERR_GENERIC, "Error: Couldn't create DirectDraw object"},
        {"dd.QueryInterface", E_NOINTERFACE, "Error: Couldn't get IDirectDraw3"},
        {"dd.SetDisplayMode", S_FALSE, "Error: Couldn't set display mode"},  // not DD_OK
        {"dd3.CreateSurface(primary", DDERR_INVALIDCAPS, "Error: Couldn't create Primary Surface"},
        {"primary.GetSurfaceDesc", DDERR_GENERIC, "Error: Couldn't GetSurfaceDesc"},
        {"dd3.CreateSurface(offscreen", DDERR_OUTOFMEMORY,
         "Error: Couldn't create Offscreen Surface"},
        {"dd3.CreateClipper", DDERR_GENERIC, "Error: Couldn't create Clipper"},
        {"primary.SetClipper", DDERR_NOCLIPPERATTACHED, "Error: Call to SetClipper failed"},
        {"clipper.SetHWnd", DDERR_INVALIDPARAMS, "Error: Call to SetHWnd failed"},
        {"streamclass.CreateInstance", E_OUTOFMEMORY,
         "Error: Could not create a CLSID_MultiMediaStream object\n"
         "Check you have run regsvr32 amstream.dll\n"},
        {"stream.Initialize", E_FAIL, "Error: Initialize failed."},
        {"stream.AddMediaStream(video", MS_E_PURPOSEID, "Error: AddMediaStream failed."},
        {"stream.AddMediaStream(audio", E_FAIL, "Error: AddMediaStream failed."},
        {"stream.OpenFile", VFW_E_INVALID_FILE_FORMAT, "Error: File format not supported."},
        {"stream.GetMediaStream", MS_E_NOSTREAM, kBind},
        {"video.QueryInterface", E_NOINTERFACE, kBind},
        {"video.GetFormat", MS_E_NOSTREAM, kBind},
        {"video.CreateSample", DDERR_INVALIDRECT, kBind},
    };
    for (const auto& [fault, result, outcome] : rows) {
        SCOPED_TRACE(fault);
        TearDown();
        SetUp();
        world.faults[fault] = result;
        EXPECT_EQ(WinMain(nullptr, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT), 0);
        EXPECT_EQ(Describe(), outcome);
    }
}

}  // namespace
