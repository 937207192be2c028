// Shared pieces of the multimedia stream contract tests: COM and the real DirectDraw set up
// as the intro sets them up, streams opened as the intro opens them, surfaces read back, and
// a check at the end that every COM object is gone.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"

namespace vrel::mmstream::testing {

using com::ComPtr;
using Clock = std::chrono::steady_clock;
constexpr STREAM_TIME kFrameTicks = 400'000;  // 25 frames per second

// How many of `frames` pictures may be skipped for being late: on a busy machine a few; in a
// sanitizer build (several times slower) up to half.
inline int SkipAllowance(int frames) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    return frames / 2;
#else
    return frames / 10;
#endif
}

// Readable names for failing checks: "MS_E_NOTRUNNING (0x8004040a)".
std::string ResultName(HRESULT hr);

// What the intro holds of an opened movie.
struct OpenedStream {
    ComPtr<IAMMultiMediaStream> stream;
    ComPtr<IDirectDrawMediaStream> video;
};

// One Update's outcome: its result, the marker it left, and the stream time when it returned.
struct Delivery {
    HRESULT result;
    int marker;
    STREAM_TIME time;
};

class StreamTest : public ::testing::Test {
  protected:
    // COM on; DirectDraw from the factory, display 640 x 480 x 32; headless SDL drivers.
    void SetUp() override;
    // Drops the fixture's references, then checks that every COM object is gone.
    void TearDown() override;

    // Opens `path` as the intro does: Initialize, picture on IDirectDraw3, sound on the
    // default renderer (unless withSound is false), OpenFile. The first failing result.
    HRESULT Open(const std::string& path, OpenedStream* out, bool withSound = true);
    ComPtr<IDirectDrawSurface> Offscreen(int width, int height);
    ComPtr<IDirectDrawStreamSample> MakeSample(IDirectDrawMediaStream* video,
                                               IDirectDrawSurface* surface, const RECT& rect);

    // The surface's pixels, read through Lock.
    std::vector<uint32_t> Pixels(IDirectDrawSurface* surface, int* width, int* height);
    void Fill(IDirectDrawSurface* surface, uint32_t color);
    // The frame marker shown in `rect` of the surface, -1 when none.
    int MarkerIn(IDirectDrawSurface* surface, const RECT& rect);
    // Update, then read the marker in `rect` and the stream's time.
    Delivery UpdateAndRead(IDirectDrawStreamSample* sample, IMultiMediaStream* stream,
                           IDirectDrawSurface* surface, const RECT& rect);
    static STREAM_TIME TimeOf(IMultiMediaStream* stream);

    ComPtr<IDirectDrawFactory> factory;
    ComPtr<IDirectDraw> dd;
    ComPtr<IDirectDraw3> dd3;

  private:
    long liveAtStart_ = 0;
};

}  // namespace vrel::mmstream::testing
