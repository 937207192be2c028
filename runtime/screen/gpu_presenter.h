// The graphics card's path to the window: the framebuffer is uploaded into a streaming
// texture and the card scales it the way the CPU path does (whole factor by repeating
// pixels into a target texture, linear filtering for the rest). Used only where a renderer
// runs on real hardware; a software OpenGL costs more than the CPU path.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "runtime/screen/letterbox.h"

namespace vrel::screen {

// VREL_RENDER: gpu or cpu forces a path; anything else lets the machine decide.
enum class RenderChoice { Auto, Gpu, Cpu };
RenderChoice RenderChoiceFromEnvironment();

// Whether SDL's renderer `rendererName` (with `openGl` the OpenGL renderer string, empty
// for other APIs) draws in software on the CPU.
bool IsSoftwareRenderer(const char* rendererName, const std::string& openGl);

// Whether a window must be made for OpenGL: deciding later would make SDL recreate it.
bool MayUseGpu(RenderChoice choice);

class GpuPresenter {
  public:
    // A presenter for `window`, or null with the reason in *why: no renderer, only a
    // software one (unless `forced`), or no render targets.
    static std::unique_ptr<GpuPresenter> Create(SDL_Window* window, bool forced, std::string* why);
    ~GpuPresenter();
    GpuPresenter(const GpuPresenter&) = delete;
    GpuPresenter& operator=(const GpuPresenter&) = delete;

    // What the card is, for the trace line.
    const std::string& Name() const { return name_; }
    // Scaling for a sourceW × sourceH framebuffer in `box`; false when the card cannot.
    bool Fit(int sourceW, int sourceH, const Letterbox& box);
    // Shows one frame; false when the card failed (the caller falls back to the CPU).
    bool Present(const uint32_t* pixels, int pitch);

  private:
    GpuPresenter(SDL_Renderer* renderer, std::string name);

    SDL_Renderer* renderer_;
    std::string name_;
    SDL_Texture* frame_ = nullptr;  // the framebuffer, sampled by repeating pixels
    SDL_Texture* grown_ = nullptr;  // the whole-factor step, sampled linearly; null if unused
    SDL_Rect picture_{};
};

}  // namespace vrel::screen
