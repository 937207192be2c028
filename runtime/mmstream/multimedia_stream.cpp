#include "runtime/mmstream/multimedia_stream.h"

#include "runtime/mmstream/ddraw_media_stream.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "runtime/mmstream/wide_text.h"

namespace vrel::mmstream {
namespace {

constexpr DWORD MMSSF_HASCLOCK = 0x1;
constexpr DWORD MMSSF_SUPPORTSEEK = 0x2;
constexpr DWORD AMMSF_NOGRAPHTHREAD = 0x1;
constexpr DWORD kKnownAddFlags =
    AMMSF_ADDDEFAULTRENDERER | AMMSF_CREATEPEER | AMMSF_STOPIFNOSAMPLES | AMMSF_NOSTALL;

}  // namespace

MultiMediaStream::MultiMediaStream() : playback_(Playback::Create()) {}

MultiMediaStream::~MultiMediaStream() {
    playback_->Shutdown();
    if (video_ != nullptr) {
        video_->DetachParent();
        video_->Release();
    }
}

HRESULT MultiMediaStream::GetInformation(DWORD* flags, STREAM_TYPE* type) {
    if (flags != nullptr) {
        *flags = MMSSF_HASCLOCK | MMSSF_SUPPORTSEEK;
    }
    if (type != nullptr) {
        *type = STREAMTYPE_READ;
    }
    return S_OK;
}

// The default audio renderer is no media stream: only the picture's can be asked for.
HRESULT MultiMediaStream::GetMediaStream(REFMSPID purpose, IMediaStream** stream) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    *stream = nullptr;
    std::lock_guard lock(mutex_);
    if (purpose != MSPID_PrimaryVideo || video_ == nullptr) {
        return MS_E_NOSTREAM;
    }
    return video_->QueryInterface(IID_IMediaStream, reinterpret_cast<void**>(stream));
}

HRESULT MultiMediaStream::EnumMediaStreams(LONG index, IMediaStream** stream) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    *stream = nullptr;
    std::lock_guard lock(mutex_);
    if (index != 0 || video_ == nullptr) {
        return S_FALSE;
    }
    return video_->QueryInterface(IID_IMediaStream, reinterpret_cast<void**>(stream));
}

HRESULT MultiMediaStream::GetState(STREAM_STATE* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = playback_->Running() ? STREAMSTATE_RUN : STREAMSTATE_STOP;
    return S_OK;
}

HRESULT MultiMediaStream::CheckOpen() const {
    std::lock_guard lock(mutex_);
    return fileOpen_ ? S_OK : MS_E_NOTINIT;
}

HRESULT MultiMediaStream::SetState(STREAM_STATE state) {
    if (state != STREAMSTATE_STOP && state != STREAMSTATE_RUN) {
        return E_INVALIDARG;
    }
    if (HRESULT open = CheckOpen(); FAILED(open)) {
        return open;
    }
    playback_->SetRunning(state == STREAMSTATE_RUN);
    return S_OK;
}

HRESULT MultiMediaStream::GetTime(STREAM_TIME* time) {
    if (time == nullptr) {
        return E_POINTER;
    }
    *time = 0;
    if (HRESULT open = CheckOpen(); FAILED(open)) {
        return open;
    }
    *time = playback_->Time().count();
    return S_OK;
}

HRESULT MultiMediaStream::GetDuration(STREAM_TIME* duration) {
    if (duration == nullptr) {
        return E_POINTER;
    }
    *duration = 0;
    if (HRESULT open = CheckOpen(); FAILED(open)) {
        return open;
    }
    std::optional<StreamTicks> known = playback_->Duration();
    if (!known) {
        return S_FALSE;  // the file does not say
    }
    *duration = known->count();
    return S_OK;
}

HRESULT MultiMediaStream::Seek(STREAM_TIME time) {
    if (time < 0) {
        return E_INVALIDARG;
    }
    if (HRESULT open = CheckOpen(); FAILED(open)) {
        return open;
    }
    playback_->Seek(StreamTicks{time});
    return S_OK;
}

HRESULT MultiMediaStream::GetEndOfStreamEventHandle(HANDLE* event) {
    if (event != nullptr) {
        *event = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT MultiMediaStream::Initialize(STREAM_TYPE type, DWORD flags, IGraphBuilder* graph) {
    if (type == STREAMTYPE_WRITE || type == STREAMTYPE_TRANSFORM || graph != nullptr) {
        return E_NOTIMPL;  // only reading a file, with no filter graph of the caller's
    }
    if (type != STREAMTYPE_READ || (flags & ~AMMSF_NOGRAPHTHREAD) != 0) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(mutex_);
    initialized_ = true;
    return S_OK;
}

HRESULT MultiMediaStream::GetFilterGraph(IGraphBuilder** graph) {
    if (graph == nullptr) {
        return E_POINTER;
    }
    *graph = nullptr;
    return E_NOTIMPL;
}

HRESULT MultiMediaStream::GetFilter(IMediaStreamFilter** filter) {
    if (filter == nullptr) {
        return E_POINTER;
    }
    *filter = nullptr;
    return E_NOTIMPL;
}

HRESULT MultiMediaStream::AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags,
                                         IMediaStream** result) {
    if (result != nullptr) {
        *result = nullptr;
    }
    if (purpose == nullptr) {
        return E_POINTER;
    }
    if ((flags & ~kKnownAddFlags) != 0) {
        return E_INVALIDARG;
    }
    {
        std::lock_guard lock(mutex_);
        if (!initialized_) {
            return MS_E_NOTINIT;
        }
        if (fileOpen_) {
            return MS_E_SOURCEALREADYDEFINED;
        }
    }
    if (flags & AMMSF_ADDDEFAULTRENDERER) {
        // The default renderer exists for sound only.
        return *purpose == MSPID_PrimaryAudio ? AddDefaultAudioRenderer(object, result)
                                              : MS_E_PURPOSEID;
    }
    if (*purpose == MSPID_PrimaryVideo) {
        return AddVideoStream(object, result);
    }
    // Sound as samples for the caller (an audio media stream) is not offered.
    return *purpose == MSPID_PrimaryAudio ? E_NOTIMPL : MS_E_PURPOSEID;
}

HRESULT MultiMediaStream::AddDefaultAudioRenderer(IUnknown* object, IMediaStream** result) {
    if (object != nullptr || result != nullptr) {
        return E_INVALIDARG;
    }
    std::lock_guard lock(mutex_);
    if (audioRenderer_) {
        return MS_E_PURPOSEID;
    }
    audioRenderer_ = true;
    return S_OK;
}

HRESULT MultiMediaStream::AddVideoStream(IUnknown* object, IMediaStream** result) {
    if (object != nullptr) {
        vrel::com::ComPtr<IUnknown> probe;
        if (FAILED(
                object->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(probe.Put()))) &&
            FAILED(
                object->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(probe.Put())))) {
            return E_NOINTERFACE;  // video renders through DirectDraw only
        }
    }
    std::lock_guard lock(mutex_);
    if (video_ != nullptr) {
        return MS_E_PURPOSEID;
    }
    video_ = new DirectDrawMediaStream(playback_, this, object);
    if (result != nullptr) {
        return video_->QueryInterface(IID_IMediaStream, reinterpret_cast<void**>(result));
    }
    return S_OK;
}

HRESULT MultiMediaStream::OpenFile(LPCWSTR fileName, DWORD flags) {
    if (fileName == nullptr) {
        return E_POINTER;
    }
    if (flags != 0) {
        return E_NOTIMPL;  // rendering options of a filter graph: there is none
    }
    std::lock_guard opening(openMutex_);
    bool wantVideo = false;
    bool wantAudio = false;
    {
        std::lock_guard lock(mutex_);
        if (!initialized_) {
            return MS_E_NOTINIT;
        }
        if (fileOpen_) {
            return MS_E_SOURCEALREADYDEFINED;
        }
        wantVideo = video_ != nullptr;
        wantAudio = audioRenderer_;
    }
    HRESULT result = playback_->Open(Utf16ToUtf8(fileName), wantVideo, wantAudio);
    if (SUCCEEDED(result)) {
        std::lock_guard lock(mutex_);
        fileOpen_ = true;
    }
    return result;
}

HRESULT MultiMediaStream::OpenMoniker(IBindCtx* /*context*/, IMoniker* /*moniker*/,
                                      DWORD /*flags*/) {
    return E_NOTIMPL;
}

HRESULT MultiMediaStream::Render(DWORD /*flags*/) {
    return E_NOTIMPL;
}

HRESULT CreateAMMultiMediaStream(REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    MultiMediaStream* stream = new MultiMediaStream();
    HRESULT result = stream->QueryInterface(iid, out);
    stream->Release();
    return result;
}

}  // namespace vrel::mmstream
