#include "app/commands.h"

#include "app/app_state.h"
#include "app/shutdown.h"
#include "media/render_binding.h"
#include "media/stream_open.h"
#include "present/frame_step.h"

namespace {

// Gives back the current stream objects, then opens and binds the movie again. On failure
// the failing step has shown its message and teardown has run.
bool OpenAndBind() {
    ReleaseInterface(g_app.mmStream);  // the last reference: a running stream stops
    ReleaseInterface(g_app.sample);
    ReleaseInterface(g_app.ddStream);
    ReleaseInterface(g_app.videoStream);
    if (FAILED(OpenMovieStream(MOVIE_FILE_NAME)) || FAILED(InitRenderToSurface())) {
        Shutdown();
        return false;
    }
    return true;
}

// A stream that refuses to run ends the program without a message of its own.
void RunOrTearDown() {
    if (g_app.mmStream == nullptr || FAILED(g_app.mmStream->SetState(STREAMSTATE_RUN))) {
        Shutdown();
    }
}

}  // namespace

void Open(HWND /*window*/) {
    if (g_app.active && g_app.loaded && g_app.mmStream != nullptr) {
        g_app.mmStream->SetState(STREAMSTATE_STOP);
    }
    if (!OpenAndBind()) {
        return;
    }
    g_app.loaded = 1;
    g_app.active = 1;
    g_app.paused = 0;
    RunOrTearDown();
}

void Start(HWND window) {
    if (g_app.active && g_app.loaded) {
        return;  // already playing
    }
    if (g_app.paused) {
        if (g_app.mmStream != nullptr) {
            g_app.mmStream->Seek(g_app.savedTime);
            g_app.mmStream->SetState(STREAMSTATE_RUN);
            g_app.paused = 0;
            g_app.active = 1;
        }
        return;
    }
    if (!g_app.loaded) {
        MessageBoxA(window, "Please select a movie file first.", "Error", MB_OK);
        return;
    }
    // Stopped, or the window lost activation while playing: play afresh from the start.
    if (!OpenAndBind()) {
        return;
    }
    g_app.loaded = 1;
    g_app.active = 1;
    RunOrTearDown();
}

void Pause(HWND /*window*/) {
    if (g_app.paused || !g_app.loaded || g_app.mmStream == nullptr) {
        return;
    }
    g_app.mmStream->GetTime(&g_app.savedTime);
    g_app.mmStream->SetState(STREAMSTATE_STOP);
    g_app.active = 0;
    g_app.paused = 1;
}

void Stop(HWND /*window*/) {
    if (g_app.loaded && g_app.mmStream != nullptr) {
        g_app.mmStream->SetState(STREAMSTATE_STOP);
        g_app.savedTime = 0;
        g_app.mmStream->Seek(0);
        // Run for exactly one frame so the start of the movie is on screen.
        g_app.mmStream->SetState(STREAMSTATE_RUN);
        RenderFrame();
        if (g_app.mmStream != nullptr) {  // null when that frame ended in teardown
            g_app.mmStream->SetState(STREAMSTATE_STOP);
            g_app.savedTime = 0;
        }
    }
    g_app.active = 0;
}
