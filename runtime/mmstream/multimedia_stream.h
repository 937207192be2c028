// The multimedia stream object (CLSID_AMMultiMediaStream): set up with Initialize,
// AddMediaStream and OpenFile, then run, stopped and sought. Its picture is reached through
// its DirectDraw media stream; its sound goes to the default renderer, which is no media
// stream of its own. Releasing the last reference stops everything and joins its threads.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"
#include "runtime/mmstream/playback.h"

namespace vrel::mmstream {

class DirectDrawMediaStream;

class MultiMediaStream final : public vrel::com::Object<MultiMediaStream, IAMMultiMediaStream> {
  public:
    MultiMediaStream();

    // A reference for a media stream asked for its parent; false once the last one is gone.
    using Object::TryAddRef;

    // IMultiMediaStream
    HRESULT STDMETHODCALLTYPE GetInformation(DWORD* flags, STREAM_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetMediaStream(REFMSPID purpose, IMediaStream** stream) override;
    HRESULT STDMETHODCALLTYPE EnumMediaStreams(LONG index, IMediaStream** stream) override;
    HRESULT STDMETHODCALLTYPE GetState(STREAM_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetState(STREAM_STATE state) override;
    HRESULT STDMETHODCALLTYPE GetTime(STREAM_TIME* time) override;
    HRESULT STDMETHODCALLTYPE GetDuration(STREAM_TIME* duration) override;
    HRESULT STDMETHODCALLTYPE Seek(STREAM_TIME time) override;
    HRESULT STDMETHODCALLTYPE GetEndOfStreamEventHandle(HANDLE* event) override;

    // IAMMultiMediaStream
    HRESULT STDMETHODCALLTYPE Initialize(STREAM_TYPE type, DWORD flags,
                                         IGraphBuilder* graph) override;
    HRESULT STDMETHODCALLTYPE GetFilterGraph(IGraphBuilder** graph) override;
    HRESULT STDMETHODCALLTYPE GetFilter(IMediaStreamFilter** filter) override;
    HRESULT STDMETHODCALLTYPE AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags,
                                             IMediaStream** result) override;
    HRESULT STDMETHODCALLTYPE OpenFile(LPCWSTR fileName, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE OpenMoniker(IBindCtx* context, IMoniker* moniker,
                                          DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Render(DWORD flags) override;

  private:
    friend Object;
    ~MultiMediaStream();
    std::array<vrel::com::InterfaceEntry, 2> Interfaces() {
        return {{{&IID_IAMMultiMediaStream, this}, {&IID_IMultiMediaStream, this}}};
    }
    HRESULT AddVideoStream(IUnknown* object, IMediaStream** result);
    HRESULT AddDefaultAudioRenderer(IUnknown* object, IMediaStream** result);
    // S_OK when the stream has a file open; MS_E_NOTINIT otherwise.
    HRESULT CheckOpen() const;

    std::shared_ptr<Playback> playback_;
    std::mutex openMutex_;      // one OpenFile at a time
    mutable std::mutex mutex_;  // the set-up state below
    bool initialized_ = false;
    bool audioRenderer_ = false;
    bool fileOpen_ = false;
    DirectDrawMediaStream* video_ = nullptr;  // one reference, given back on destruction
};

}  // namespace vrel::mmstream
