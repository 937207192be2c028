// The clipper: limits blits into a surface to what a window shows on the screen.
#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "platform/ddraw.h"
#include "runtime/com/unknown.h"

namespace vrel::ddraw {

class Clipper final : public com::Object<Clipper, IDirectDrawClipper> {
  public:
    // Answers QueryInterface only on clippers made here, so a pointer can be recognised.
    static constexpr IID kImplIid = {
        0x7a3c1e52, 0x2f0b, 0x4d8e, {0x9a, 0x41, 0x6c, 0x0d, 0x15, 0x8e, 0x72, 0x01}};

    // A clipper without a window, one reference for the caller; DDERR_OUTOFMEMORY.
    static HRESULT Create(IDirectDrawClipper** out);
    // The clipper behind `clipper` with a new reference, or null when it is not one of ours.
    static com::ComPtr<Clipper> FromInterface(IDirectDrawClipper* clipper);

    // *out = the part of `bounds` (a surface's rectangle, screen coordinates for the
    // primary) a blit may draw on: the window's visible region cut to the bounds, or the
    // whole bounds when there is no window or it is gone.
    void ClipList(const RECT& bounds, std::vector<RECT>* out) const;

    // Stores the window in *window (null when none).
    HRESULT STDMETHODCALLTYPE GetHWnd(HWND* window) override;
    // Flags must be 0; a null window goes back to clipping at the surface's edges.
    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override;

    // Not needed by the intro: explicit clip lists are not supported.
    HRESULT STDMETHODCALLTYPE GetClipList(LPRECT, LPRGNDATA, LPDWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE IsClipListChanged(WINBOOL*) override { return DDERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE SetClipList(LPRGNDATA, DWORD) override { return DDERR_UNSUPPORTED; }

  private:
    friend Object;
    std::array<com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IDirectDrawClipper, this}, {&kImplIid, this}}};
    }
    Clipper() = default;
    ~Clipper() = default;

    std::atomic<HWND> window_{nullptr};
};

}  // namespace vrel::ddraw
