// Shared by the stream tests: movies made by the movie maker's code, the pictures the movie
// source makes of a file, and the stream opened as the intro opens it.
#pragma once

#include <gtest/gtest.h>

#include "common/fake_surface.h"
#include "platform/mmstream.h"
#include "runtime/mmstream/stream_time.h"

namespace vrel::mmstream::testing {

using com::ComPtr;
using test::FakeSurface;
constexpr STREAM_TIME kFrame = 400'000;  // 25 pictures a second

std::string Movie(const std::vector<std::string>& vrelmovieOptions);  // made once per build
bool MakeMovie(std::vector<std::string> vrelmovieOptions, const std::string& out, std::string* why);
inline std::string SoundAndPicture() {  // 320 x 240, 50 pictures, MPEG-1 + MP2 in MPEG-PS
    return Movie({"--seconds", "2"});
}
inline std::string PictureOnly() {
    return Movie({"--seconds", "2", "--no-audio"});
}
std::string Scratch(const std::string& name);  // in a folder of its own, removed at exit
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

struct Picture {
    StreamTicks start;
    int marker;  // -1: none readable
    bool flash;  // white above the marker
};
// Every picture the movie source makes of the file (as fast as it decodes), drawn at 320 x 240.
std::vector<Picture> SourcePictures(const std::string& path);

ComPtr<FakeSurface> Xrgb(int width, int height);
int MarkerIn(FakeSurface* surface, const RECT& rect);  // -1: none

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override;     // DirectDraw with the display at 640 x 480 x 32
    void TearDown() override;  // checks that every COM object is gone
    // Initialize, the picture on IDirectDraw3, the sound on the default renderer (unless not
    // withSound), OpenFile: the first failure. Fills `stream` and `video`.
    HRESULT Open(const std::string& path, bool withSound = true);
    // A sample on the whole surface, from `from` (or `video`).
    ComPtr<IDirectDrawStreamSample> Sample(IDirectDrawSurface* surface,
                                           IDirectDrawMediaStream* from = nullptr);
    static HRESULT Update(IDirectDrawStreamSample* sample) {  // the intro's: it waits
        return sample->Update(0, nullptr, nullptr, 0);
    }
    STREAM_TIME Time();

    ComPtr<IDirectDraw3> dd3;
    ComPtr<IAMMultiMediaStream> stream;
    ComPtr<IDirectDrawMediaStream> video;

  private:
    long liveAtStart_ = 0;
};

}  // namespace vrel::mmstream::testing
