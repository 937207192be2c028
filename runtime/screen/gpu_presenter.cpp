#include "runtime/screen/gpu_presenter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace vrel::screen {

namespace {

// A render node is how a desktop's OpenGL reaches a graphics card; without one it can
// only be software.
bool HasRenderNode() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error)) {
        if (entry.path().filename().string().rfind("renderD", 0) == 0) {
            return true;
        }
    }
    return false;
}

// The OpenGL renderer string of the renderer's context (current after SDL made it), or empty
// for a renderer that is not OpenGL.
std::string OpenGlRenderer(const SDL_RendererInfo& info) {
    if (std::strncmp(info.name, "opengl", 6) != 0) {
        return {};
    }
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int kGlRenderer = 0x1F01;
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* text = getString != nullptr ? getString(kGlRenderer) : nullptr;
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

SDL_Texture* MakeTexture(SDL_Renderer* renderer, int access, int w, int h, SDL_ScaleMode mode) {
    SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, access, w, h);
    if (texture != nullptr) {
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(texture, mode);
    }
    return texture;
}

}  // namespace

RenderChoice RenderChoiceFromEnvironment() {
    const char* setting = std::getenv("VREL_RENDER");
    if (setting == nullptr || *setting == '\0') {
        return RenderChoice::Auto;
    }
    if (std::strcmp(setting, "gpu") == 0) {
        return RenderChoice::Gpu;
    }
    if (std::strcmp(setting, "cpu") == 0) {
        return RenderChoice::Cpu;
    }
    std::fprintf(stderr,
                 "vrelintro: VREL_RENDER=%s is not one of gpu, cpu; deciding by the machine\n",
                 setting);
    return RenderChoice::Auto;
}

bool IsSoftwareRenderer(const char* rendererName, const std::string& openGl) {
    if (std::strcmp(rendererName, "software") == 0) {
        return true;
    }
    for (const char* rasteriser : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (openGl.find(rasteriser) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool MayUseGpu(RenderChoice choice) {
    return choice == RenderChoice::Gpu || (choice == RenderChoice::Auto && HasRenderNode());
}

std::unique_ptr<GpuPresenter> GpuPresenter::Create(SDL_Window* window, bool forced,
                                                   std::string* why) {
    SDL_Renderer* renderer =
        SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (renderer == nullptr) {
        *why = std::string("no renderer (") + SDL_GetError() + ")";
        return nullptr;
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    const std::string openGl = OpenGlRenderer(info);
    std::string name = openGl.empty() ? info.name : std::string(info.name) + " on " + openGl;
    const bool software =
        (info.flags & SDL_RENDERER_SOFTWARE) != 0 || IsSoftwareRenderer(info.name, openGl);
    if (!forced && software) {
        *why = name + " renders in software";
        SDL_DestroyRenderer(renderer);
        return nullptr;
    }
    return std::unique_ptr<GpuPresenter>(new GpuPresenter(renderer, std::move(name)));
}

GpuPresenter::GpuPresenter(SDL_Renderer* renderer, std::string name)
    : renderer_(renderer), name_(std::move(name)) {}

GpuPresenter::~GpuPresenter() {
    // The textures go with the renderer.
    SDL_DestroyRenderer(renderer_);
}

bool GpuPresenter::Fit(int sourceW, int sourceH, const Letterbox& box) {
    for (SDL_Texture** texture : {&frame_, &grown_}) {
        if (*texture != nullptr) {
            SDL_DestroyTexture(*texture);
            *texture = nullptr;
        }
    }
    const RECT& p = box.picture;
    picture_ = SDL_Rect{p.left, p.top, p.right - p.left, p.bottom - p.top};
    frame_ =
        MakeTexture(renderer_, SDL_TEXTUREACCESS_STREAMING, sourceW, sourceH, SDL_ScaleModeNearest);
    const int grownW = sourceW * WholeFactor(picture_.w, sourceW);
    const int grownH = sourceH * WholeFactor(picture_.h, sourceH);
    if (grownW == picture_.w && grownH == picture_.h) {
        return frame_ != nullptr;  // a whole factor: repeating pixels is all there is
    }
    grown_ = MakeTexture(renderer_, SDL_TEXTUREACCESS_TARGET, grownW, grownH, SDL_ScaleModeLinear);
    return frame_ != nullptr && grown_ != nullptr;
}

bool GpuPresenter::Present(const uint32_t* pixels, int pitch) {
    bool ok = SDL_UpdateTexture(frame_, nullptr, pixels, pitch) == 0;
    if (grown_ != nullptr) {
        ok = ok && SDL_SetRenderTarget(renderer_, grown_) == 0 &&
             SDL_RenderCopy(renderer_, frame_, nullptr, nullptr) == 0 &&
             SDL_SetRenderTarget(renderer_, nullptr) == 0;
    }
    ok = ok && SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255) == 0 &&
         SDL_RenderClear(renderer_) == 0 &&
         SDL_RenderCopy(renderer_, grown_ != nullptr ? grown_ : frame_, nullptr, &picture_) == 0;
    if (ok) {
        SDL_RenderPresent(renderer_);
    }
    return ok;
}

}  // namespace vrel::screen
