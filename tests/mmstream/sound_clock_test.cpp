// The stream clock with sound: it follows what the (dummy) sound card plays, in real time;
// without a sound card the picture plays alone on the monotonic clock, said once.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
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

// A movie on a disk that stops answering: from Hold on, reads wait until Release.
class StallingBytes final : public MovieBytes {
  public:
    explicit StallingBytes(std::string data) : data_(std::move(data)) {}
    void Hold(bool hold) {
        std::lock_guard lock(mutex_);
        holding_ = hold;
        changed_.notify_all();
    }
    int Read(uint8_t* buffer, int size) override {
        {
            // Never for ever: a test that went wrong fails instead of hanging.
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::seconds(10), [this] { return !holding_; });
        }
        size_t n = std::min(static_cast<size_t>(size), data_.size() - std::min(at_, data_.size()));
        std::memcpy(buffer, data_.data() + at_, n);
        at_ += n;
        return n > 0 ? static_cast<int>(n) : AVERROR_EOF;
    }
    int64_t Seek(int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE) {
            return static_cast<int64_t>(data_.size());
        }
        int64_t base = (whence & ~AVSEEK_FORCE) == SEEK_CUR   ? static_cast<int64_t>(at_)
                       : (whence & ~AVSEEK_FORCE) == SEEK_END ? static_cast<int64_t>(data_.size())
                                                              : 0;
        at_ = static_cast<size_t>(std::max<int64_t>(0, base + offset));
        return static_cast<int64_t>(at_);
    }

  private:
    const std::string data_;
    size_t at_ = 0;  // the decode thread's
    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
};

// The decoder stuck on a read: the wait for the next picture gives up the stall limit after
// that picture was due, and playing goes on once the disk answers again.
TEST(SoundClockTest, StuckReadHoldsNoPictureWaitPastItsBound) {
    std::ifstream in(Movie({"--seconds", "12", "--no-audio"}), std::ios::binary);
    auto owned = std::make_unique<StallingBytes>(
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    StallingBytes* disk = owned.get();
    std::shared_ptr<Playback> playback = Playback::Create();
    ASSERT_EQ(S_OK, playback->Open("stuck.mpg", true, false, std::move(owned)));
    playback->SetRunning(true);
    disk->Hold(true);
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
    auto late =
        std::chrono::duration_cast<std::chrono::milliseconds>(playback->Time() - shownUntil);
    EXPECT_GE(late, Playback::kStallLimit - std::chrono::milliseconds(50));
    EXPECT_LE(late, Playback::kStallLimit + std::chrono::milliseconds(300));
    // Still stuck: the next wait takes its whole limit again, not a spin of instant answers.
    auto before = Clock::now();
    EXPECT_EQ(Playback::Next::Stalled, playback->NextFrame(picture.get(), &times));
    EXPECT_GE(Clock::now() - before, Playback::kStallLimit - std::chrono::milliseconds(50));
    disk->Hold(false);
    av_frame_unref(picture.get());
    ASSERT_EQ(Playback::Next::Frame, playback->NextFrame(picture.get(), &times));
    EXPECT_GE(times.start, shownUntil) << "never back to an earlier picture";
}

}  // namespace
}  // namespace vrel::mmstream::testing
