// Multimedia streaming: the multimedia stream, its media streams and samples, and the
// DirectDraw flavour of both, in the platform's vtable order.
#pragma once

#include "ddraw.h"

using STREAM_TIME = LONGLONG;  // 100 ns units
using MSPID = GUID;
using REFMSPID = const MSPID&;
using PAPCFUNC = void*;

enum STREAM_TYPE { STREAMTYPE_READ = 0, STREAMTYPE_WRITE = 1, STREAMTYPE_TRANSFORM = 2 };
enum STREAM_STATE { STREAMSTATE_STOP = 0, STREAMSTATE_RUN = 1 };

constexpr DWORD AMMSF_ADDDEFAULTRENDERER = 0x1;
constexpr DWORD AMMSF_CREATEPEER = 0x2;
constexpr DWORD AMMSF_STOPIFNOSAMPLES = 0x4;
constexpr DWORD AMMSF_NOSTALL = 0x8;

constexpr HRESULT MS_S_PENDING = 0x00040001;
constexpr HRESULT MS_S_NOUPDATE = 0x00040002;
constexpr HRESULT MS_S_ENDOFSTREAM = 0x00040003;
constexpr HRESULT MS_E_SAMPLEALLOC = static_cast<HRESULT>(0x80040401);
constexpr HRESULT MS_E_PURPOSEID = static_cast<HRESULT>(0x80040402);
constexpr HRESULT MS_E_NOSTREAM = static_cast<HRESULT>(0x80040403);
constexpr HRESULT MS_E_NOSEEKING = static_cast<HRESULT>(0x80040404);
constexpr HRESULT MS_E_INCOMPATIBLE = static_cast<HRESULT>(0x80040405);
constexpr HRESULT MS_E_BUSY = static_cast<HRESULT>(0x80040406);
constexpr HRESULT MS_E_NOTINIT = static_cast<HRESULT>(0x80040407);
constexpr HRESULT MS_E_SOURCEALREADYDEFINED = static_cast<HRESULT>(0x80040408);
constexpr HRESULT MS_E_INVALIDSTREAMTYPE = static_cast<HRESULT>(0x80040409);
constexpr HRESULT MS_E_NOTRUNNING = static_cast<HRESULT>(0x8004040A);
// OpenFile's results: a missing file is HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); a file
// that is there but holds nothing playable is one of these.
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022F);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265);

inline constexpr CLSID CLSID_AMMultiMediaStream = {
    0x49C47CE5, 0x9BA4, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};
inline constexpr IID IID_IAMMultiMediaStream = {
    0xBEBE595C, 0x9A6F, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IMultiMediaStream = {
    0xB502D1BC, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IMediaStream = {
    0xB502D1BD, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IStreamSample = {
    0xB502D1BE, 0x9A57, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr MSPID MSPID_PrimaryVideo = {
    0xA35FF56A, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr MSPID MSPID_PrimaryAudio = {
    0xA35FF56B, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawMediaStream = {
    0xF4104FCE, 0x9A70, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr IID IID_IDirectDrawStreamSample = {
    0xF4104FCF, 0x9A70, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};

struct IMediaStream;
struct IStreamSample;
struct IDirectDrawStreamSample;
// Filter-graph and moniker types are only passed through, always null here.
struct IGraphBuilder;
struct IMediaStreamFilter;
struct IBindCtx;
struct IMoniker;

struct IMultiMediaStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInformation(DWORD* flags, STREAM_TYPE* type) = 0;
    // MS_E_NOSTREAM when no media stream has that purpose.
    virtual HRESULT STDMETHODCALLTYPE GetMediaStream(REFMSPID purpose, IMediaStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumMediaStreams(LONG index, IMediaStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(STREAM_STATE* state) = 0;
    // Playback and sound halt (STOP) or go on (RUN) from the current position.
    virtual HRESULT STDMETHODCALLTYPE SetState(STREAM_STATE state) = 0;
    // The current position, also while stopped.
    virtual HRESULT STDMETHODCALLTYPE GetTime(STREAM_TIME* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDuration(STREAM_TIME* duration) = 0;
    // The next frame delivered is the one due at the new position.
    virtual HRESULT STDMETHODCALLTYPE Seek(STREAM_TIME time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEndOfStreamEventHandle(HANDLE* event) = 0;
};

struct IAMMultiMediaStream : IMultiMediaStream {
    virtual HRESULT STDMETHODCALLTYPE Initialize(STREAM_TYPE type, DWORD flags,
                                                 IGraphBuilder* graph) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFilterGraph(IGraphBuilder** graph) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFilter(IMediaStreamFilter** filter) = 0;
    // Video on a DirectDraw object (object = IDirectDraw or IDirectDraw3), or audio on the
    // default renderer (object null, AMMSF_ADDDEFAULTRENDERER, result null).
    virtual HRESULT STDMETHODCALLTYPE AddMediaStream(IUnknown* object, const MSPID* purpose,
                                                     DWORD flags, IMediaStream** result) = 0;
    // Negative when the file is missing or cannot be played.
    virtual HRESULT STDMETHODCALLTYPE OpenFile(LPCWSTR fileName, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenMoniker(IBindCtx* context, IMoniker* moniker,
                                                  DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Render(DWORD flags) = 0;
};

struct IMediaStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetMultiMediaStream(IMultiMediaStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInformation(MSPID* purpose, STREAM_TYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSameFormat(IMediaStream* other, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE AllocateSample(DWORD flags, IStreamSample** sample) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSharedSample(IStreamSample* existing, DWORD flags,
                                                         IStreamSample** sample) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendEndOfStream(DWORD flags) = 0;
};

struct IStreamSample : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetMediaStream(IMediaStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSampleTimes(STREAM_TIME* start, STREAM_TIME* end,
                                                     STREAM_TIME* current) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSampleTimes(const STREAM_TIME* start,
                                                     const STREAM_TIME* end) = 0;
    // Synchronous with flags 0: S_OK once the next frame is in the sample, MS_S_ENDOFSTREAM
    // after the last one, MS_E_NOTRUNNING at once on a stream that is not running.
    virtual HRESULT STDMETHODCALLTYPE Update(DWORD flags, HANDLE event, PAPCFUNC apc,
                                             DWORD apcData) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompletionStatus(DWORD flags, DWORD milliseconds) = 0;
};

struct IDirectDrawMediaStream : IMediaStream {
    // The frame's size and the display's pixel format; MS_E_NOSTREAM with no picture.
    virtual HRESULT STDMETHODCALLTYPE GetFormat(DDSURFACEDESC* current,
                                                IDirectDrawPalette** palette,
                                                DDSURFACEDESC* desired, DWORD* flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFormat(const DDSURFACEDESC* format,
                                                IDirectDrawPalette* palette) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDirectDraw(IDirectDraw** directDraw) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDirectDraw(IDirectDraw* directDraw) = 0;
    // A sample rendering into rect of surface; DDERR_INVALIDRECT when it does not fit.
    virtual HRESULT STDMETHODCALLTYPE CreateSample(IDirectDrawSurface* surface, const RECT* rect,
                                                   DWORD flags,
                                                   IDirectDrawStreamSample** sample) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimePerFrame(STREAM_TIME* frameTime) = 0;
};

struct IDirectDrawStreamSample : IStreamSample {
    virtual HRESULT STDMETHODCALLTYPE GetSurface(IDirectDrawSurface** surface, RECT* rect) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRect(const RECT* rect) = 0;
};
