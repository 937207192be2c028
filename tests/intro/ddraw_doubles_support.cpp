// The DirectDraw doubles: factory, DirectDraw object (IDirectDraw and IDirectDraw3 as two
// faces of one object), surfaces over their own pixels with real GDI device contexts, and
// the clipper.
#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "runtime/common/pixel_buffer.h"
#include "runtime/gdi/gdi_runtime.h"
#include "tests/intro/double_base_support.h"

namespace intro_test {
namespace {

struct SurfaceRecords {
    std::mutex mutex;
    std::map<std::string, DDSURFACEDESC> created;
    std::vector<uint32_t> ink;
    RECT lastInkBounds{};
};

SurfaceRecords& Records() {
    static SurfaceRecords records;
    return records;
}

std::string IidName(REFIID iid) {
    if (iid == IID_IUnknown) {
        return "IUnknown";
    }
    if (iid == IID_IDirectDraw) {
        return "IDirectDraw";
    }
    if (iid == IID_IDirectDraw3) {
        return "IDirectDraw3";
    }
    if (iid == IID_IDirectDrawSurface) {
        return "IDirectDrawSurface";
    }
    if (iid == IID_IDirectDrawClipper) {
        return "IDirectDrawClipper";
    }
    return iid == IID_IDirectDrawFactory ? "IDirectDrawFactory" : "other";
}

std::string DescriptionText(const DDSURFACEDESC* desc) {
    if (desc == nullptr) {
        return "null";
    }
    return "size=" + std::to_string(desc->dwSize) + ",flags=" + Hex(desc->dwFlags) + "," +
           std::to_string(desc->dwWidth) + "x" + std::to_string(desc->dwHeight) +
           ",caps=" + Hex(desc->ddsCaps.dwCaps);
}

// The colour drawn most often over the movie's background, and where it lies.
void RecordInk(const vrel::PixelBuffer& pixels) {
    std::map<uint32_t, int> counts;
    const int width = std::min(pixels.width, 400);
    const int height = std::min(pixels.height, 60);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels.Row(y)[x];
            if (p != kMovieBackground && p != 0) {
                ++counts[p];
            }
        }
    }
    uint32_t ink = kNoInk;
    int best = 0;
    for (const auto& [colour, count] : counts) {
        if (count > best) {
            ink = colour;
            best = count;
        }
    }
    RECT bounds{width, height, 0, 0};
    for (int y = 0; y < height && ink != kNoInk; ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixels.Row(y)[x] == ink) {
                bounds = {std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                          std::max<LONG>(bounds.right, x + 1),
                          std::max<LONG>(bounds.bottom, y + 1)};
            }
        }
    }
    std::lock_guard lock(Records().mutex);
    Records().ink.push_back(ink);
    Records().lastInkBounds = ink == kNoInk ? RECT{} : bounds;
}

// ---- Clipper. ----

class ClipperDouble final : public IDirectDrawClipper, public DoubleObject {
  public:
    ClipperDouble() { RegisterName(static_cast<IDirectDrawClipper*>(this), name_); }
    ~ClipperDouble() override { ForgetName(static_cast<IDirectDrawClipper*>(this)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        LogCall(name_, "QueryInterface(" + IidName(iid) + ")");
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectDrawClipper) {
            return E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IDirectDrawClipper*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(name_); }

    HRESULT STDMETHODCALLTYPE SetHWnd(DWORD flags, HWND window) override {
        return LoggedResult(name_, name_,
                            "SetHWnd(" + std::to_string(flags) + "," + WindowName(window) + ")",
                            "SetHWnd");
    }
    VREL_DOUBLE_UNUSED(name_, GetClipList, LPRECT, LPRGNDATA, LPDWORD)
    VREL_DOUBLE_UNUSED(name_, GetHWnd, HWND*)
    VREL_DOUBLE_UNUSED(name_, Initialize, LPDIRECTDRAW, DWORD)
    VREL_DOUBLE_UNUSED(name_, IsClipListChanged, WINBOOL*)
    VREL_DOUBLE_UNUSED(name_, SetClipList, LPRGNDATA, DWORD)

  private:
    const std::string name_ = "clipper";
};

// ---- Surfaces. ----

class SurfaceDouble final : public IDirectDrawSurface, public DoubleObject {
  public:
    SurfaceDouble(std::string name, DWORD width, DWORD height)
        : name_(std::move(name)),
          width_(width),
          height_(height),
          pixels_(static_cast<size_t>(width) * height, 0) {
        RegisterName(static_cast<IDirectDrawSurface*>(this), name_);
    }
    ~SurfaceDouble() override {
        ForgetName(static_cast<IDirectDrawSurface*>(this));
        if (dc_ != nullptr) {
            vrel::gdi::DeleteDeviceContext(dc_);
        }
    }

    vrel::PixelBuffer Pixels() {
        return {pixels_.data(), static_cast<int>(width_), static_cast<int>(height_),
                static_cast<int>(width_)};
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        LogCall(name_, "QueryInterface(" + IidName(iid) + ")");
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectDrawSurface) {
            return E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IDirectDrawSurface*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(name_); }

    HRESULT STDMETHODCALLTYPE Blt(LPRECT dest, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                                  DWORD flags, LPDDBLTFX fx) override {
        return LoggedResult(name_, name_,
                            "Blt(" + RectText(dest) + "<-" + NameOf(source) + ":" +
                                RectText(sourceRect) + ",flags=" + Hex(flags) +
                                ",fx=" + NameOf(fx) + ")",
                            "Blt");
    }
    HRESULT STDMETHODCALLTYPE GetDC(HDC* dc) override {
        const HRESULT result = LoggedResult(name_, name_, "GetDC", "GetDC");
        if (result != DD_OK) {
            return result;
        }
        dc_ = vrel::gdi::CreateDeviceContext(Pixels(), POINT{0, 0}, Pixels().Bounds());
        *dc = dc_;
        return dc_ != nullptr ? DD_OK : DDERR_CANTCREATEDC;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override {
        const HRESULT result = LoggedResult(name_, name_, "ReleaseDC", "ReleaseDC");
        if (dc_ == nullptr || dc != dc_) {
            return DDERR_NODC;
        }
        vrel::gdi::DeleteDeviceContext(dc_);
        dc_ = nullptr;
        RecordInk(Pixels());
        return result;
    }
    // Refuses any dwSize but this build's sizeof(DDSURFACEDESC), as the platform does.
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC desc) override {
        const HRESULT result = LoggedResult(
            name_, name_, "GetSurfaceDesc(size=" + std::to_string(desc ? desc->dwSize : 0) + ")",
            "GetSurfaceDesc");
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
            return DDERR_INVALIDPARAMS;
        }
        if (FAILED(result)) {
            return result;
        }
        *desc = DDSURFACEDESC{};
        desc->dwSize = sizeof(DDSURFACEDESC);
        desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc->dwWidth = width_;
        desc->dwHeight = height_;
        desc->lPitch = static_cast<LONG>(width_ * 4);
        desc->ddpfPixelFormat = Script().pixelFormat;
        desc->ddsCaps.dwCaps = name_ == "primary" ? DDSCAPS_PRIMARYSURFACE : DDSCAPS_OFFSCREENPLAIN;
        return result;
    }
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER clipper) override {
        return LoggedResult(name_, name_, "SetClipper(" + NameOf(clipper) + ")", "SetClipper");
    }

    VREL_DOUBLE_UNUSED(name_, AddAttachedSurface, LPDIRECTDRAWSURFACE)
    VREL_DOUBLE_UNUSED(name_, AddOverlayDirtyRect, LPRECT)
    VREL_DOUBLE_UNUSED(name_, BltBatch, LPDDBLTBATCH, DWORD, DWORD)
    VREL_DOUBLE_UNUSED(name_, BltFast, DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD)
    VREL_DOUBLE_UNUSED(name_, DeleteAttachedSurface, DWORD, LPDIRECTDRAWSURFACE)
    VREL_DOUBLE_UNUSED(name_, EnumAttachedSurfaces, LPVOID, LPDDENUMSURFACESCALLBACK)
    VREL_DOUBLE_UNUSED(name_, EnumOverlayZOrders, DWORD, LPVOID, LPDDENUMSURFACESCALLBACK)
    VREL_DOUBLE_UNUSED(name_, Flip, LPDIRECTDRAWSURFACE, DWORD)
    VREL_DOUBLE_UNUSED(name_, GetAttachedSurface, LPDDSCAPS, LPDIRECTDRAWSURFACE*)
    VREL_DOUBLE_UNUSED(name_, GetBltStatus, DWORD)
    VREL_DOUBLE_UNUSED(name_, GetCaps, LPDDSCAPS)
    VREL_DOUBLE_UNUSED(name_, GetClipper, LPDIRECTDRAWCLIPPER*)
    VREL_DOUBLE_UNUSED(name_, GetColorKey, DWORD, LPDDCOLORKEY)
    VREL_DOUBLE_UNUSED(name_, GetFlipStatus, DWORD)
    VREL_DOUBLE_UNUSED(name_, GetOverlayPosition, LPLONG, LPLONG)
    VREL_DOUBLE_UNUSED(name_, GetPalette, LPDIRECTDRAWPALETTE*)
    VREL_DOUBLE_UNUSED(name_, GetPixelFormat, LPDDPIXELFORMAT)
    VREL_DOUBLE_UNUSED(name_, Initialize, LPDIRECTDRAW, LPDDSURFACEDESC)
    VREL_DOUBLE_UNUSED(name_, IsLost)
    VREL_DOUBLE_UNUSED(name_, Lock, LPRECT, LPDDSURFACEDESC, DWORD, HANDLE)
    VREL_DOUBLE_UNUSED(name_, Restore)
    VREL_DOUBLE_UNUSED(name_, SetColorKey, DWORD, LPDDCOLORKEY)
    VREL_DOUBLE_UNUSED(name_, SetOverlayPosition, LONG, LONG)
    VREL_DOUBLE_UNUSED(name_, SetPalette, LPDIRECTDRAWPALETTE)
    VREL_DOUBLE_UNUSED(name_, Unlock, LPVOID)
    VREL_DOUBLE_UNUSED(name_, UpdateOverlay, LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD,
                       LPDDOVERLAYFX)
    VREL_DOUBLE_UNUSED(name_, UpdateOverlayDisplay, DWORD)
    VREL_DOUBLE_UNUSED(name_, UpdateOverlayZOrder, DWORD, LPDIRECTDRAWSURFACE)

  private:
    const std::string name_;
    const DWORD width_;
    const DWORD height_;
    std::vector<uint32_t> pixels_;
    HDC dc_ = nullptr;
};

// ---- The DirectDraw object: one identity, two faces. ----

class DirectDrawDouble;

// What IDirectDraw and IDirectDraw3 share, logged under the face's own name so the log
// shows which interface each call went through.
template <typename Interface>
class DirectDrawFace : public Interface {
  public:
    DirectDrawFace(DirectDrawDouble* owner, std::string name)
        : owner_(owner), name_(std::move(name)) {
        RegisterName(static_cast<Interface*>(this), name_);
    }
    ~DirectDrawFace() { ForgetName(static_cast<Interface*>(this)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper,
                                            IUnknown* outer) override {
        const HRESULT result =
            LoggedResult(name_, name_,
                         "CreateClipper(" + std::to_string(flags) + ",outer=" + NameOf(outer) + ")",
                         "CreateClipper");
        if (SUCCEEDED(result)) {
            *clipper = new ClipperDouble();
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                            IUnknown* outer) override {
        const bool primary = desc && (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
        const std::string kind = primary ? "primary" : "offscreen";
        const HRESULT result =
            LoggedResult(name_, name_,
                         "CreateSurface(" + DescriptionText(desc) + ",outer=" + NameOf(outer) + ")",
                         "CreateSurface(" + kind + ")");
        if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) {
            return DDERR_INVALIDPARAMS;
        }
        {
            std::lock_guard lock(Records().mutex);
            Records().created[kind] = *desc;
        }
        if (SUCCEEDED(result)) {
            *surface = primary
                           ? new SurfaceDouble(kind, Script().screenWidth, Script().screenHeight)
                           : new SurfaceDouble(kind, desc->dwWidth, desc->dwHeight);
        }
        return result;
    }

    VREL_DOUBLE_UNUSED(this->name_, Compact)
    VREL_DOUBLE_UNUSED(this->name_, CreatePalette, DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*,
                       IUnknown*)
    VREL_DOUBLE_UNUSED(this->name_, DuplicateSurface, LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*)
    VREL_DOUBLE_UNUSED(this->name_, EnumDisplayModes, DWORD, LPDDSURFACEDESC, LPVOID,
                       LPDDENUMMODESCALLBACK)
    VREL_DOUBLE_UNUSED(this->name_, EnumSurfaces, DWORD, LPDDSURFACEDESC, LPVOID,
                       LPDDENUMSURFACESCALLBACK)
    VREL_DOUBLE_UNUSED(this->name_, FlipToGDISurface)
    VREL_DOUBLE_UNUSED(this->name_, GetCaps, LPDDCAPS, LPDDCAPS)
    VREL_DOUBLE_UNUSED(this->name_, GetDisplayMode, LPDDSURFACEDESC)
    VREL_DOUBLE_UNUSED(this->name_, GetFourCCCodes, LPDWORD, LPDWORD)
    VREL_DOUBLE_UNUSED(this->name_, GetGDISurface, LPDIRECTDRAWSURFACE*)
    VREL_DOUBLE_UNUSED(this->name_, GetMonitorFrequency, LPDWORD)
    VREL_DOUBLE_UNUSED(this->name_, GetScanLine, LPDWORD)
    VREL_DOUBLE_UNUSED(this->name_, GetVerticalBlankStatus, WINBOOL*)
    VREL_DOUBLE_UNUSED(this->name_, Initialize, GUID*)
    VREL_DOUBLE_UNUSED(this->name_, RestoreDisplayMode)
    VREL_DOUBLE_UNUSED(this->name_, SetCooperativeLevel, HWND, DWORD)
    VREL_DOUBLE_UNUSED(this->name_, WaitForVerticalBlank, DWORD, HANDLE)

  protected:
    DirectDrawDouble* const owner_;
    const std::string name_;
};

class DirectDrawV1Face final : public DirectDrawFace<IDirectDraw> {
  public:
    using DirectDrawFace::DirectDrawFace;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        return LoggedResult(name_, name_,
                            "SetDisplayMode(" + std::to_string(width) + "," +
                                std::to_string(height) + "," + std::to_string(bpp) + ")",
                            "SetDisplayMode");
    }
};

class DirectDraw3Face final : public DirectDrawFace<IDirectDraw3> {
  public:
    using DirectDrawFace::DirectDrawFace;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD rate,
                                             DWORD flags) override {
        return LoggedResult(name_, name_,
                            "SetDisplayMode(" + std::to_string(width) + "," +
                                std::to_string(height) + "," + std::to_string(bpp) + "," +
                                std::to_string(rate) + "," + std::to_string(flags) + ")",
                            "SetDisplayMode");
    }
    VREL_DOUBLE_UNUSED(name_, GetAvailableVidMem, LPDDSCAPS, LPDWORD, LPDWORD)
    VREL_DOUBLE_UNUSED(name_, GetSurfaceFromDC, HDC, LPDIRECTDRAWSURFACE*)
};

class DirectDrawDouble final : public DoubleObject {
  public:
    DirectDrawV1Face v1{this, "dd"};
    DirectDraw3Face v3{this, "dd3"};
};

template <typename Interface>
HRESULT DirectDrawFace<Interface>::QueryInterface(REFIID iid, void** out) {
    const HRESULT result =
        LoggedResult(name_, name_, "QueryInterface(" + IidName(iid) + ")", "QueryInterface");
    *out = nullptr;
    if (FAILED(result)) {
        return result;
    }
    if (iid == IID_IUnknown || iid == IID_IDirectDraw) {
        *out = static_cast<IDirectDraw*>(&owner_->v1);
    } else if (iid == IID_IDirectDraw3) {
        *out = static_cast<IDirectDraw3*>(&owner_->v3);
    } else {
        return E_NOINTERFACE;
    }
    owner_->AddRefObject();
    return S_OK;
}

template <typename Interface>
ULONG DirectDrawFace<Interface>::AddRef() {
    LogCall(name_, "AddRef");
    return owner_->AddRefObject();
}

template <typename Interface>
ULONG DirectDrawFace<Interface>::Release() {
    return owner_->ReleaseObject(name_);
}

// ---- The DirectDrawEx factory. ----

class FactoryDouble final : public IDirectDrawFactory, public DoubleObject {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectDrawFactory) {
            return E_NOINTERFACE;
        }
        AddRefObject();
        *out = static_cast<IDirectDrawFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject("factory"); }

    HRESULT STDMETHODCALLTYPE CreateDirectDraw(GUID* device, HWND window, DWORD coopLevel,
                                               DWORD reserved, IUnknown* outer,
                                               IDirectDraw** directDraw) override {
        const HRESULT result =
            LoggedResult("factory", "factory",
                         "CreateDirectDraw(device=" + NameOf(device) + "," + WindowName(window) +
                             "," + std::to_string(coopLevel) + "," + std::to_string(reserved) +
                             ",outer=" + NameOf(outer) + ")",
                         "CreateDirectDraw");
        if (SUCCEEDED(result)) {
            *directDraw = &(new DirectDrawDouble())->v1;
        }
        return result;
    }
    VREL_DOUBLE_UNUSED("factory", DirectDrawEnumerate, LPDDENUMCALLBACKA, LPVOID)
};

}  // namespace

DDPIXELFORMAT Xrgb32Format() {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 32;
    format.dwRBitMask = 0x00FF0000;
    format.dwGBitMask = 0x0000FF00;
    format.dwBBitMask = 0x000000FF;
    return format;
}

IClassFactory* NewDirectDrawClassFactory() {
    return new LoggedClassFactory<FactoryDouble>("ddclass", IidName);
}

bool FillSurfaceRect(IDirectDrawSurface* surface, const RECT& rect, uint32_t xrgb) {
    if (NameOf(surface) != "offscreen" && NameOf(surface) != "primary") {
        return false;
    }
    // Named only while alive: the pointer is a live SurfaceDouble.
    vrel::PixelBuffer pixels = static_cast<SurfaceDouble*>(surface)->Pixels();
    for (LONG y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, pixels.height);
         ++y) {
        for (LONG x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, pixels.width);
             ++x) {
            pixels.Row(y)[x] = xrgb;
        }
    }
    return true;
}

void ResetSurfaceRecords() {
    std::lock_guard lock(Records().mutex);
    Records().created.clear();
    Records().ink.clear();
    Records().lastInkBounds = RECT{};
}

DDSURFACEDESC CreatedDescription(const std::string& surface) {
    std::lock_guard lock(Records().mutex);
    auto it = Records().created.find(surface);
    return it == Records().created.end() ? DDSURFACEDESC{} : it->second;
}

std::vector<uint32_t> InkPerFrame() {
    std::lock_guard lock(Records().mutex);
    return Records().ink;
}

RECT LastInkBounds() {
    std::lock_guard lock(Records().mutex);
    return Records().lastInkBounds;
}

}  // namespace intro_test
