// Shared by the multimedia stream benchmarks: test movies made by the movie maker, and a
// stream opened and played as the intro does it, on the real DirectDraw with no window
// (the stream is measured, not the screen).
#pragma once

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"
#include "tools/moviemaker/frame_marker.h"

namespace vrel::mmstream::bench {

using com::ComPtr;
using Clock = std::chrono::steady_clock;

inline void HeadlessEnvironment() {
    setenv("VREL_SCREEN", "none", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

// A movie made by vrelmovie with these options, kept in /tmp/vrel-mm-bench between runs.
inline std::string BenchMovie(const std::string& name, std::vector<std::string> options) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / "vrel-mm-bench";
    fs::create_directories(folder);
    std::string path = (folder / name).string();
    if (fs::exists(path)) {
        return path;
    }
    fs::path self = fs::read_symlink("/proc/self/exe");
    std::string maker = (self.parent_path().parent_path() / "tools/moviemaker/vrelmovie").string();
    std::vector<std::string> args = {maker, "--out", path};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = -1;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
        waitpid(child, &status, 0);
    }
    return status == 0 ? path : std::string();
}

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// COM and DirectDraw as the intro sets them up, for the length of a benchmark.
class DisplaySession {
  public:
    DisplaySession() {
        CoInitialize(nullptr);
        CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IDirectDrawFactory, reinterpret_cast<void**>(factory_.Put()));
        if (factory_) {
            factory_->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr, dd_.Put());
        }
        if (dd_) {
            dd_->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(dd3_.Put()));
            dd_->SetDisplayMode(640, 480, 32);
        }
    }
    ~DisplaySession() {
        dd3_.Reset();
        dd_.Reset();
        factory_.Reset();
        CoUninitialize();
    }
    bool Ok() const { return static_cast<bool>(dd3_); }
    IDirectDraw3* DirectDraw() const { return dd3_.Get(); }

    ComPtr<IDirectDrawSurface> Offscreen(int width, int height) const {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        ComPtr<IDirectDrawSurface> surface;
        dd3_->CreateSurface(&desc, surface.Put(), nullptr);
        return surface;
    }

  private:
    ComPtr<IDirectDrawFactory> factory_;
    ComPtr<IDirectDraw> dd_;
    ComPtr<IDirectDraw3> dd3_;
};

// A movie opened as the intro opens it, with a sample on the top-left of a 640 x 480
// surface.
struct PlayingMovie {
    ComPtr<IAMMultiMediaStream> stream;
    ComPtr<IDirectDrawMediaStream> video;
    ComPtr<IDirectDrawSurface> surface;
    ComPtr<IDirectDrawStreamSample> sample;
    RECT rect{};

    bool Open(const DisplaySession& display, const std::string& path, bool withSound = true) {
        if (FAILED(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAMMultiMediaStream,
                                    reinterpret_cast<void**>(stream.Put()))) ||
            FAILED(stream->Initialize(STREAMTYPE_READ, 0, nullptr)) ||
            FAILED(stream->AddMediaStream(display.DirectDraw(), &MSPID_PrimaryVideo, 0, nullptr))) {
            return false;
        }
        if (withSound && FAILED(stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                                       AMMSF_ADDDEFAULTRENDERER, nullptr))) {
            return false;
        }
        std::u16string name(path.begin(), path.end());
        ComPtr<IMediaStream> media;
        if (FAILED(stream->OpenFile(name.c_str(), 0)) ||
            FAILED(stream->GetMediaStream(MSPID_PrimaryVideo, media.Put())) ||
            FAILED(media->QueryInterface(IID_IDirectDrawMediaStream,
                                         reinterpret_cast<void**>(video.Put())))) {
            return false;
        }
        DDSURFACEDESC format{};
        format.dwSize = sizeof(DDSURFACEDESC);
        if (FAILED(video->GetFormat(&format, nullptr, nullptr, nullptr))) {
            return false;
        }
        rect = RECT{0, 0, static_cast<LONG>(format.dwWidth), static_cast<LONG>(format.dwHeight)};
        surface = display.Offscreen(640, 480);
        return surface && SUCCEEDED(video->CreateSample(surface.Get(), &rect, 0, sample.Put()));
    }
    STREAM_TIME Time() const {
        STREAM_TIME t = 0;
        stream->GetTime(&t);
        return t;
    }
    // The frame marker in the sample's rectangle (-1 when none).
    int Marker() const {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
            return -1;
        }
        int marker =
            moviemaker::ReadFrameMarker(static_cast<const uint32_t*>(desc.lpSurface), rect.right,
                                        rect.bottom, static_cast<int>(desc.lPitch / 4));
        surface->Unlock(desc.lpSurface);
        return marker;
    }
    // The order the intro releases in.
    void Release() {
        stream.Reset();
        sample.Reset();
        video.Reset();
        surface.Reset();
    }
};

}  // namespace vrel::mmstream::bench
