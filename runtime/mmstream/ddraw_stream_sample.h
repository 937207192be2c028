// A stream sample: a rectangle of a DirectDraw surface that Update fills with the next frame,
// through the surface's own Lock and Unlock. Update waits at most until the next frame is due
// plus Playback::kStallLimit (1 s); when the frame has not come by then it draws the frame it
// showed last again and returns S_OK, so the caller's message loop keeps running.
#pragma once

#include <array>
#include <mutex>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"
#include "runtime/mmstream/ddraw_media_stream.h"
#include "runtime/mmstream/frame_queue.h"
#include "runtime/mmstream/video_converter.h"

namespace vrel::mmstream {

class DirectDrawStreamSample final
    : public vrel::com::Object<DirectDrawStreamSample, IDirectDrawStreamSample> {
  public:
    // A sample on `surface` (whose description must be readable and whose pixel format the
    // stream can write); rect null means the whole surface, else it must lie inside it
    // (DDERR_INVALIDRECT).
    static HRESULT Create(DirectDrawMediaStream* stream, IDirectDrawSurface* surface,
                          const RECT* rect, IDirectDrawStreamSample** out);

    // IStreamSample
    HRESULT STDMETHODCALLTYPE GetMediaStream(IMediaStream** stream) override;
    HRESULT STDMETHODCALLTYPE GetSampleTimes(STREAM_TIME* start, STREAM_TIME* end,
                                             STREAM_TIME* current) override;
    HRESULT STDMETHODCALLTYPE SetSampleTimes(const STREAM_TIME* start,
                                             const STREAM_TIME* end) override;
    HRESULT STDMETHODCALLTYPE Update(DWORD flags, HANDLE event, PAPCFUNC apc,
                                     DWORD apcData) override;
    HRESULT STDMETHODCALLTYPE CompletionStatus(DWORD flags, DWORD milliseconds) override;

    // IDirectDrawStreamSample
    HRESULT STDMETHODCALLTYPE GetSurface(IDirectDrawSurface** surface, RECT* rect) override;
    HRESULT STDMETHODCALLTYPE SetRect(const RECT* rect) override;

  private:
    struct SurfaceShape {
        int width = 0;
        int height = 0;
        AVPixelFormat format = AV_PIX_FMT_NONE;
    };

    DirectDrawStreamSample(DirectDrawMediaStream* stream, IDirectDrawSurface* surface,
                           SurfaceShape shape, RECT rect);
    friend Object;
    ~DirectDrawStreamSample() = default;
    std::array<vrel::com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IDirectDrawStreamSample, this}, {&IID_IStreamSample, this}}};
    }
    static HRESULT ReadShape(IDirectDrawSurface* surface, SurfaceShape* shape);
    static HRESULT CheckRect(const SurfaceShape& shape, const RECT* rect, RECT* result);
    HRESULT Draw(const AVFrame* picture);

    vrel::com::ComPtr<DirectDrawMediaStream> stream_;
    vrel::com::ComPtr<IDirectDrawSurface> surface_;
    SurfaceShape shape_;
    std::mutex mutex_;  // rect_, times_ (SetRect or GetSampleTimes during an Update)
    RECT rect_;
    QueuedFrame times_{};
    FramePtr picture_;  // the frame being drawn; allocated once
    FramePtr shown_;    // the frame drawn last, drawn again when the next one is late
    VideoConverter converter_;
};

}  // namespace vrel::mmstream
