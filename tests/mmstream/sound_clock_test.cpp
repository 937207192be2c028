// The stream clock with sound: it follows what the (dummy) sound card plays, in real time;
// without a sound card the picture plays alone on the monotonic clock, said once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "movie_library.h"
#include "runtime/mmstream/playback.h"
#include "runtime/mmstream/stream_service.h"

namespace vrel::mmstream::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Sets an environment variable for the length of a test.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (hadOld_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// Stream time gained against wall time over `wait`, while running.
double ClockRate(Playback& playback, std::chrono::milliseconds wait) {
    auto wallStart = Clock::now();
    StreamTicks streamStart = playback.Time();
    std::this_thread::sleep_for(wait);
    double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    double stream = std::chrono::duration<double>(playback.Time() - streamStart).count();
    return stream / wall;
}

TEST(SoundClockTest, DummySoundCardPlaysInRealTimeAndDrivesTheClock) {
    ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open(SoundAndPicture(), true, true));
    ASSERT_TRUE(playback->HasSound());
    playback->SetRunning(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(playback->ClockFollowsSound());
    double rate = ClockRate(*playback, std::chrono::milliseconds(800));
    EXPECT_NEAR(1.0, rate, 0.04) << "the sound card's clock against the wall clock";
    EXPECT_TRUE(playback->ClockFollowsSound());
    playback->SetRunning(false);
    StreamTicks stopped = playback->Time();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(stopped, playback->Time()) << "the clock holds while stopped";
}

TEST(SoundClockTest, WithoutASoundCardThePicturePlaysAloneAndThatIsSaidOnce) {
    ScopedEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
    StreamService::Get().ForgetReports();
    for (int attempt = 0; attempt < 2; ++attempt) {
        ::testing::internal::CaptureStderr();
        std::shared_ptr<Playback> playback = Playback::Create();
        ASSERT_EQ(S_OK, playback->Open(SoundAndPicture(), true, true));
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(playback->HasSound());
        if (attempt == 0) {
            EXPECT_NE(std::string::npos, said.find("no sound device")) << said;
        } else {
            EXPECT_EQ("", said) << "said twice";
        }
        ASSERT_TRUE(playback->Video().has_value());
        playback->SetRunning(true);
        EXPECT_FALSE(playback->ClockFollowsSound());
        EXPECT_NEAR(1.0, ClockRate(*playback, std::chrono::milliseconds(300)), 0.05);
    }
}

// Nobody asks for pictures for a while (the window inactive, a message box open): the sound
// and the clock go on, and the next picture is the one due by then.
TEST(SoundClockTest, WhileNobodyTakesPicturesSoundAndClockGoOn) {
    ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open(SoundAndPicture(), true, true));
    playback->SetRunning(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_TRUE(playback->ClockFollowsSound()) << "the sound ran dry";
    FramePtr picture(av_frame_alloc());
    QueuedFrame times{};
    ASSERT_EQ(Playback::Next::Frame, playback->NextFrame(picture.get(), &times));
    StreamTicks now = playback->Time();
    EXPECT_LE(times.start, now);
    EXPECT_GT(times.End() + StreamTicks(400'000), now) << "an old picture was kept";
}

TEST(SoundClockTest, SoundStartsWithItsPictureAfterASeek) {
    ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open(SoundAndPicture(), true, true));
    playback->Seek(StreamTicks(10'000'000));
    playback->SetRunning(true);
    FramePtr picture(av_frame_alloc());
    QueuedFrame times{};
    ASSERT_EQ(Playback::Next::Frame, playback->NextFrame(picture.get(), &times));
    EXPECT_EQ(StreamTicks(10'000'000), times.start);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(playback->ClockFollowsSound());
    double seconds = std::chrono::duration<double>(playback->Time()).count();
    EXPECT_NEAR(1.3, seconds, 0.1);
}

}  // namespace
}  // namespace vrel::mmstream::testing
