// Lifetimes: releasing a running stream, the intro's release order, two streams at once,
// process exit stopping every stream.
#include <thread>

#include "movie_library.h"
#include "runtime/mmstream/mmstream_runtime.h"
#include "stream_fixture.h"

namespace vrel::mmstream::testing {
namespace {

constexpr RECT kMovieRect{0, 0, 320, 240};

class StreamLifetimeTest : public StreamTest {
  protected:
    struct Playing {
        OpenedStream opened;
        ComPtr<IDirectDrawSurface> surface;
        ComPtr<IDirectDrawStreamSample> sample;
    };
    // A stream running with a few pictures delivered.
    void StartPlaying(const std::string& path, Playing* playing) {
        ASSERT_EQ(S_OK, Open(path, &playing->opened));
        playing->surface = Offscreen(320, 240);
        playing->sample =
            MakeSample(playing->opened.video.Get(), playing->surface.Get(), kMovieRect);
        ASSERT_EQ(S_OK, playing->opened.stream->SetState(STREAMSTATE_RUN));
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(S_OK, playing->sample->Update(0, nullptr, nullptr, 0));
        }
    }
};

TEST_F(StreamLifetimeTest, ReleasingARunningStreamReturnsPromptly) {
    Playing playing;
    StartPlaying(SoundAndPicture(), &playing);
    playing.sample.Reset();
    playing.opened.video.Reset();
    auto start = Clock::now();
    EXPECT_EQ(0u, playing.opened.stream.Detach()->Release());
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LT(took.count(), 400) << "threads took long to stop";
}

// The intro gives back the multimedia stream first, then the sample and the media streams;
// the last reference of the multimedia stream stops everything then and there.
TEST_F(StreamLifetimeTest, IntroReleaseOrderStopsTheStreamAtTheFirstRelease) {
    Playing playing;
    StartPlaying(SoundAndPicture(), &playing);
    ComPtr<IMediaStream> media;
    ASSERT_EQ(S_OK, playing.opened.stream->GetMediaStream(MSPID_PrimaryVideo, media.Put()));
    playing.opened.stream.Reset();
    auto start = Clock::now();
    EXPECT_EQ(MS_E_NOTRUNNING, playing.sample->Update(0, nullptr, nullptr, 0));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));
    ComPtr<IMultiMediaStream> parent;
    EXPECT_EQ(E_UNEXPECTED, media->GetMultiMediaStream(parent.Put()));
    EXPECT_EQ(nullptr, parent.Get());
    playing.sample.Reset();
    playing.opened.video.Reset();
}

TEST_F(StreamLifetimeTest, ReleasingFromAnotherThreadWakesAWaitingUpdate) {
    Playing playing;
    StartPlaying(PictureOnly(), &playing);
    ASSERT_EQ(S_OK, playing.opened.stream->Seek(0));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        playing.opened.stream.Reset();
    });
    HRESULT last = S_OK;
    auto until = Clock::now() + std::chrono::seconds(3);
    while (last == S_OK && Clock::now() < until) {
        last = playing.sample->Update(0, nullptr, nullptr, 0);
    }
    releaser.join();
    EXPECT_EQ(MS_E_NOTRUNNING, last) << ResultName(last);
    playing.sample.Reset();
    playing.opened.video.Reset();
}

TEST_F(StreamLifetimeTest, TwoStreamsPlayAtOnceAndGoInEitherOrder) {
    Playing first;
    Playing second;
    StartPlaying(SoundAndPicture(), &first);
    StartPlaying(SoundAndPicture(), &second);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(S_OK, first.sample->Update(0, nullptr, nullptr, 0));
        EXPECT_EQ(S_OK, second.sample->Update(0, nullptr, nullptr, 0));
    }
    first = Playing{};
    EXPECT_EQ(S_OK, second.sample->Update(0, nullptr, nullptr, 0));
    second = Playing{};
}

TEST_F(StreamLifetimeTest, ManyOpenPlayReleaseCyclesLeaveNothingBehind) {
    for (int cycle = 0; cycle < 8; ++cycle) {
        Playing playing;
        StartPlaying(cycle % 2 ? PictureOnly() : SoundAndPicture(), &playing);
    }
}

TEST_F(StreamLifetimeTest, ProcessExitStopsEveryLiveStream) {
    Playing first;
    Playing second;
    StartPlaying(SoundAndPicture(), &first);
    StartPlaying(PictureOnly(), &second);
    auto start = Clock::now();
    vrel::mmstream::StopAllStreams();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(300));
    for (Playing* p : {&first, &second}) {
        EXPECT_EQ(MS_E_NOTRUNNING, p->sample->Update(0, nullptr, nullptr, 0));
        STREAM_STATE state = STREAMSTATE_RUN;
        EXPECT_EQ(S_OK, p->opened.stream->GetState(&state));
        EXPECT_EQ(STREAMSTATE_STOP, state);
    }
    vrel::mmstream::StopAllStreams();  // again: nothing left to do
}

}  // namespace
}  // namespace vrel::mmstream::testing
