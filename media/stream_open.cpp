#include "media/stream_open.h"

#include "app/app_state.h"

namespace {

HRESULT FailOpen(const char* text) {
    MessageBoxA(g_app.mainWindow, text, "Error", MB_OK);
    return E_FAIL;
}

// Video first, then sound, both before the file: the stream learns where each goes before
// it looks at the movie. Returns the failure text, or null when the file is open.
const char* PrepareStream(IAMMultiMediaStream* stream, const WCHAR* wideName) {
    if (FAILED(stream->Initialize(STREAMTYPE_READ, 0, nullptr))) {
        return "Initialize failed.";
    }
    if (FAILED(stream->AddMediaStream(g_app.directDraw3, &MSPID_PrimaryVideo, 0, nullptr))) {
        return "AddMediaStream failed.";
    }
    if (FAILED(stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER,
                                      nullptr))) {
        return "AddMediaStream failed.";
    }
    if (FAILED(stream->OpenFile(wideName, 0))) {
        return "File format not supported.";
    }
    return nullptr;
}

}  // namespace

HRESULT OpenMovieStream(const char* name) {
    WCHAR wideName[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, MAX_PATH);

    IAMMultiMediaStream* stream = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAMMultiMediaStream, reinterpret_cast<void**>(&stream)))) {
        return FailOpen(
            "Could not create a CLSID_MultiMediaStream object\n"
            "Check you have run regsvr32 amstream.dll\n");
    }
    if (const char* failure = PrepareStream(stream, wideName)) {
        // Released before the box: its modal loop must not run while the stream lives.
        stream->Release();
        return FailOpen(failure);
    }
    g_app.mmStream = stream;
    return S_OK;
}
