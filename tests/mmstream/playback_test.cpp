// Behind the stream: decoding, a disk that stops answering, the sound clock and card.
#include <atomic>
#include <functional>
#include <thread>

#include "runtime/mmstream/movie_source.h"
#include "runtime/mmstream/playback.h"
#include "runtime/mmstream/video_converter.h"
#include "stream_support.h"
#include "tools/moviemaker/frame_marker.h"

namespace vrel::mmstream::testing {
namespace {

using std::chrono::milliseconds;

// Picture n at n frame times showing n; a movie joined on follows on, its first maybe lost.
TEST(MovieSourceTest, AMovieJoinedOnFollowsOnFromTheFirst) {
    struct Picture {
        StreamTicks start;
        int marker;  // -1: none readable
    };
    struct Target final : DecodeTarget {  // every picture, as fast as it decodes, at 320 x 240
        bool VideoRoom() override { return true; }
        void PushVideo(AVFrame* frame, QueuedFrame times) override {
            std::vector<uint32_t> xrgb(320 * 240);
            EXPECT_TRUE(converter.Convert(frame, {reinterpret_cast<uint8_t*>(xrgb.data()), 320 * 4,
                                                  320, 240, AV_PIX_FMT_BGR0}));
            av_frame_unref(frame);
            pictures.push_back(
                {times.start, moviemaker::ReadFrameMarker(xrgb.data(), 320, 240, 320)});
        }
        void VideoEnded(StreamTicks) override {}
        void AudioEnded() override {}
        VideoConverter converter;
        std::vector<Picture> pictures;
    } target;
    std::ofstream(Scratch("joined"))
        << ReadAll(Movie({"--seconds", "2", "--no-audio"}))
        << ReadAll(Movie({"--size", "160x120", "--seconds", "1", "--no-audio"}));
    std::atomic<bool> stop{false};
    HRESULT result = S_OK;
    std::string cause;
    auto source =
        MovieSource::Create(MediaFile::Open(Scratch("joined"), nullptr, &stop, &result, &cause),
                            true, false, &target, &cause);
    while (source->Step()) {
    }
    const std::vector<Picture>& pictures = target.pictures;
    EXPECT_TRUE(pictures.size() == 74 || pictures.size() == 75) << pictures.size();
    for (int n = 0, restart = 0; n < static_cast<int>(pictures.size()); ++n) {
        const Picture& p = pictures[n];
        EXPECT_TRUE(n == 0 || p.start > pictures[n - 1].start) << n;
        restart += n > 0 && p.marker < pictures[n - 1].marker;
        EXPECT_LE(restart, 1) << n;
        EXPECT_EQ(TicksFrom(p.marker + 50 * restart, {1, 25}), p.start) << n;
    }
}

// A disk that stops answering: while held, reads wait (20 s at most: a test gone wrong fails).
struct StallingBytes final : MovieBytes {
    std::atomic<bool> holding{false};
    std::string data;
    size_t at = 0;
    int Read(uint8_t* buffer, int size) override {
        for (int i = 0; holding && i < 20'000; ++i) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        int n = static_cast<int>(std::min<size_t>(size, data.size() - at));
        std::memcpy(buffer, data.data() + at, n);
        at += n;
        return n > 0 ? n : AVERROR_EOF;
    }
    int64_t Seek(int64_t offset, int whence) override {
        int64_t size = static_cast<int64_t>(data.size());
        int64_t from = (whence & ~AVSEEK_FORCE) == SEEK_CUR ? static_cast<int64_t>(at) : 0;
        return whence & AVSEEK_SIZE ? size : at = std::clamp<int64_t>(from + offset, 0, size);
    }
};

// Stuck on a read, each wait for a picture gives up 1 s after it was due; then playing goes on.
TEST(PlaybackTest, StuckReadHoldsNoPictureWaitPastItsBound) {
    auto owned = std::make_unique<StallingBytes>();
    owned->data = ReadAll(Movie({"--seconds", "4", "--no-audio"}));
    StallingBytes* disk = owned.get();
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open("stuck.mpg", true, false, std::move(owned)));
    playback->SetRunning(true);
    disk->holding = true;
    FramePtr picture(av_frame_alloc());
    QueuedFrame times{};
    StreamTicks shownUntil{0};
    Playback::Next next = Playback::Next::Frame;
    for (int i = 0; i < 300 && next == Playback::Next::Frame; ++i) {
        av_frame_unref(picture.get());
        next = playback->NextFrame(picture.get(), &times);
        shownUntil = next == Playback::Next::Frame ? times.End() : shownUntil;
    }
    ASSERT_EQ(Playback::Next::Stalled, next);
    EXPECT_GE(playback->Time() - shownUntil, milliseconds(950));
    EXPECT_LT(playback->Time() - shownUntil, milliseconds(2500)) << "waited well past 1 s";
    EXPECT_EQ(Playback::Next::Stalled, playback->NextFrame(picture.get(), &times));
    EXPECT_GE(playback->Time() - shownUntil, milliseconds(1950)) << "answered at once: a spin";
    disk->holding = false;
    av_frame_unref(picture.get());
    ASSERT_EQ(Playback::Next::Frame, playback->NextFrame(picture.get(), &times));
    EXPECT_GE(times.start, shownUntil) << "never back to an earlier picture";
}

// The sound card's reports steer the clock (the rules are the clock's test), after a seek too.
TEST(PlaybackTest, TheSoundCardDrivesTheClock) {
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open(Movie({"--seconds", "2"}), true, true));
    playback->Seek(milliseconds(1200));
    playback->SetRunning(true);
    for (int i = 0; i < 1000 && !playback->ClockFollowsSound(); ++i) {
        std::this_thread::sleep_for(milliseconds(10));  // a generous while
    }
    EXPECT_TRUE(playback->ClockFollowsSound());
    EXPECT_GE(playback->Time(), milliseconds(1200)) << "the sound did not move along";
}

// Waits (a generous while) until the stream's clock reaches `at`.
void PlayUntil(Playback& playback, StreamTicks at) {
    for (int i = 0; i < 1000 && playback.Time() < at; ++i) {
        std::this_thread::sleep_for(milliseconds(10));
    }
}

// An open card wakes SDL's thread every buffer, even for silence: it is open only while
// sound plays. Each step, then whether the card is open.
TEST(PlaybackTest, TheSoundCardIsOpenOnlyWhileSoundPlays) {
    const std::string movie = Movie({"--seconds", "1"});
    std::shared_ptr<Playback> playback = Playback::Create();
    const std::tuple<const char*, std::function<void()>, bool> steps[] = {
        {"opened", [&] { ASSERT_EQ(S_OK, playback->Open(movie, true, true)); }, false},
        {"run", [&] { playback->SetRunning(true); }, true},
        {"paused", [&] { playback->SetRunning(false); }, false},
        {"moved while paused", [&] { playback->Seek(milliseconds(500)); }, false},
        {"run again", [&] { playback->SetRunning(true); }, true},
        {"the sound played out", [&] { PlayUntil(*playback, milliseconds(1600)); }, false},
        {"paused and run after the end",
         [&] {
             playback->SetRunning(false);
             playback->SetRunning(true);
         },
         false},
        {"moved back while running", [&] { playback->Seek(milliseconds(0)); }, true},
        {"stopped for good", [&] { playback->Shutdown(); }, false},
        {"another file opened",
         [&] {
             playback = Playback::Create();
             ASSERT_EQ(S_OK, playback->Open(movie, true, true));
         },
         false},
    };
    for (const auto& [what, step, open] : steps) {
        step();
        // The decode thread closes the card (a generous while): no caller waits for it.
        for (int i = 0; i < 500 && playback->SoundDeviceOpen() != open; ++i) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        EXPECT_EQ(open, playback->SoundDeviceOpen()) << what;
    }
}

// What the card is given first when it is opened again is the movie's own sound at the new
// place, not what it played before: SDL's disk driver writes it to a file from its opening.
TEST(PlaybackTest, AReopenedCardStartsOnTheMoviesSound) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Scratch("card.raw").c_str(), 1);
    std::shared_ptr<Playback> playback = Playback::Create();
    HRESULT opened = playback->Open(Movie({"--seconds", "2"}), true, true);
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // SDL's audio has started: the rest keep theirs
    ASSERT_EQ(S_OK, opened);
    playback->SetRunning(true);  // the loud beep at 0 s
    PlayUntil(*playback, milliseconds(300));
    playback->SetRunning(false);
    for (int i = 0; i < 500 && playback->SoundDeviceOpen(); ++i) {
        std::this_thread::sleep_for(milliseconds(10));  // closed a while after the stop
    }
    playback->Seek(milliseconds(500));  // only the quiet music, starting there
    playback->SetRunning(true);
    PlayUntil(*playback, milliseconds(700));
    playback->Shutdown();
    std::string written = ReadAll(Scratch("card.raw"));
    std::vector<int16_t> samples(written.size() / 2);  // 16-bit stereo at 44.1 kHz
    std::memcpy(samples.data(), written.data(), samples.size() * 2);
    auto sound = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    const long first5Ms = 44100 / 200 * 2;  // after the silence before the sound runs
    ASSERT_GE(samples.end() - sound, first5Ms);
    for (long i = 0; i < first5Ms; ++i) {
        ASSERT_LE(std::abs(sound[i]), 4000) << "sample " << i;  // the music stays under 0.1
    }
}

std::atomic<int> g_changesTold{0};

// What the media-player bus sees of the latest playback after each step, and that each step
// told the hook: stopped, the time of the picture on screen (not the clock, which ran on
// for that picture); the end once the last picture passed; a seek forgets the end.
TEST(PlaybackTest, TheOutsideViewShowsThePictureOnScreenAndTellsEveryChange) {
    SetPlaybackChangedHook([] { ++g_changesTold; });
    const std::string movie = Movie({"--seconds", "1", "--no-audio"});
    std::shared_ptr<Playback> playback = Playback::Create();
    FramePtr picture(av_frame_alloc());
    QueuedFrame times;
    auto take = [&] {
        av_frame_unref(picture.get());
        return playback->NextFrame(picture.get(), &times);
    };
    struct Step {
        const char* what;
        std::function<void()> run;
        bool ended;
        int64_t positionUs;
    } steps[] = {
        {"opened", [&] { ASSERT_EQ(S_OK, playback->Open(movie, true, false)); }, false, 0},
        {"one picture shown, stopped",
         [&] {
             playback->SetRunning(true);
             ASSERT_EQ(Playback::Next::Frame, take());
             std::this_thread::sleep_for(milliseconds(20));  // the clock runs past 0
             playback->SetRunning(false);
         },
         false, 0},
        {"played to the end",
         [&] {
             playback->SetRunning(true);
             while (take() == Playback::Next::Frame) {
             }
             playback->SetRunning(false);
         },
         true, -1},
        {"sought back", [&] { playback->Seek(milliseconds(400)); }, false, 400000},
    };
    for (const Step& step : steps) {
        const int told = g_changesTold.load();
        step.run();
        std::optional<PlaybackView> view = LatestPlayback();
        ASSERT_TRUE(view) << step.what;
        EXPECT_FALSE(view->running) << step.what;
        EXPECT_EQ(view->ended, step.ended) << step.what;
        if (step.positionUs >= 0) {
            EXPECT_EQ(view->position.count(), step.positionUs) << step.what;
        }
        EXPECT_EQ(view->file, movie) << step.what;
        EXPECT_GT(g_changesTold.load(), told) << step.what << " told nobody";
    }
    const int told = g_changesTold.load();
    playback.reset();
    EXPECT_EQ(LatestPlayback(), std::nullopt);
    EXPECT_GT(g_changesTold.load(), told) << "the close told nobody";
    SetPlaybackChangedHook(nullptr);
}

}  // namespace
}  // namespace vrel::mmstream::testing
