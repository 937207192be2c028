// The doubles (the DirectDrawEx side and the multimedia stream's) and the fixture.
#include "tests/intro/intro_support.h"

#include <algorithm>

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

namespace intro_test {
namespace {

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
    W().calls.push_back(call);
    const auto fault =
        std::ranges::find_if(W().faults, [&](auto& f) { return call.starts_with(f.first); });
    return fault == W().faults.end() ? S_OK : fault->second;
}

// Hands out a new object, made only when `result` says the call succeeded.
template <typename Out, typename Make>
HRESULT Hand(HRESULT result, Out** out, Make make) {
    *out = SUCCEEDED(result) ? make() : nullptr;
    return result;
}

// Every method a double does not play answers E_NOTIMPL.
#define NOT_PLAYED(method, ...)            \
    HRESULT method(__VA_ARGS__) override { \
        return E_NOTIMPL;                  \
    }

// IDirectDraw and IDirectDraw3 differ only in SetDisplayMode: one base serves both.
struct DirectDrawBase : IDirectDraw, IDirectDraw3 {
    NOT_PLAYED(Compact)
    NOT_PLAYED(CreatePalette, DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*)
    NOT_PLAYED(DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*)
    NOT_PLAYED(EnumDisplayModes, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK)
    NOT_PLAYED(EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
    NOT_PLAYED(FlipToGDISurface)
    NOT_PLAYED(GetCaps, LPDDCAPS, LPDDCAPS)
    NOT_PLAYED(GetDisplayMode, LPDDSURFACEDESC)
    NOT_PLAYED(GetFourCCCodes, LPDWORD, LPDWORD)
    NOT_PLAYED(GetGDISurface, LPDIRECTDRAWSURFACE*)
    NOT_PLAYED(GetMonitorFrequency, LPDWORD)
    NOT_PLAYED(GetScanLine, LPDWORD)
    NOT_PLAYED(GetVerticalBlankStatus, WINBOOL*)
    NOT_PLAYED(Initialize, GUID*)
    NOT_PLAYED(RestoreDisplayMode)
    NOT_PLAYED(SetCooperativeLevel, HWND, DWORD)
    NOT_PLAYED(SetDisplayMode, DWORD, DWORD, DWORD, DWORD, DWORD)
    NOT_PLAYED(WaitForVerticalBlank, DWORD, HANDLE)
    NOT_PLAYED(GetAvailableVidMem, LPDDSCAPS, LPDWORD, LPDWORD)
    NOT_PLAYED(GetSurfaceFromDC, HDC, LPDIRECTDRAWSURFACE*)
};

// A double: a name, a count among the runtime's live objects, one interface; "<name>.Release".
template <typename Base, const IID& kInterface>
class Double : public Base {
  public:
    explicit Double(std::string name) : name_(std::move(name)) {
        vrel::com::LiveObjects::Created();
    }
    virtual ~Double() { vrel::com::LiveObjects::Destroyed(); }
    HRESULT QueryInterface(REFIID iid, void** out) override {
        const HRESULT result = iid == kInterface ? Call(name_ + ".QueryInterface") : E_NOINTERFACE;
        *out = SUCCEEDED(result) ? (AddRef(), static_cast<Base*>(this)) : nullptr;
        return result;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ == 0) {
            Call(name_ + ".Release");
            delete this;
            return 0;
        }
        return refs_;
    }

  protected:
    const std::string name_;
    ULONG refs_ = 1;
};

class Surface final : public Double<vrel::test::SurfaceDoubleBase, IID_IDirectDrawSurface> {
  public:
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
        W().ink.push_back(
            std::ranges::max_element(counts, {}, [](auto& c) { return c.second; })->first);
        return DD_OK;
    }
    HRESULT Blt(LPRECT to, LPDIRECTDRAWSURFACE, LPRECT from, DWORD, LPDDBLTFX) override {
        return Call(name_ + ".Blt(" + Text(*to) + "<-" + Text(*from) + ")");
    }

  private:
    const int width_, height_;
    std::vector<uint32_t> pixels_;
};

class Clipper final : public Double<IDirectDrawClipper, IID_IDirectDrawClipper> {
  public:
    Clipper() : Double("clipper") {}
    HRESULT SetHWnd(DWORD, HWND window) override {
        return Call(window == g_app.mainWindow ? "clipper.SetHWnd(main)" : "clipper.SetHWnd");
    }
    NOT_PLAYED(GetClipList, LPRECT, LPRGNDATA, LPDWORD)
    NOT_PLAYED(GetHWnd, HWND*)
    NOT_PLAYED(Initialize, LPDIRECTDRAW, DWORD)
    NOT_PLAYED(IsClipListChanged, WINBOOL*)
    NOT_PLAYED(SetClipList, LPRGNDATA, DWORD)
};

class DirectDraw final : public Double<DirectDrawBase, IID_IDirectDraw> {
  public:
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

class Factory final : public Double<IDirectDrawFactory, IID_IDirectDrawFactory> {
  public:
    Factory() : Double("factory") {}
    HRESULT CreateDirectDraw(GUID*, HWND, DWORD, DWORD, IUnknown*,
                             IDirectDraw** directDraw) override {
        return Hand(Call("factory.CreateDirectDraw"), directDraw,
                    [] { return new DirectDraw("dd"); });
    }
    NOT_PLAYED(DirectDrawEnumerate, LPDDENUMCALLBACKA, LPVOID)
};

class Sample final : public Double<IDirectDrawStreamSample, IID_IDirectDrawStreamSample> {
  public:
    Sample() : Double("sample") {}
    HRESULT Update(DWORD, HANDLE, PAPCFUNC, DWORD) override {
        if (const HRESULT result = Call("sample.Update"); result != S_OK || !W().running) {
            return result != S_OK ? result : MS_E_NOTRUNNING;
        }
        return W().frame < kMovieFrames ? (++W().frame, S_OK) : MS_S_ENDOFSTREAM;
    }
    NOT_PLAYED(GetMediaStream, IMediaStream**)
    NOT_PLAYED(GetSampleTimes, STREAM_TIME*, STREAM_TIME*, STREAM_TIME*)
    NOT_PLAYED(SetSampleTimes, const STREAM_TIME*, const STREAM_TIME*)
    NOT_PLAYED(CompletionStatus, DWORD, DWORD)
    NOT_PLAYED(GetSurface, IDirectDrawSurface**, RECT*)
    NOT_PLAYED(SetRect, const RECT*)
};

class MediaStream final : public Double<IDirectDrawMediaStream, IID_IDirectDrawMediaStream> {
  public:
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
    NOT_PLAYED(GetMultiMediaStream, IMultiMediaStream**)
    NOT_PLAYED(GetInformation, MSPID*, STREAM_TYPE*)
    NOT_PLAYED(SetSameFormat, IMediaStream*, DWORD)
    NOT_PLAYED(AllocateSample, DWORD, IStreamSample**)
    NOT_PLAYED(CreateSharedSample, IStreamSample*, DWORD, IStreamSample**)
    NOT_PLAYED(SendEndOfStream, DWORD)
    NOT_PLAYED(SetFormat, const DDSURFACEDESC*, IDirectDrawPalette*)
    NOT_PLAYED(GetDirectDraw, IDirectDraw**)
    NOT_PLAYED(SetDirectDraw, IDirectDraw*)
    NOT_PLAYED(GetTimePerFrame, STREAM_TIME*)
};

class Stream final : public Double<IAMMultiMediaStream, IID_IAMMultiMediaStream> {
  public:
    Stream() : Double("stream") {
        ++W().streams;
        W().frame = 0;
        W().streamAlive = true;
    }
    ~Stream() override { W().streamAlive = W().running = false; }

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
        W().running = SUCCEEDED(result) ? run : W().running;
        return result;
    }
    HRESULT GetTime(STREAM_TIME* time) override {
        *time = W().frame * kFrameTime;
        return Call("stream.GetTime");
    }
    HRESULT Seek(STREAM_TIME time) override {
        W().frame = static_cast<int>(time / kFrameTime);
        return Call("stream.Seek");
    }
    NOT_PLAYED(GetInformation, DWORD*, STREAM_TYPE*)
    NOT_PLAYED(EnumMediaStreams, LONG, IMediaStream**)
    NOT_PLAYED(GetState, STREAM_STATE*)
    NOT_PLAYED(GetDuration, STREAM_TIME*)
    NOT_PLAYED(GetEndOfStreamEventHandle, HANDLE*)
    NOT_PLAYED(GetFilterGraph, IGraphBuilder**)
    NOT_PLAYED(GetFilter, IMediaStreamFilter**)
    NOT_PLAYED(OpenMoniker, IBindCtx*, IMoniker*, DWORD)
    NOT_PLAYED(Render, DWORD)
};

// The class object CoCreateInstance finds: every instance is a new `Made`.
template <typename Made>
class ClassObject final : public Double<IClassFactory, IID_IClassFactory> {
  public:
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

}  // namespace

World& W() {
    static World world;
    return world;
}

void IntroTest::SetUp() {
    vrel::user::testing::ResetWindowing();
    g_app = AppState{};
    W() = World{};
    liveObjects_ = vrel::com::LiveObjects::Count();
    gdiHandles_ = vrel::gdi::testing::LiveHandles();
    const auto add = [](REFCLSID id, IClassFactory* classObject, DWORD* cookie) {
        CoRegisterClassObject(id, classObject, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, cookie);
        classObject->Release();  // the registry holds its own
    };
    add(CLSID_DirectDrawFactory, new ClassObject<Factory>("ddclass"), &g_cookies[0]);
    add(CLSID_AMMultiMediaStream, new ClassObject<Stream>("streamclass"), &g_cookies[1]);
    vrel::user::testing::SetMessageBoxHook([this](const vrel::user::testing::MessageBoxInfo& box) {
        const bool orphan = W().streamAlive && g_app.mmStream == nullptr;
        W().boxes.push_back(box.caption + ": " + box.text + (orphan ? " (a stream lives)" : ""));
        return (box.type & MB_TYPEMASK) == MB_YESNO ? exitAnswer : IDOK;
    });
}

void IntroTest::TearDown() {
    Shutdown();  // whatever the test left held (the end of the movie keeps everything)
    vrel::user::testing::ResetWindowing();
    while (vrel::com::InitCountOnThisThread() > 0) {
        CoUninitialize();
    }
    for (DWORD& cookie : g_cookies) {
        CoRevokeClassObject(std::exchange(cookie, 0));
    }
    EXPECT_EQ(vrel::com::LiveObjects::Count(), liveObjects_) << "COM objects left alive";
    EXPECT_EQ(vrel::gdi::testing::LiveHandles(), gdiHandles_) << "GDI objects left alive";
}

void IntroTest::StartDisplay() {
    BuildColorTable();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = "intro";
    RegisterClassA(&windowClass);
    g_app.mainWindow = CreateWindowExA(WS_EX_TOPMOST, "intro", "intro", WS_POPUP | WS_VISIBLE, 100,
                                       50, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(InitDirectDraw(), S_OK);
}

void IntroTest::Apply(WPARAM step) {
    static const std::map<WPARAM, std::pair<std::string, HRESULT>> faults = {
        {NO_RUN, {"stream.SetState(RUN)", E_FAIL}}, {IDLE, {"sample.Update", MS_E_NOTRUNNING}},
        {END, {"sample.Update", MS_S_ENDOFSTREAM}}, {BROKEN, {"sample.Update", E_FAIL}},
        {NO_DC, {"offscreen.GetDC", S_FALSE}},      {LOST, {"primary.Blt", DDERR_SURFACELOST}}};
    exitAnswer = step == EXIT_YES ? IDYES : IDNO;
    if (const auto fault = faults.find(step); fault != faults.end()) {
        W().faults[fault->second.first] = fault->second.second;
    } else if (step == F) {
        RenderFrame();
    } else if (step == INACTIVE || step == ACTIVE) {
        SendMessageA(g_app.mainWindow, WM_ACTIVATE, step == ACTIVE ? WA_ACTIVE : WA_INACTIVE, 0);
    } else {
        const UINT message = step == DESTROY ? WM_DESTROY : WM_COMMAND;
        SendMessageA(g_app.mainWindow, message, step == EXIT_YES ? IDM_EXIT : step, 0);
    }
}

void IntroTest::Check(const std::vector<Row>& rows) {
    for (const auto& [before, step, outcome] : rows) {
        SCOPED_TRACE(testing::PrintToString(before) + " then " + std::to_string(step));
        TearDown();
        SetUp();
        StartDisplay();
        for (WPARAM earlier : before) {
            Apply(earlier);
        }
        Mark();
        Apply(step);
        EXPECT_EQ(Describe(), outcome);
    }
}

std::string IntroTest::Describe() {
    const std::string flags = std::string(g_app.active ? " active" : "") +
                              (g_app.paused ? " paused" : "") + (g_app.loaded ? " loaded" : "");
    std::string more;
    if (g_app.mmStream != nullptr) {
        more += " | stream " + std::to_string(W().streams) +
                (W().running ? " runs at " : " stopped at ") + std::to_string(W().frame);
    }
    if (const auto blits = std::ranges::count_if(
            W().calls, [](auto& call) { return call.starts_with("primary.Blt"); })) {
        more += " | shown " + std::to_string(blits);
    }
    for (const std::string& box : W().boxes) {
        more += " | " + box;
    }
    if (vrel::user::WindowManager::Get().Queue().TakeQuit(false).has_value()) {
        more += " | quit";
    }
    return flags.empty() ? more.substr(std::min<size_t>(3, more.size())) : flags.substr(1) + more;
}

}  // namespace intro_test
