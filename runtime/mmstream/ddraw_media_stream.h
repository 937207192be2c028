// The picture's media stream (MSPID_PrimaryVideo): its format, and samples that render
// frames into DirectDraw surfaces. It shares the playback with its multimedia stream and
// keeps working (answering that nothing runs) after that stream has gone.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"
#include "runtime/mmstream/playback.h"

namespace vrel::mmstream {

class MultiMediaStream;

class DirectDrawMediaStream final
    : public vrel::com::Object<DirectDrawMediaStream, IDirectDrawMediaStream> {
  public:
    // directDraw: an IDirectDraw or IDirectDraw3 (or null) whose display sets the format.
    DirectDrawMediaStream(std::shared_ptr<Playback> playback, MultiMediaStream* parent,
                          IUnknown* directDraw);

    // IMediaStream
    HRESULT STDMETHODCALLTYPE GetMultiMediaStream(IMultiMediaStream** stream) override;
    HRESULT STDMETHODCALLTYPE GetInformation(MSPID* purpose, STREAM_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE SetSameFormat(IMediaStream* other, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE AllocateSample(DWORD flags, IStreamSample** sample) override;
    HRESULT STDMETHODCALLTYPE CreateSharedSample(IStreamSample* existing, DWORD flags,
                                                 IStreamSample** sample) override;
    HRESULT STDMETHODCALLTYPE SendEndOfStream(DWORD flags) override;

    // IDirectDrawMediaStream
    HRESULT STDMETHODCALLTYPE GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette,
                                        DDSURFACEDESC* desired, DWORD* flags) override;
    HRESULT STDMETHODCALLTYPE SetFormat(const DDSURFACEDESC* format,
                                        IDirectDrawPalette* palette) override;
    HRESULT STDMETHODCALLTYPE GetDirectDraw(IDirectDraw** directDraw) override;
    HRESULT STDMETHODCALLTYPE SetDirectDraw(IDirectDraw* directDraw) override;
    HRESULT STDMETHODCALLTYPE CreateSample(IDirectDrawSurface* surface, const RECT* rect,
                                           DWORD flags, IDirectDrawStreamSample** sample) override;
    HRESULT STDMETHODCALLTYPE GetTimePerFrame(STREAM_TIME* frameTime) override;

    // The multimedia stream is going away.
    void DetachParent();
    Playback& GetPlayback() const { return *playback_; }
    // Claims the one picture consumer's place; false while another Update holds it.
    bool BeginUpdate() { return !updating_.exchange(true); }
    void EndUpdate() { updating_.store(false); }
    bool Updating() const { return updating_.load(); }

  private:
    friend Object;
    ~DirectDrawMediaStream() = default;
    std::array<vrel::com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IDirectDrawMediaStream, this}, {&IID_IMediaStream, this}}};
    }
    DDPIXELFORMAT DisplayFormat() const;
    void DescribeFormat(const VideoFormat& video, DDSURFACEDESC* desc) const;
    HRESULT CreateOwnSurface(IDirectDrawSurface** surface);

    std::shared_ptr<Playback> playback_;
    mutable std::mutex mutex_;  // parent_ and the DirectDraw objects
    MultiMediaStream* parent_;
    vrel::com::ComPtr<IDirectDraw> directDraw_;
    vrel::com::ComPtr<IDirectDraw3> directDraw3_;
    std::atomic<bool> updating_{false};
};

}  // namespace vrel::mmstream
