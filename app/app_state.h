// The intro's one process-wide record: every handle, rectangle, flag and interface the
// parts of the program share. Zero at process start; touched only by the loop's thread.
#pragma once

#include "platform/ddraw.h"
#include "platform/mmstream.h"

constexpr int COLOR_TABLE_SIZE = 192;

struct AppState {
    RECT screenRect;  // the client area in screen coordinates: where frames are blitted
    HWND mainWindow;
    COLORREF colorTable[COLOR_TABLE_SIZE];  // the text's hue cycle
    STREAM_TIME savedTime;                  // where Start resumes after Pause or Stop
    RECT movieRect;  // {0, 0, movie width, movie height} in the offscreen surface
    HINSTANCE instance;
    int active;          // frames are presented while this and loaded are set
    int loaded;          // a movie was opened and bound once; never cleared
    int paused;          // Pause stopped the stream; Start seeks to savedTime
    int comInitialised;  // display setup initialised COM and teardown has not undone it

    // Each holds one reference or is null.
    IDirectDraw* directDraw;
    IDirectDraw3* directDraw3;
    IDirectDrawFactory* ddFactory;
    IDirectDrawSurface* primarySurface;
    IDirectDrawSurface* offscreenSurface;
    IDirectDrawClipper* clipper;
    IAMMultiMediaStream* mmStream;
    IMediaStream* videoStream;
    IDirectDrawMediaStream* ddStream;
    IDirectDrawStreamSample* sample;

    int colorIndex;     // the table entry the next frame's text uses
    HFONT overlayFont;  // made by the first frame, reused by every later one
};

extern AppState g_app;
