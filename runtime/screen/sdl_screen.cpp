#include "runtime/screen/sdl_screen.h"

#include <cstring>

#include <cstdio>

#include "runtime/common/trace.h"
#include "runtime/kernel/codepage.h"
#include "runtime/screen/sdl_keys.h"
#include "runtime/screen/x_connection_lost.h"

namespace vrel::screen {

namespace {

// Until the program names its window: the executable's own name.
constexpr char kDefaultTitle[] = "vrelintro";

// Hidden until the program shows a window, so the window manager first sees the title and
// state the program asked for.
SDL_Window* CreateHiddenWindow(SdlScreen::Mode mode, Uint32 flags) {
    flags |= SDL_WINDOW_HIDDEN;
    if (mode == SdlScreen::Mode::Window) {
        return SDL_CreateWindow(kDefaultTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                640, 480, flags | SDL_WINDOW_RESIZABLE);
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) != 0) {
        return nullptr;
    }
    return SDL_CreateWindow(kDefaultTitle, bounds.x, bounds.y, bounds.w, bounds.h,
                            flags | SDL_WINDOW_BORDERLESS);
}

bool IsXrgb(const SDL_Surface* s) {
    return s->format->BytesPerPixel == 4 && s->format->Rmask == 0x00FF0000 &&
           s->format->Gmask == 0x0000FF00 && s->format->Bmask == 0x000000FF;
}

bool NoDisplay(const char* driver) {
    return driver == nullptr || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "offscreen") == 0;
}

}  // namespace

std::unique_ptr<SdlScreen> SdlScreen::Open(Mode mode, std::string* error) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (mode == Mode::Fullscreen) {
        // A full-screen window has no decorations to draw: libdecor would only complain on
        // standard error when it finds no plugin.
        SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = SDL_GetError();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (NoDisplay(driver)) {
        *error = std::string("video driver '") + (driver ? driver : "?") + "' has no display";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    // On X11 the window surface must be a plain image: SDL would otherwise back it with an
    // OpenGL renderer, which costs about twice the CPU under a software GL. Wayland has no
    // plain image to give, so there the texture is the only way to the screen.
    if (std::strcmp(driver, "x11") == 0) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        EndRunWhenXConnectionIsLost();
    }
    const RenderChoice render = RenderChoiceFromEnvironment();
    SDL_Window* window =
        CreateHiddenWindow(mode, MayUseGpu(render) ? Uint32{SDL_WINDOW_OPENGL} : Uint32{0});
    Uint32 wake = SDL_RegisterEvents(1);
    if (window == nullptr || wake == static_cast<Uint32>(-1)) {
        *error = SDL_GetError();
        if (window != nullptr) {
            SDL_DestroyWindow(window);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    // Where a window manager or compositor runs, full screen is its state to give (above
    // panels, kept on its monitor). Without one, the borderless window of the desktop's size
    // already covers everything, and asking would only wait for an answer that never comes.
    // A plain window (Mode::Window) is never made full screen.
    DesktopKind desktop = mode == Mode::Fullscreen ? DetectDesktop(window) : DesktopKind::BareX11;
    return std::unique_ptr<SdlScreen>(new SdlScreen(window, wake, desktop, render));
}

SdlScreen::SdlScreen(SDL_Window* window, Uint32 wakeEvent, DesktopKind desktop, RenderChoice render)
    : window_(window), wakeEvent_(wakeEvent), render_(render), desktop_(desktop) {}

SdlScreen::~SdlScreen() {
    gpu_.reset();  // the renderer before its window
    SDL_DestroyWindow(window_);
    if (arrow_ != nullptr) {
        SDL_FreeCursor(arrow_);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlScreen::TakeFocus() {
    if (!shown_) {
        // Only now: SDL drops the always-on-top wish of a window already full screen.
        AskFullscreenBeforeShowing(window_, desktop_);
        SDL_ShowWindow(window_);
        shown_ = true;
    }
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

void SdlScreen::SetLook(const WindowLook& look) {
    SDL_SetWindowTitle(window_, kernel::Windows1252ToUtf8(look.title).c_str());
    SDL_SetWindowAlwaysOnTop(window_, look.alwaysOnTop ? SDL_TRUE : SDL_FALSE);
    if (look.arrowCursor) {
        // SDL's default cursor is the root window's, which on a bare X server is a cross.
        if (arrow_ == nullptr) {
            arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
        }
        if (arrow_ != nullptr) {
            SDL_SetCursor(arrow_);
        }
    }
}

void SdlScreen::ModeChanged() {
    fitted_ = false;
}

void SdlScreen::Refit() {
    int ww = 0;
    int wh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (ww <= 0 || wh <= 0) {
        return;
    }
    box_ = FitPicture(width(), height(), ww, wh);
    fitted_ = true;
    if (gpu_) {
        if (gpu_->Fit(width(), height(), box_)) {
            return;
        }
        FallBackToCpu(std::string("the graphics card cannot scale to this size (") +
                      SDL_GetError() + ")");
    }
    const RECT& p = box_.picture;
    scaler_.Fit(width(), height(), p.right - p.left, p.bottom - p.top);
    barsShown_ = false;
    // The bars never change until the next refit: paint them black once.
    if (SDL_Surface* target = Surface()) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    }
}

SDL_Surface* SdlScreen::Surface() {
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (target == nullptr && !surfaceFailureSaid_) {
        // Playing on with nothing on screen must not look like success.
        std::fprintf(stderr, "vrelintro: cannot draw into the window (%s)\n", SDL_GetError());
        surfaceFailureSaid_ = true;
    }
    return target;
}

// Decided at the first frame, on the thread that presents: an OpenGL context belongs to it.
void SdlScreen::ChoosePath() {
    pathChosen_ = true;
    std::string why = "VREL_RENDER=cpu";
    if (render_ == RenderChoice::Auto && !MayUseGpu(render_)) {
        why = "no graphics card";
    } else if (render_ != RenderChoice::Cpu) {
        gpu_ = GpuPresenter::Create(window_, render_ == RenderChoice::Gpu, &why);
    }
    if (TraceEnabled()) {
        std::fprintf(stderr, "vrelintro: scaling %s (%s)\n",
                     gpu_ ? "on the graphics card" : "on the CPU",
                     gpu_ ? gpu_->Name().c_str() : why.c_str());
    }
}

void SdlScreen::FallBackToCpu(const std::string& reason) {
    std::fprintf(stderr, "vrelintro: %s; scaling on the CPU from now on\n", reason.c_str());
    gpu_.reset();
}

void SdlScreen::Present() {
    if (!pathChosen_) {
        ChoosePath();
    }
    if (!fitted_) {
        Refit();
    }
    if (gpu_ && fitted_) {
        if (gpu_->Present(pixels(), width() * 4)) {
            Trace("present");
            return;
        }
        FallBackToCpu(std::string("the graphics card failed (") + SDL_GetError() + ")");
        Refit();
    }
    PresentOnCpu();
}

void SdlScreen::PresentOnCpu() {
    SDL_Surface* target = Surface();
    if (target == nullptr || !fitted_) {
        return;
    }
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) {
        return;
    }
    CopyScaled(target);
    if (SDL_MUSTLOCK(target)) {
        SDL_UnlockSurface(target);
    }
    if (barsShown_) {
        // The bars have not changed: only the picture goes to the window system.
        const RECT& p = box_.picture;
        const SDL_Rect picture{p.left, p.top, p.right - p.left, p.bottom - p.top};
        SDL_UpdateWindowSurfaceRects(window_, &picture, 1);
    } else {
        SDL_UpdateWindowSurface(window_);
        barsShown_ = true;
    }
    Trace("present");
}

void SdlScreen::CopyScaled(SDL_Surface* target) {
    const RECT& p = box_.picture;
    if (!IsXrgb(target)) {
        // Unusual visual: let SDL convert, at some cost.
        SDL_Surface* source =
            SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels()), width(), height(),
                                               32, width() * 4, SDL_PIXELFORMAT_RGB888);
        SDL_Rect dst{p.left, p.top, p.right - p.left, p.bottom - p.top};
        SDL_BlitScaled(source, nullptr, target, &dst);
        SDL_FreeSurface(source);
        return;
    }
    uint8_t* corner = static_cast<uint8_t*>(target->pixels) +
                      static_cast<ptrdiff_t>(p.top) * target->pitch + p.left * 4;
    if (!box_.identity) {
        scaler_.Draw(pixels(), corner, target->pitch);
        return;
    }
    for (int row = 0; row < height(); ++row) {
        CopyPictureRow(
            pixels() + static_cast<size_t>(row) * width(),
            reinterpret_cast<uint32_t*>(corner + static_cast<ptrdiff_t>(row) * target->pitch),
            width());
    }
    FinishPictureRows();
}

bool SdlScreen::PollInput(InputEvent* event) {
    // Not SDL_PollEvent: it stops at a marker it leaves after each pump, and events queued
    // behind that marker would wait for the next call, while the caller goes to sleep.
    // What is queued is taken first; the window system is asked only once that runs out.
    SDL_Event e;
    for (bool pumped = false;;) {
        if (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) {
            if (pumped) {
                return false;
            }
            SDL_PumpEvents();
            pumped = true;
        } else if (Translate(e, event)) {
            return true;
        }
    }
}

void SdlScreen::WaitForInput(int timeoutMs) {
    // With a null event SDL only waits; the event stays queued for PollInput.
    SDL_WaitEventTimeout(nullptr, timeoutMs < 0 ? -1 : timeoutMs);
}

void SdlScreen::Wake() {
    SDL_Event e{};
    e.type = wakeEvent_;
    SDL_PushEvent(&e);
}

bool SdlScreen::Translate(const SDL_Event& e, InputEvent* out) {
    switch (e.type) {
        case SDL_QUIT:
            out->kind = InputEvent::Kind::CloseRequested;
            return true;
        case SDL_WINDOWEVENT:
            return TranslateWindowEvent(e.window, out);
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            out->kind = e.type == SDL_KEYDOWN ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
            out->virtualKey = VirtualKeyFromSdl(e.key.keysym.sym);
            out->alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            return out->virtualKey != 0;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return TranslateMouse(e.button, out);
        case SDL_RENDER_DEVICE_RESET:
            if (gpu_) {
                FallBackToCpu("the graphics card's renderer was reset");
                fitted_ = false;  // the window's surface gets its bars
                Present();
            }
            return false;
        default:
            return false;  // wake-ups and everything we do not use
    }
}

bool SdlScreen::TranslateWindowEvent(const SDL_WindowEvent& e, InputEvent* out) {
    switch (e.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            out->kind = InputEvent::Kind::FocusGained;
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out->kind = InputEvent::Kind::FocusLost;
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            out->kind = InputEvent::Kind::CloseRequested;
            return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            fitted_ = false;
            Present();
            return false;
        case SDL_WINDOWEVENT_EXPOSED:
            barsShown_ = false;  // what was on the window may be gone
            Present();
            return false;
        default:
            return false;
    }
}

bool SdlScreen::TranslateMouse(const SDL_MouseButtonEvent& e, InputEvent* out) {
    if (!fitted_ || !WindowToFramebuffer(box_, width(), height(), e.x, e.y, &out->x, &out->y)) {
        return false;
    }
    out->kind =
        e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::MouseDown : InputEvent::Kind::MouseUp;
    out->button = e.button == SDL_BUTTON_RIGHT ? 3 : 1;
    return true;
}

}  // namespace vrel::screen
