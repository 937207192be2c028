#include "runtime/mmstream/ddraw_stream_sample.h"

#include <new>

namespace vrel::mmstream {
namespace {

// Frees the media stream's single picture-consumer place when an Update ends.
class UpdateClaim {
  public:
    explicit UpdateClaim(DirectDrawMediaStream* stream) : stream_(stream) {}
    ~UpdateClaim() { stream_->EndUpdate(); }
    UpdateClaim(const UpdateClaim&) = delete;
    UpdateClaim& operator=(const UpdateClaim&) = delete;

  private:
    DirectDrawMediaStream* stream_;
};

}  // namespace

HRESULT DirectDrawStreamSample::ReadShape(IDirectDrawSurface* surface, SurfaceShape* shape) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    HRESULT result = surface->GetSurfaceDesc(&desc);
    if (FAILED(result)) {
        return result;
    }
    const DWORD needed = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    if ((desc.dwFlags & needed) != needed || desc.dwWidth == 0 || desc.dwHeight == 0 ||
        desc.dwWidth > 16384 || desc.dwHeight > 16384) {
        return MS_E_INCOMPATIBLE;
    }
    shape->width = static_cast<int>(desc.dwWidth);
    shape->height = static_cast<int>(desc.dwHeight);
    shape->format = PixelFormatFor(desc.ddpfPixelFormat);
    return shape->format == AV_PIX_FMT_NONE ? MS_E_INCOMPATIBLE : S_OK;
}

HRESULT DirectDrawStreamSample::CheckRect(const SurfaceShape& shape, const RECT* rect,
                                          RECT* result) {
    if (rect == nullptr) {
        *result = RECT{0, 0, shape.width, shape.height};
        return S_OK;
    }
    if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left || rect->bottom <= rect->top ||
        rect->right > shape.width || rect->bottom > shape.height) {
        return DDERR_INVALIDRECT;
    }
    *result = *rect;
    return S_OK;
}

HRESULT DirectDrawStreamSample::Create(DirectDrawMediaStream* stream, IDirectDrawSurface* surface,
                                       const RECT* rect, IDirectDrawStreamSample** out) {
    SurfaceShape shape;
    HRESULT result = ReadShape(surface, &shape);
    if (FAILED(result)) {
        return result;
    }
    RECT checked{};
    result = CheckRect(shape, rect, &checked);
    if (FAILED(result)) {
        return result;
    }
    *out = new DirectDrawStreamSample(stream, surface, shape, checked);
    return S_OK;
}

DirectDrawStreamSample::DirectDrawStreamSample(DirectDrawMediaStream* stream,
                                               IDirectDrawSurface* surface, SurfaceShape shape,
                                               RECT rect)
    : shape_(shape), rect_(rect), picture_(NewFrame()), shown_(NewFrame()) {
    stream->AddRef();
    stream_ = vrel::com::ComPtr<DirectDrawMediaStream>(stream);
    surface->AddRef();
    surface_ = vrel::com::ComPtr<IDirectDrawSurface>(surface);
}

HRESULT DirectDrawStreamSample::GetMediaStream(IMediaStream** stream) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    return stream_->QueryInterface(IID_IMediaStream, reinterpret_cast<void**>(stream));
}

HRESULT DirectDrawStreamSample::GetSampleTimes(STREAM_TIME* start, STREAM_TIME* end,
                                               STREAM_TIME* current) {
    std::lock_guard lock(mutex_);
    if (start != nullptr) {
        *start = times_.start.count();
    }
    if (end != nullptr) {
        *end = times_.End().count();
    }
    if (current != nullptr) {
        *current = stream_->GetPlayback().Time().count();
    }
    return S_OK;
}

HRESULT DirectDrawStreamSample::SetSampleTimes(const STREAM_TIME* /*start*/,
                                               const STREAM_TIME* /*end*/) {
    return MS_E_INCOMPATIBLE;  // a reading stream stamps its own samples
}

HRESULT DirectDrawStreamSample::Update(DWORD flags, HANDLE event, PAPCFUNC apc, DWORD /*apcData*/) {
    if (flags != 0 || event != nullptr || apc != nullptr) {
        return E_NOTIMPL;  // only the synchronous form
    }
    if (!stream_->BeginUpdate()) {
        return MS_E_BUSY;
    }
    UpdateClaim claim(stream_.Get());
    QueuedFrame times{};
    switch (stream_->GetPlayback().NextFrame(picture_.get(), &times)) {
        case Playback::Next::NotRunning:
            return MS_E_NOTRUNNING;
        case Playback::Next::EndOfStream:
            return MS_S_ENDOFSTREAM;
        case Playback::Next::Stalled:
            return shown_->buf[0] != nullptr ? Draw(shown_.get()) : S_OK;
        case Playback::Next::Frame:
            break;
    }
    HRESULT result = Draw(picture_.get());
    av_frame_unref(shown_.get());
    av_frame_move_ref(shown_.get(), picture_.get());
    std::lock_guard lock(mutex_);
    times_ = times;
    return result;
}

HRESULT DirectDrawStreamSample::Draw(const AVFrame* picture) {
    std::lock_guard lock(mutex_);
    DDSURFACEDESC locked{};
    locked.dwSize = sizeof(DDSURFACEDESC);
    HRESULT result = surface_->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (FAILED(result)) {
        return result;
    }
    const int bytesPerPixel = BytesPerPixel(shape_.format);
    if (locked.lpSurface == nullptr || locked.lPitch < shape_.width * bytesPerPixel) {
        surface_->Unlock(locked.lpSurface);
        return MS_E_INCOMPATIBLE;
    }
    PixelTarget target{static_cast<uint8_t*>(locked.lpSurface) +
                           static_cast<std::ptrdiff_t>(rect_.top) * locked.lPitch +
                           static_cast<std::ptrdiff_t>(rect_.left) * bytesPerPixel,
                       locked.lPitch, rect_.right - rect_.left, rect_.bottom - rect_.top,
                       shape_.format};
    bool drawn = converter_.Convert(picture, target);
    surface_->Unlock(locked.lpSurface);
    return drawn ? S_OK : E_FAIL;
}

HRESULT DirectDrawStreamSample::CompletionStatus(DWORD /*flags*/, DWORD /*milliseconds*/) {
    return stream_->Updating() ? MS_S_PENDING : S_OK;
}

HRESULT DirectDrawStreamSample::GetSurface(IDirectDrawSurface** surface, RECT* rect) {
    if (surface != nullptr) {
        *surface = surface_.Get();
        surface_->AddRef();
    }
    if (rect != nullptr) {
        std::lock_guard lock(mutex_);
        *rect = rect_;
    }
    return S_OK;
}

HRESULT DirectDrawStreamSample::SetRect(const RECT* rect) {
    if (rect == nullptr) {
        return E_POINTER;
    }
    RECT checked{};
    HRESULT result = CheckRect(shape_, rect, &checked);
    if (SUCCEEDED(result)) {
        std::lock_guard lock(mutex_);
        rect_ = checked;
    }
    return result;
}

}  // namespace vrel::mmstream
