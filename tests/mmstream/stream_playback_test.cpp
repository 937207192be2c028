// Playing: Update's results and pacing on the stream clock, the end, stop and run, seeking,
// the picture landing in its rectangle in the right colours.
#include <thread>

#include "fake_surface.h"
#include "movie_library.h"
#include "stream_fixture.h"
#include "tools/moviemaker/frame_marker.h"
#include "tools/moviemaker/picture.h"

namespace vrel::mmstream::testing {
namespace {

constexpr RECT kMovieRect{0, 0, 320, 240};

class StreamPlaybackTest : public StreamTest {
  protected:
    // Opens the movie with a sample on the top-left 320 x 240 of a 640 x 480 surface.
    void OpenWithSample(const std::string& path, bool withSound = true) {
        ASSERT_EQ(S_OK, Open(path, &opened, withSound));
        surface = Offscreen(640, 480);
        sample = MakeSample(opened.video.Get(), surface.Get(), kMovieRect);
        ASSERT_TRUE(sample);
    }
    Delivery Next() {
        return UpdateAndRead(sample.Get(), opened.stream.Get(), surface.Get(), kMovieRect);
    }
    // Updates until the end (or `limit` deliveries); every delivery.
    std::vector<Delivery> PlayToEnd(int limit = 1000) {
        std::vector<Delivery> played;
        for (int i = 0; i < limit; ++i) {
            played.push_back(Next());
            if (played.back().result != S_OK) {
                break;
            }
        }
        return played;
    }
    void TearDown() override {
        sample.Reset();
        surface.Reset();
        opened = OpenedStream{};
        StreamTest::TearDown();
    }

    OpenedStream opened;
    ComPtr<IDirectDrawSurface> surface;
    ComPtr<IDirectDrawStreamSample> sample;
};

// Every picture shows its own index, came no earlier than its time on the stream clock, and
// the indexes rise; only a few may be skipped (a busy machine), never repeated.
void ExpectPlayedInOrder(const std::vector<Delivery>& played, int firstMarker, int frames,
                         const char* movie) {
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(MS_S_ENDOFSTREAM, played.back().result)
        << movie << ": " << ResultName(played.back().result);
    int previous = -1;
    int delivered = 0;
    for (const Delivery& d : played) {
        if (d.result != S_OK) {
            continue;
        }
        ++delivered;
        EXPECT_GT(d.marker, previous) << movie << ": pictures out of order";
        EXPECT_GE(d.time, d.marker * kFrameTicks)
            << movie << ": picture " << d.marker << " came before its time";
        previous = d.marker;
    }
    EXPECT_EQ(firstMarker, played.front().marker) << movie << ": the first picture";
    EXPECT_GE(played.back().time, frames * kFrameTicks)
        << movie << ": the end came before the last picture's time was up";
    // Skipping is for pictures already late, which a busy machine makes a few.
    int slack = SkipAllowance(frames - firstMarker);
    EXPECT_GE(previous, frames - 1 - slack) << movie << ": the last picture";
    EXPECT_GE(delivered, frames - firstMarker - slack) << movie << ": too many skipped";
}

TEST_F(StreamPlaybackTest, UpdateOnAStoppedStreamReturnsAtOnce) {
    OpenWithSample(SoundAndPicture());
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto start = Clock::now();
        HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
        EXPECT_EQ(MS_E_NOTRUNNING, hr) << ResultName(hr);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));
    }
}

TEST_F(StreamPlaybackTest, RunningStreamDeliversEveryPictureInOrderThenTheEnd) {
    OpenWithSample(SoundAndPicture());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    std::vector<Delivery> played = PlayToEnd();
    ExpectPlayedInOrder(played, 0, 50, "sound and picture");
    // The end leaves the state alone: still running, the end again at once.
    STREAM_STATE state = STREAMSTATE_STOP;
    EXPECT_EQ(S_OK, opened.stream->GetState(&state));
    EXPECT_EQ(STREAMSTATE_RUN, state);
    auto start = Clock::now();
    EXPECT_EQ(MS_S_ENDOFSTREAM, sample->Update(0, nullptr, nullptr, 0));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_STOP));
    EXPECT_EQ(MS_E_NOTRUNNING, sample->Update(0, nullptr, nullptr, 0));
}

TEST_F(StreamPlaybackTest, PicturesComeAtTheMoviesRate) {
    OpenWithSample(SoundAndPicture());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    std::vector<Delivery> played = PlayToEnd();
    int late = 0;
    for (const Delivery& d : played) {
        // The stream time when Update returned lies in the picture's own frame time.
        if (d.result == S_OK && d.time >= (d.marker + 1) * kFrameTicks) {
            ++late;
        }
    }
    EXPECT_LE(late, 3) << "pictures handed over after their time was up";
}

TEST_F(StreamPlaybackTest, PictureOnlyMoviePlaysOnTheMonotonicClock) {
    OpenWithSample(PictureOnly());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    auto start = Clock::now();
    STREAM_TIME startTime = TimeOf(opened.stream.Get());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto wall = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    STREAM_TIME now = TimeOf(opened.stream.Get());
    EXPECT_NEAR(static_cast<double>(wall.count()) * 10, static_cast<double>(now - startTime),
                100'000)
        << "stream time should follow the wall clock";
    // The pictures due meanwhile were dropped; the next one is the one due now.
    ExpectPlayedInOrder(PlayToEnd(), static_cast<int>(now / kFrameTicks), 50, "picture only");
}

TEST_F(StreamPlaybackTest, SeekToASavedTimeDeliversThePictureDueThen) {
    OpenWithSample(SoundAndPicture());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    for (int i = 0; i < 17; ++i) {
        ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));
    }
    // As the intro's Pause and Start do.
    STREAM_TIME saved = TimeOf(opened.stream.Get());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_STOP));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(S_OK, opened.stream->Seek(saved));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    Delivery next = Next();
    ASSERT_EQ(S_OK, next.result);
    EXPECT_EQ(saved / kFrameTicks, next.marker) << "saved time " << saved;
}

struct SeekCase {
    STREAM_TIME position;
    int expectedMarker;
};

TEST_F(StreamPlaybackTest, SeekIsExactToThePicture) {
    OpenWithSample(SoundAndPicture());
    const SeekCase cases[] = {
        {0, 0},
        {kFrameTicks * 13, 13},            // a picture's exact start
        {kFrameTicks * 30 + 1, 30},        // just after
        {kFrameTicks * 7 - 1, 6},          // just before the next one
        {kFrameTicks * 49 + 200'000, 49},  // the last picture
        {kFrameTicks * 2, 2},              // back again
    };
    for (const SeekCase& c : cases) {
        ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_STOP));
        ASSERT_EQ(S_OK, opened.stream->Seek(c.position));
        EXPECT_EQ(c.position, TimeOf(opened.stream.Get()));
        ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
        Delivery d = Next();
        EXPECT_EQ(S_OK, d.result) << "seek to " << c.position << ": " << ResultName(d.result);
        EXPECT_EQ(c.expectedMarker, d.marker) << "seek to " << c.position;
    }
}

TEST_F(StreamPlaybackTest, SeekPastTheEndReachesTheEnd) {
    OpenWithSample(SoundAndPicture());
    ASSERT_EQ(S_OK, opened.stream->Seek(kFrameTicks * 80));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    EXPECT_EQ(MS_S_ENDOFSTREAM, sample->Update(0, nullptr, nullptr, 0));
}

TEST_F(StreamPlaybackTest, StopThenRunGoesOnWhereItStopped) {
    OpenWithSample(SoundAndPicture());
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    Delivery last{};
    for (int i = 0; i < 10; ++i) {
        last = Next();
    }
    ASSERT_EQ(S_OK, last.result);
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_STOP));
    STREAM_TIME stoppedAt = TimeOf(opened.stream.Get());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(stoppedAt, TimeOf(opened.stream.Get())) << "the clock holds while stopped";
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    STREAM_TIME resumedAt = TimeOf(opened.stream.Get());
    EXPECT_LT(resumedAt - stoppedAt, 2 * kFrameTicks) << "the clock went on from where it was";
    Delivery next = Next();
    ASSERT_EQ(S_OK, next.result);
    EXPECT_GT(next.marker, last.marker);
    EXPECT_LE(next.marker, last.marker + 2);
}

TEST_F(StreamPlaybackTest, PictureLandsOnlyInTheSamplesRectangle) {
    OpenWithSample(PictureOnly());
    const uint32_t kSentinel = 0x00123456;
    Fill(surface.Get(), kSentinel);
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));  // frame 0: a white flash
    ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels = Pixels(surface.Get(), &width, &height);
    int outside = 0;
    int inside = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool in = x < 320 && y < 240;
            bool untouched = pixels[static_cast<size_t>(y) * width + x] == kSentinel;
            outside += !in && !untouched;
            inside += in && untouched;
        }
    }
    EXPECT_EQ(0, outside) << "pixels changed outside the sample's rectangle";
    EXPECT_LT(inside, 320 * 240 / 100) << "pixels left untouched inside it";
    // The red patch of the test pattern comes out red in the surface's XRGB.
    moviemaker::PatchRect red = moviemaker::TestPatternPatch(320, 240, 0);
    uint32_t pixel = pixels[static_cast<size_t>((red.top + red.bottom) / 2) * width +
                            (red.left + red.right) / 2];
    EXPECT_GE((pixel >> 16) & 0xFF, 0xE8u) << std::hex << pixel;
    EXPECT_LE((pixel >> 8) & 0xFF, 0x18u) << std::hex << pixel;
    EXPECT_LE(pixel & 0xFF, 0x18u) << std::hex << pixel;
}

TEST_F(StreamPlaybackTest, PictureIsScaledToALargerRectangle) {
    ASSERT_EQ(S_OK, Open(PictureOnly(), &opened, false));
    surface = Offscreen(640, 480);
    RECT whole{0, 0, 640, 480};
    sample = MakeSample(opened.video.Get(), surface.Get(), whole);
    ASSERT_EQ(S_OK, opened.stream->Seek(kFrameTicks * 3));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));
    EXPECT_EQ(3, MarkerIn(surface.Get(), whole));
}

// A surface from elsewhere: rows padded beyond the picture, and a Lock that can fail.
TEST_F(StreamPlaybackTest, ForeignSurfaceIsWrittenThroughItsLockWithItsPitch) {
    ASSERT_EQ(S_OK, Open(PictureOnly(), &opened, false));
    auto* fake = new FakeSurface(320, 240, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
    ComPtr<IDirectDrawSurface> foreign(fake);
    sample = MakeSample(opened.video.Get(), foreign.Get(), kMovieRect);
    ASSERT_TRUE(sample);
    ASSERT_EQ(S_OK, opened.stream->Seek(kFrameTicks * 7));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    fake->lockResult = DDERR_SURFACEBUSY;
    EXPECT_EQ(DDERR_SURFACEBUSY, sample->Update(0, nullptr, nullptr, 0));
    fake->lockResult = DD_OK;
    ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));
    EXPECT_EQ(fake->locks, fake->unlocks) << "every Lock has its Unlock";
    int marker = moviemaker::ReadFrameMarker(reinterpret_cast<const uint32_t*>(fake->pixels.data()),
                                             320, 240, fake->pitch / 4);
    EXPECT_GE(marker, 8) << "the picture after the one lost to the busy surface";
    EXPECT_LE(marker, 9);
    for (int y = 0; y < 240; ++y) {
        const uint8_t* padding = &fake->pixels[static_cast<size_t>(y) * fake->pitch + 320 * 4];
        ASSERT_EQ(0xAB, padding[0]) << "row " << y << " written past its end";
    }
}

TEST_F(StreamPlaybackTest, SampleTimesAreThoseOfTheLastPicture) {
    OpenWithSample(PictureOnly(), false);
    ASSERT_EQ(S_OK, opened.stream->Seek(kFrameTicks * 5));
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    ASSERT_EQ(S_OK, sample->Update(0, nullptr, nullptr, 0));
    STREAM_TIME start = -1;
    STREAM_TIME end = -1;
    STREAM_TIME current = -1;
    ASSERT_EQ(S_OK, sample->GetSampleTimes(&start, &end, &current));
    EXPECT_EQ(5 * kFrameTicks, start);
    EXPECT_EQ(6 * kFrameTicks, end);
    EXPECT_GE(current, start);
}

TEST_F(StreamPlaybackTest, OnlySynchronousUpdatesAreOffered) {
    OpenWithSample(PictureOnly(), false);
    EXPECT_EQ(E_NOTIMPL, sample->Update(1, nullptr, nullptr, 0));
    int event = 0;
    EXPECT_EQ(E_NOTIMPL, sample->Update(0, &event, nullptr, 0));
}

TEST_F(StreamPlaybackTest, SecondConcurrentUpdateIsBusy) {
    OpenWithSample(PictureOnly(), false);
    ASSERT_EQ(S_OK, opened.stream->SetState(STREAMSTATE_RUN));
    // Two threads call Update for a while; whenever one waits for its picture, the other's
    // call is refused at once.
    std::atomic<int> busy{0};
    std::atomic<int> unexpected{0};
    auto until = Clock::now() + std::chrono::milliseconds(600);
    auto caller = [&] {
        while (Clock::now() < until) {
            HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
            busy += hr == MS_E_BUSY;
            unexpected += hr != S_OK && hr != MS_E_BUSY && hr != MS_S_ENDOFSTREAM;
            std::this_thread::yield();
        }
    };
    std::thread other(caller);
    caller();
    other.join();
    EXPECT_EQ(0, unexpected.load());
    EXPECT_GT(busy.load(), 0) << "no Update was refused while another one waited";
}

}  // namespace
}  // namespace vrel::mmstream::testing
