#include "runtime/mmstream/ddraw_media_stream.h"

#include "runtime/mmstream/ddraw_stream_sample.h"
#include "runtime/mmstream/multimedia_stream.h"
#include "runtime/mmstream/video_converter.h"

namespace vrel::mmstream {
namespace {

constexpr DWORD DDSFF_PROGRESSIVERENDER = 0x1;

}  // namespace

DirectDrawMediaStream::DirectDrawMediaStream(std::shared_ptr<Playback> playback,
                                             MultiMediaStream* parent, IUnknown* directDraw)
    : playback_(std::move(playback)), parent_(parent) {
    if (directDraw != nullptr) {
        directDraw->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(directDraw_.Put()));
        directDraw->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(directDraw3_.Put()));
    }
}

void DirectDrawMediaStream::DetachParent() {
    std::lock_guard lock(mutex_);
    parent_ = nullptr;
}

HRESULT DirectDrawMediaStream::GetMultiMediaStream(IMultiMediaStream** stream) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(mutex_);
    *stream = nullptr;
    if (parent_ == nullptr || !parent_->TryAddRef()) {
        return E_UNEXPECTED;  // the multimedia stream has been released
    }
    *stream = parent_;
    return S_OK;
}

HRESULT DirectDrawMediaStream::GetInformation(MSPID* purpose, STREAM_TYPE* type) {
    if (purpose != nullptr) {
        *purpose = MSPID_PrimaryVideo;
    }
    if (type != nullptr) {
        *type = STREAMTYPE_READ;
    }
    return S_OK;
}

HRESULT DirectDrawMediaStream::SetSameFormat(IMediaStream* /*other*/, DWORD /*flags*/) {
    return E_NOTIMPL;
}

HRESULT DirectDrawMediaStream::AllocateSample(DWORD flags, IStreamSample** sample) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    *sample = nullptr;
    vrel::com::ComPtr<IDirectDrawStreamSample> made;
    HRESULT result = CreateSample(nullptr, nullptr, flags, made.Put());
    if (FAILED(result)) {
        return result;
    }
    return made->QueryInterface(IID_IStreamSample, reinterpret_cast<void**>(sample));
}

HRESULT DirectDrawMediaStream::CreateSharedSample(IStreamSample* /*existing*/, DWORD /*flags*/,
                                                  IStreamSample** sample) {
    if (sample != nullptr) {
        *sample = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT DirectDrawMediaStream::SendEndOfStream(DWORD /*flags*/) {
    return MS_E_INCOMPATIBLE;  // only a writing stream takes an end from its caller
}

DDPIXELFORMAT DirectDrawMediaStream::DisplayFormat() const {
    std::lock_guard lock(mutex_);
    DDSURFACEDESC mode{};
    mode.dwSize = sizeof(DDSURFACEDESC);
    HRESULT result = E_NOTIMPL;
    if (directDraw3_) {
        result = directDraw3_->GetDisplayMode(&mode);
    } else if (directDraw_) {
        result = directDraw_->GetDisplayMode(&mode);
    }
    bool usable = SUCCEEDED(result) && (mode.dwFlags & DDSD_PIXELFORMAT) != 0 &&
                  PixelFormatFor(mode.ddpfPixelFormat) != AV_PIX_FMT_NONE;
    return usable ? mode.ddpfPixelFormat : XrgbPixelFormat();
}

void DirectDrawMediaStream::DescribeFormat(const VideoFormat& video, DDSURFACEDESC* desc) const {
    *desc = DDSURFACEDESC{};
    desc->dwSize = sizeof(DDSURFACEDESC);
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(video.width);
    desc->dwHeight = static_cast<DWORD>(video.height);
    desc->ddpfPixelFormat = DisplayFormat();
    desc->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
}

HRESULT DirectDrawMediaStream::GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette,
                                         DDSURFACEDESC* desired, DWORD* flags) {
    if (palette != nullptr) {
        *palette = nullptr;
    }
    std::optional<VideoFormat> video = playback_->Video();
    if (!video) {
        return MS_E_NOSTREAM;  // no picture connected (yet, or in this file)
    }
    for (DDSURFACEDESC* desc : {current, desired}) {
        if (desc != nullptr && desc->dwSize != sizeof(DDSURFACEDESC)) {
            return DDERR_INVALIDPARAMS;
        }
    }
    for (DDSURFACEDESC* desc : {current, desired}) {
        if (desc != nullptr) {
            DescribeFormat(*video, desc);
        }
    }
    if (flags != nullptr) {
        *flags = 0;
    }
    return S_OK;
}

// The stream converts to any size and to any format it can write, so a format is accepted
// when it is one of those.
HRESULT DirectDrawMediaStream::SetFormat(const DDSURFACEDESC* format,
                                         IDirectDrawPalette* /*palette*/) {
    if (format == nullptr) {
        return E_POINTER;
    }
    if (format->dwSize != sizeof(DDSURFACEDESC)) {
        return DDERR_INVALIDPARAMS;
    }
    if ((format->dwFlags & DDSD_PIXELFORMAT) != 0 &&
        PixelFormatFor(format->ddpfPixelFormat) == AV_PIX_FMT_NONE) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    return S_OK;
}

HRESULT DirectDrawMediaStream::GetDirectDraw(IDirectDraw** directDraw) {
    if (directDraw == nullptr) {
        return E_POINTER;
    }
    std::lock_guard lock(mutex_);
    *directDraw = directDraw_.Get();
    if (*directDraw != nullptr) {
        (*directDraw)->AddRef();
    }
    return S_OK;
}

HRESULT DirectDrawMediaStream::SetDirectDraw(IDirectDraw* directDraw) {
    vrel::com::ComPtr<IDirectDraw> plain;
    vrel::com::ComPtr<IDirectDraw3> third;
    if (directDraw != nullptr) {
        directDraw->AddRef();
        plain = vrel::com::ComPtr<IDirectDraw>(directDraw);
        directDraw->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(third.Put()));
    }
    std::lock_guard lock(mutex_);
    directDraw_ = plain;
    directDraw3_ = third;
    return S_OK;
}

HRESULT DirectDrawMediaStream::CreateOwnSurface(IDirectDrawSurface** surface) {
    std::optional<VideoFormat> video = playback_->Video();
    if (!video) {
        return MS_E_NOSTREAM;
    }
    DDSURFACEDESC desc;
    DescribeFormat(*video, &desc);
    std::lock_guard lock(mutex_);
    if (directDraw3_) {
        return directDraw3_->CreateSurface(&desc, surface, nullptr);
    }
    return directDraw_ ? directDraw_->CreateSurface(&desc, surface, nullptr) : E_INVALIDARG;
}

HRESULT DirectDrawMediaStream::CreateSample(IDirectDrawSurface* surface, const RECT* rect,
                                            DWORD flags, IDirectDrawStreamSample** sample) {
    if (sample == nullptr) {
        return E_POINTER;
    }
    *sample = nullptr;
    if ((flags & ~DDSFF_PROGRESSIVERENDER) != 0) {
        return E_INVALIDARG;
    }
    if (surface != nullptr) {
        return DirectDrawStreamSample::Create(this, surface, rect, sample);
    }
    // No surface given: one of the picture's size and the display's format is made for it.
    vrel::com::ComPtr<IDirectDrawSurface> own;
    HRESULT result = CreateOwnSurface(own.Put());
    if (FAILED(result)) {
        return result;
    }
    return DirectDrawStreamSample::Create(this, own.Get(), rect, sample);
}

HRESULT DirectDrawMediaStream::GetTimePerFrame(STREAM_TIME* frameTime) {
    if (frameTime == nullptr) {
        return E_POINTER;
    }
    std::optional<VideoFormat> video = playback_->Video();
    if (!video) {
        return MS_E_NOSTREAM;
    }
    *frameTime = video->frameDuration.count();
    return S_OK;
}

}  // namespace vrel::mmstream
