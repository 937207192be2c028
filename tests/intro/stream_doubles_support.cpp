// The multimedia-stream doubles: the stream, its video media stream (IMediaStream and
// IDirectDrawMediaStream as two faces of one object) and the sample. They play a movie of
// Script().movieFrames frames at 25 per second: the position moves one frame per delivered
// Update, GetTime and Seek work in whole frames, and a stopped stream answers
// MS_E_NOTRUNNING, as the platform's does.
#include <memory>

#include "tests/intro/double_base_support.h"

namespace intro_test {
namespace {

int g_lastGeneration = 0;

// What a stream and everything made from it share (not a reference: each object lives
// on its own count).
struct Playback {
    int generation = 0;
    bool running = false;
    int frame = 0;  // the next frame to deliver
};

std::string IidName(REFIID iid) {
    if (iid == IID_IUnknown) {
        return "IUnknown";
    }
    if (iid == IID_IAMMultiMediaStream) {
        return "IAMMultiMediaStream";
    }
    if (iid == IID_IMultiMediaStream) {
        return "IMultiMediaStream";
    }
    if (iid == IID_IMediaStream) {
        return "IMediaStream";
    }
    if (iid == IID_IDirectDrawMediaStream) {
        return "IDirectDrawMediaStream";
    }
    return iid == IID_IDirectDrawStreamSample ? "IDirectDrawStreamSample" : "other";
}

std::string PurposeName(const MSPID* purpose) {
    if (purpose == nullptr) {
        return "null";
    }
    if (*purpose == MSPID_PrimaryVideo) {
        return "video";
    }
    return *purpose == MSPID_PrimaryAudio ? "audio" : "other";
}

std::string Narrow(LPCWSTR wide) {
    std::string text;
    for (; wide != nullptr && *wide != 0; ++wide) {
        text += *wide < 0x80 ? static_cast<char>(*wide) : '?';
    }
    return wide == nullptr ? "null" : text;
}

// ---- The sample. ----

class SampleDouble final : public IDirectDrawStreamSample, public DoubleObject {
  public:
    SampleDouble(std::shared_ptr<Playback> playback, IDirectDrawSurface* surface, RECT rect)
        : playback_(std::move(playback)),
          name_("sample" + std::to_string(playback_->generation)),
          surface_(surface),
          rect_(rect) {
        RegisterName(static_cast<IDirectDrawStreamSample*>(this), name_);
    }
    ~SampleDouble() override { ForgetName(static_cast<IDirectDrawStreamSample*>(this)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        LogCall(name_, "QueryInterface(" + IidName(iid) + ")");
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IStreamSample && iid != IID_IDirectDrawStreamSample) {
            return E_NOINTERFACE;
        }
        AddRefObject();
        *out = static_cast<IDirectDrawStreamSample*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(name_); }

    HRESULT STDMETHODCALLTYPE Update(DWORD flags, HANDLE event, PAPCFUNC apc,
                                     DWORD apcData) override {
        const bool usual = flags == 0 && event == nullptr && apc == nullptr && apcData == 0;
        std::string outcome;
        const HRESULT result = Deliver(&outcome);
        LogCall(name_,
                std::string("Update") + (usual ? "" : "(unexpected arguments)") + " -> " + outcome);
        return result;
    }

    VREL_DOUBLE_UNUSED(name_, GetMediaStream, IMediaStream**)
    VREL_DOUBLE_UNUSED(name_, GetSampleTimes, STREAM_TIME*, STREAM_TIME*, STREAM_TIME*)
    VREL_DOUBLE_UNUSED(name_, SetSampleTimes, const STREAM_TIME*, const STREAM_TIME*)
    VREL_DOUBLE_UNUSED(name_, CompletionStatus, DWORD, DWORD)
    VREL_DOUBLE_UNUSED(name_, GetSurface, IDirectDrawSurface**, RECT*)
    VREL_DOUBLE_UNUSED(name_, SetRect, const RECT*)

  private:
    // The scripted result first, else what the movie's state gives.
    HRESULT Deliver(std::string* outcome) {
        if (!Script().updates.empty()) {
            const HRESULT result = Script().updates.front();
            Script().updates.pop_front();
            *outcome = "scripted " + Hex(static_cast<uint32_t>(result));
            return result;
        }
        if (!playback_->running) {
            *outcome = "not running";
            return MS_E_NOTRUNNING;
        }
        if (playback_->frame >= Script().movieFrames) {
            *outcome = "end";
            return MS_S_ENDOFSTREAM;
        }
        FillSurfaceRect(surface_, rect_, kMovieBackground);
        *outcome = "frame " + std::to_string(playback_->frame++);
        return S_OK;
    }

    const std::shared_ptr<Playback> playback_;
    const std::string name_;
    IDirectDrawSurface* const surface_;  // not held: looked up by name when painting
    const RECT rect_;
};

// ---- The video media stream: one identity, two faces. ----

class MediaStreamDouble;

template <typename Interface>
class MediaFace : public Interface {
  public:
    MediaFace(MediaStreamDouble* owner, std::string name) : owner_(owner), name_(std::move(name)) {
        RegisterName(static_cast<Interface*>(this), name_);
    }
    ~MediaFace() { ForgetName(static_cast<Interface*>(this)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    VREL_DOUBLE_UNUSED(this->name_, GetMultiMediaStream, IMultiMediaStream**)
    VREL_DOUBLE_UNUSED(this->name_, GetInformation, MSPID*, STREAM_TYPE*)
    VREL_DOUBLE_UNUSED(this->name_, SetSameFormat, IMediaStream*, DWORD)
    VREL_DOUBLE_UNUSED(this->name_, AllocateSample, DWORD, IStreamSample**)
    VREL_DOUBLE_UNUSED(this->name_, CreateSharedSample, IStreamSample*, DWORD, IStreamSample**)
    VREL_DOUBLE_UNUSED(this->name_, SendEndOfStream, DWORD)

  protected:
    MediaStreamDouble* const owner_;
    const std::string name_;
};

class DirectDrawMediaFace final : public MediaFace<IDirectDrawMediaStream> {
  public:
    DirectDrawMediaFace(MediaStreamDouble* owner, std::string name,
                        std::shared_ptr<Playback> playback)
        : MediaFace(owner, std::move(name)), playback_(std::move(playback)) {}

    // Refuses any dwSize but this build's sizeof(DDSURFACEDESC).
    HRESULT STDMETHODCALLTYPE GetFormat(DDSURFACEDESC* current, IDirectDrawPalette** palette,
                                        DDSURFACEDESC* desired, DWORD* flags) override {
        const HRESULT result =
            LoggedResult("ddStream", name_,
                         "GetFormat(size=" + std::to_string(current ? current->dwSize : 0) + "," +
                             NameOf(palette) + "," + NameOf(desired) + "," + NameOf(flags) + ")",
                         "GetFormat");
        if (current == nullptr || current->dwSize != sizeof(DDSURFACEDESC)) {
            return DDERR_INVALIDPARAMS;
        }
        if (SUCCEEDED(result)) {
            current->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
            current->dwWidth = Script().movieWidth;
            current->dwHeight = Script().movieHeight;
            current->ddpfPixelFormat = Script().pixelFormat;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE CreateSample(IDirectDrawSurface* surface, const RECT* rect,
                                           DWORD flags, IDirectDrawStreamSample** sample) override {
        const HRESULT result = LoggedResult("ddStream", name_,
                                            "CreateSample(" + NameOf(surface) + "," +
                                                RectText(rect) + "," + std::to_string(flags) + ")",
                                            "CreateSample");
        if (SUCCEEDED(result)) {
            *sample = new SampleDouble(playback_, surface, rect ? *rect : RECT{});
        }
        return result;
    }
    VREL_DOUBLE_UNUSED(name_, SetFormat, const DDSURFACEDESC*, IDirectDrawPalette*)
    VREL_DOUBLE_UNUSED(name_, GetDirectDraw, IDirectDraw**)
    VREL_DOUBLE_UNUSED(name_, SetDirectDraw, IDirectDraw*)
    VREL_DOUBLE_UNUSED(name_, GetTimePerFrame, STREAM_TIME*)

  private:
    const std::shared_ptr<Playback> playback_;
};

class MediaStreamDouble final : public DoubleObject {
  public:
    explicit MediaStreamDouble(const std::shared_ptr<Playback>& playback)
        : video(this, "video" + std::to_string(playback->generation)),
          ddStream(this, "ddStream" + std::to_string(playback->generation), playback) {}

    MediaFace<IMediaStream> video;
    DirectDrawMediaFace ddStream;
};

template <typename Interface>
HRESULT MediaFace<Interface>::QueryInterface(REFIID iid, void** out) {
    const std::string kind = name_.rfind("video", 0) == 0 ? "video" : "ddStream";
    const HRESULT result =
        LoggedResult(kind, name_, "QueryInterface(" + IidName(iid) + ")", "QueryInterface");
    *out = nullptr;
    if (FAILED(result)) {
        return result;
    }
    if (iid == IID_IUnknown || iid == IID_IMediaStream) {
        *out = static_cast<IMediaStream*>(&owner_->video);
    } else if (iid == IID_IDirectDrawMediaStream) {
        *out = static_cast<IDirectDrawMediaStream*>(&owner_->ddStream);
    } else {
        return E_NOINTERFACE;
    }
    owner_->AddRefObject();
    return S_OK;
}

template <typename Interface>
ULONG MediaFace<Interface>::AddRef() {
    LogCall(name_, "AddRef");
    return owner_->AddRefObject();
}

template <typename Interface>
ULONG MediaFace<Interface>::Release() {
    return owner_->ReleaseObject(name_);
}

// ---- The multimedia stream. ----

class StreamDouble final : public IAMMultiMediaStream, public DoubleObject {
  public:
    StreamDouble() : playback_(std::make_shared<Playback>()) {
        playback_->generation = ++g_lastGeneration;
        name_ = "stream" + std::to_string(playback_->generation);
        RegisterName(static_cast<IAMMultiMediaStream*>(this), name_);
    }
    ~StreamDouble() override {
        ForgetName(static_cast<IAMMultiMediaStream*>(this));
        playback_->running = false;  // the last reference of a running stream stops it
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMultiMediaStream && iid != IID_IAMMultiMediaStream) {
            return E_NOINTERFACE;
        }
        AddRefObject();
        *out = static_cast<IAMMultiMediaStream*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(name_); }

    HRESULT STDMETHODCALLTYPE Initialize(STREAM_TYPE type, DWORD flags,
                                         IGraphBuilder* graph) override {
        return Logged("Initialize(" + std::to_string(type) + "," + std::to_string(flags) + "," +
                          NameOf(graph) + ")",
                      "Initialize");
    }
    HRESULT STDMETHODCALLTYPE AddMediaStream(IUnknown* object, const MSPID* purpose, DWORD flags,
                                             IMediaStream** result) override {
        return Logged("AddMediaStream(" + NameOf(object) + "," + PurposeName(purpose) + "," +
                          std::to_string(flags) + "," + NameOf(result) + ")",
                      "AddMediaStream(" + PurposeName(purpose) + ")");
    }
    HRESULT STDMETHODCALLTYPE OpenFile(LPCWSTR fileName, DWORD flags) override {
        return Logged("OpenFile(" + Narrow(fileName) + "," + std::to_string(flags) + ")",
                      "OpenFile");
    }
    HRESULT STDMETHODCALLTYPE GetMediaStream(REFMSPID purpose, IMediaStream** stream) override {
        const HRESULT result =
            Logged("GetMediaStream(" + PurposeName(&purpose) + ")", "GetMediaStream");
        if (SUCCEEDED(result)) {
            *stream = &(new MediaStreamDouble(playback_))->video;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE SetState(STREAM_STATE state) override {
        const HRESULT result =
            Logged(std::string("SetState(") + (state == STREAMSTATE_RUN ? "RUN" : "STOP") + ")",
                   std::string("SetState(") + (state == STREAMSTATE_RUN ? "RUN" : "STOP") + ")");
        if (SUCCEEDED(result)) {
            playback_->running = state == STREAMSTATE_RUN;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetTime(STREAM_TIME* time) override {
        const HRESULT result = Logged("GetTime", "GetTime");
        *time = playback_->frame * kFrameTime;
        return result;
    }
    HRESULT STDMETHODCALLTYPE Seek(STREAM_TIME time) override {
        const HRESULT result = Logged("Seek(" + std::to_string(time) + ")", "Seek");
        playback_->frame = static_cast<int>(time / kFrameTime);
        return result;
    }

    VREL_DOUBLE_UNUSED(name_, GetInformation, DWORD*, STREAM_TYPE*)
    VREL_DOUBLE_UNUSED(name_, EnumMediaStreams, LONG, IMediaStream**)
    VREL_DOUBLE_UNUSED(name_, GetState, STREAM_STATE*)
    VREL_DOUBLE_UNUSED(name_, GetDuration, STREAM_TIME*)
    VREL_DOUBLE_UNUSED(name_, GetEndOfStreamEventHandle, HANDLE*)
    VREL_DOUBLE_UNUSED(name_, GetFilterGraph, IGraphBuilder**)
    VREL_DOUBLE_UNUSED(name_, GetFilter, IMediaStreamFilter**)
    VREL_DOUBLE_UNUSED(name_, OpenMoniker, IBindCtx*, IMoniker*, DWORD)
    VREL_DOUBLE_UNUSED(name_, Render, DWORD)

  private:
    HRESULT Logged(const std::string& call, const std::string& method) {
        return LoggedResult("stream", name_, call, method);
    }

    std::shared_ptr<Playback> playback_;
    std::string name_;
};

}  // namespace

IClassFactory* NewStreamClassFactory() {
    return new LoggedClassFactory<StreamDouble>("streamclass", IidName);
}

void ResetStreamGenerations() {
    g_lastGeneration = 0;
}

}  // namespace intro_test
