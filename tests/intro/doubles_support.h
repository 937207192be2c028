// Scripted stand-ins for the DirectDraw factory and the multimedia stream, registered with
// CoRegisterClassObject in front of the runtime's own classes, so the intro's real code
// runs against them. Every call is written to the CallLog; any method can be told to fail.
//
// Log names: ddclass/streamclass (the class factories), factory, dd (IDirectDraw), dd3
// (IDirectDraw3 of the same object), primary, offscreen, clipper; stream<N>, video<N>
// (IMediaStream), ddStream<N> (IDirectDrawMediaStream of the same object) and sample<N>
// for the N-th stream made. The doubles hold no references to each other, so every
// reference count is the intro's own.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/mmstream.h"

namespace intro_test {

constexpr STREAM_TIME kFrameTime = 400000;  // 25 frames per second in 100 ns units
constexpr uint32_t kMovieBackground = 0x00102030;
constexpr uint32_t kNoInk = 0xFFFFFFFF;

DDPIXELFORMAT Xrgb32Format();

struct DoubleScript {
    // "<name>.<Method>" (name without its number) -> result returned instead of success,
    // e.g. {"dd.SetDisplayMode", S_FALSE} or {"ddclass.CreateInstance", E_OUTOFMEMORY}.
    std::map<std::string, HRESULT> results;
    // What the primary's GetSurfaceDesc reports.
    DWORD screenWidth = 640;
    DWORD screenHeight = 480;
    DDPIXELFORMAT pixelFormat = Xrgb32Format();
    // The movie every stream opens.
    DWORD movieWidth = 320;
    DWORD movieHeight = 240;
    int movieFrames = 1000;
    // Results for the next Update calls, taken one per call before the movie's own.
    std::deque<HRESULT> updates;
    // Runs after every logged call, on the caller's thread, with the entry just logged.
    std::function<void(const std::string& entry)> onCall;
};

// The script of the current test; Reset() puts the defaults back.
DoubleScript& Script();
void ResetScript();

// Registers both classes in front of the runtime's; Unregister revokes them.
void RegisterDoubles();
void UnregisterDoubles();

// The descriptions CreateSurface received, by surface name ("primary", "offscreen").
DDSURFACEDESC CreatedDescription(const std::string& surface);
// For every device context the offscreen surface gave back: the colour drawn most often
// over the movie's background near the top-left (the text's full-coverage ink), or kNoInk.
std::vector<uint32_t> InkPerFrame();
// The bounding box of that ink in the last frame (empty when none).
RECT LastInkBounds();

}  // namespace intro_test
