// The screen shown in a real SDL window: the framebuffer is scaled and letterboxed by the
// graphics card where there is one (VREL_RENDER decides otherwise), else on the CPU into the
// window's own surface (on X11 a plain image upload). A renderer that fails or is reset
// hands over to the CPU for the rest of the run. The window
// stays hidden until the program shows one of its own, and covers the desktop the way the
// desktop expects (full-screen state under a window manager or compositor, a borderless
// window of the desktop's size on a bare X server).
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "runtime/screen/desktop_kind.h"
#include "runtime/screen/gpu_presenter.h"
#include "runtime/screen/letterbox.h"
#include "runtime/screen/memory_screen.h"
#include "runtime/screen/picture_scaler.h"

namespace vrel::screen {

class SdlScreen final : public FramebufferScreen {
  public:
    enum class Mode { Fullscreen, Window };
    // Null (with the reason in *error) when SDL video cannot be brought up.
    static std::unique_ptr<SdlScreen> Open(Mode mode, std::string* error);
    ~SdlScreen() override;

    void Present() override;
    bool Headless() const override { return false; }
    bool PollInput(InputEvent* event) override;
    void WaitForInput(int timeoutMs) override;
    void Wake() override;
    void TakeFocus() override;
    void SetLook(const WindowLook& look) override;

  private:
    SdlScreen(SDL_Window* window, Uint32 wakeEvent, DesktopKind desktop, RenderChoice render);
    void ModeChanged() override;
    void Refit();
    bool Translate(const SDL_Event& e, InputEvent* out);
    bool TranslateWindowEvent(const SDL_WindowEvent& e, InputEvent* out);
    bool TranslateMouse(const SDL_MouseButtonEvent& e, InputEvent* out);
    void ChoosePath();
    void FallBackToCpu(const std::string& reason);
    void PresentOnCpu();
    void CopyScaled(SDL_Surface* target);
    // The window's surface; null (said once on standard error) when SDL cannot give one.
    SDL_Surface* Surface();

    SDL_Window* window_;
    Uint32 wakeEvent_;
    Letterbox box_;
    PictureScaler scaler_;
    RenderChoice render_;
    bool pathChosen_ = false;
    std::unique_ptr<GpuPresenter> gpu_;  // null: the CPU path
    bool fitted_ = false;
    DesktopKind desktop_;
    bool shown_ = false;
    bool surfaceFailureSaid_ = false;
    bool barsShown_ = false;  // the black bars are on the window since the last refit
    SDL_Cursor* arrow_ = nullptr;
};

}  // namespace vrel::screen
