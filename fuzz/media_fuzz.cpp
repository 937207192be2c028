// Any bytes as a movie: the stream opens them as the intro does (picture on DirectDraw, sound
// on the default renderer), answers the format query, and fills a memory surface through a
// bounded number of Updates, seeking ahead before each so nothing waits on the movie's own
// pace. The bytes live in an anonymous memory file: the stream reads them through its own
// I/O context over the descriptor, exactly as it reads a movie on disk. Nothing may crash,
// leak a COM object, or leave an Update waiting longer than its bound.
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/mmstream.h"
#include "runtime/com/unknown.h"

namespace {

using vrel::com::ComPtr;

constexpr int kUpdates = 8;
constexpr STREAM_TIME kStep = 400'000;  // one picture at 25 per second
// Past this the run is stopped from outside: a picture the bytes place far ahead is shown
// when due, and that may be long after the input stops being interesting.
constexpr auto kBudget = std::chrono::milliseconds(1500);
// The stream promises an Update back within a second of its picture's time; with the stop
// above this is the most any run may take.
constexpr auto kHang = std::chrono::seconds(6);

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Display {
    ComPtr<IDirectDrawFactory> factory;
    ComPtr<IDirectDraw> dd;
    ComPtr<IDirectDraw3> dd3;
    ComPtr<IDirectDrawSurface> surface;
};

Display& SharedDisplay() {
    static Display* display = [] {
        auto* d = new Display;
        Require(SUCCEEDED(CoInitialize(nullptr)));
        Require(CoCreateInstance(CLSID_DirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IDirectDrawFactory,
                                 reinterpret_cast<void**>(d->factory.Put())) == S_OK);
        Require(d->factory->CreateDirectDraw(nullptr, nullptr, DDSCL_NORMAL, 0, nullptr,
                                             d->dd.Put()) == DD_OK);
        Require(d->dd->QueryInterface(IID_IDirectDraw3, reinterpret_cast<void**>(d->dd3.Put())) ==
                DD_OK);
        Require(d->dd->SetDisplayMode(640, 480, 32) == DD_OK);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(DDSURFACEDESC);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = 640;
        desc.dwHeight = 480;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        Require(d->dd3->CreateSurface(&desc, d->surface.Put(), nullptr) == DD_OK);
        return d;
    }();
    return *display;
}

// The bytes as a file with no name anywhere: /proc/self/fd/N while it lives.
class MemoryFile {
  public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("movie", MFD_CLOEXEC)) {
        Require(fd_ >= 0);
        for (size_t done = 0; done < size;) {
            ssize_t n = write(fd_, data + done, size - done);
            Require(n > 0);
            done += static_cast<size_t>(n);
        }
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::u16string Name() const {
        std::string name = "/proc/self/fd/" + std::to_string(fd_);
        return std::u16string(name.begin(), name.end());
    }

  private:
    int fd_;
};

// Stops the stream once the budget is spent, and ends the process if even that does not
// bring the Updates back. Its owner's end (the thread's stop request) lets it go.
std::jthread Watchdog(IMultiMediaStream* stream) {
    return std::jthread([stream](std::stop_token finished) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        auto finishedWithin = [&](auto limit) {
            wake.wait_for(lock, finished, limit, [] { return false; });
            return finished.stop_requested();
        };
        if (!finishedWithin(kBudget)) {
            stream->SetState(STREAMSTATE_STOP);
            Require(finishedWithin(kHang));
        }
    });
}

bool Open(Display& display, const std::u16string& name, ComPtr<IAMMultiMediaStream>* stream,
          ComPtr<IDirectDrawMediaStream>* video) {
    if (CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IAMMultiMediaStream,
                         reinterpret_cast<void**>(stream->Put())) != S_OK ||
        FAILED((*stream)->Initialize(STREAMTYPE_READ, 0, nullptr)) ||
        FAILED((*stream)->AddMediaStream(display.dd3.Get(), &MSPID_PrimaryVideo, 0, nullptr)) ||
        FAILED((*stream)->AddMediaStream(nullptr, &MSPID_PrimaryAudio, AMMSF_ADDDEFAULTRENDERER,
                                         nullptr))) {
        std::abort();  // nothing here depends on the bytes
    }
    if (FAILED((*stream)->OpenFile(name.c_str(), 0))) {
        return false;
    }
    ComPtr<IMediaStream> media;
    Require((*stream)->GetMediaStream(MSPID_PrimaryVideo, media.Put()) == S_OK);
    Require(media->QueryInterface(IID_IDirectDrawMediaStream,
                                  reinterpret_cast<void**>(video->Put())) == S_OK);
    return true;
}

// The rectangle the intro would bind: the movie's size, when it fits the surface.
bool BoundRect(IDirectDrawMediaStream* video, RECT* rect) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(DDSURFACEDESC);
    const bool known = video->GetFormat(&desc, nullptr, nullptr, nullptr) == S_OK;
    Require(!known || (desc.dwWidth <= 4096 && desc.dwHeight <= 4096));
    *rect = RECT{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
    return known && desc.dwWidth > 0 && desc.dwHeight > 0 && desc.dwWidth <= 640 &&
           desc.dwHeight <= 480;
}

void Play(IAMMultiMediaStream* stream, IDirectDrawMediaStream* video, Display& display) {
    RECT rect{};
    ComPtr<IDirectDrawStreamSample> sample;
    if (!BoundRect(video, &rect) ||
        video->CreateSample(display.surface.Get(), &rect, 0, sample.Put()) != S_OK) {
        return;
    }
    Require(stream->SetState(STREAMSTATE_RUN) == S_OK);
    const std::jthread watchdog = Watchdog(stream);
    for (int i = 0; i < kUpdates; ++i) {
        stream->Seek(i * kStep);
        HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
        if (hr != S_OK) {
            Require(hr == MS_S_ENDOFSTREAM || hr == MS_E_NOTRUNNING);
            break;
        }
    }
    stream->SetState(STREAMSTATE_STOP);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("VREL_SCREEN", "none", 1);
    setenv("AV_LOG_FORCE_NOCOLOR", "1", 1);
    SharedDisplay();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Display& display = SharedDisplay();
    long liveBefore = vrel::com::LiveObjects::Count();
    {
        MemoryFile file(data, size);
        ComPtr<IAMMultiMediaStream> stream;
        ComPtr<IDirectDrawMediaStream> video;
        if (Open(display, file.Name(), &stream, &video)) {
            Play(stream.Get(), video.Get(), display);
        }
    }
    Require(vrel::com::LiveObjects::Count() == liveBefore);
    return 0;
}
