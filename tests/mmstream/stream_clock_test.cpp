// The stream clock on hand-driven time: running, stopping and moving it, and how it follows
// (and stops following) the sound card's reports.
#include <gtest/gtest.h>

#include "runtime/mmstream/stream_clock.h"

namespace vrel::mmstream {
namespace {

using std::chrono::milliseconds;

MonoTime At(int ms) {
    return MonoTime(milliseconds(1000 + ms));
}

StreamTicks Ms(int ms) {
    return std::chrono::duration_cast<StreamTicks>(milliseconds(ms));
}

struct Step {
    const char* what;
    enum Action { Run, Stop, Move, Look } action;
    int at;        // ms
    int position;  // ms, for Move
    int expected;  // ms, for Look
};

TEST(StreamClockTest, WithoutSoundItRunsStopsAndMovesOnTheMonotonicClock) {
    StreamClock clock(nullptr);
    const Step steps[] = {
        {"new and stopped", Step::Look, 0, 0, 0},
        {"still stopped later", Step::Look, 500, 0, 0},
        {"run", Step::Run, 500, 0, 0},
        {"running 120 ms", Step::Look, 620, 0, 120},
        {"stop", Step::Stop, 700, 0, 0},
        {"held while stopped", Step::Look, 2000, 0, 200},
        {"move while stopped", Step::Move, 2100, 5000, 0},
        {"moved", Step::Look, 2200, 0, 5000},
        {"run from there", Step::Run, 2300, 0, 0},
        {"goes on from there", Step::Look, 2340, 0, 5040},
        {"move while running", Step::Move, 2400, 1000, 0},
        {"runs on from the new place", Step::Look, 2450, 0, 1050},
    };
    for (const Step& s : steps) {
        switch (s.action) {
            case Step::Run:
                clock.Run(At(s.at));
                break;
            case Step::Stop:
                clock.Stop(At(s.at));
                break;
            case Step::Move:
                clock.SetPosition(Ms(s.position), At(s.at));
                break;
            case Step::Look:
                EXPECT_EQ(Ms(s.expected), clock.Now(At(s.at))) << s.what;
                break;
        }
    }
}

TEST(StreamClockTest, WhenTellsTheMomentAPositionIsReached) {
    StreamClock clock(nullptr);
    EXPECT_EQ(MonoTime::max(), clock.When(Ms(100), At(0))) << "never, while stopped";
    clock.Run(At(0));
    EXPECT_EQ(At(100), clock.When(Ms(100), At(10)));
    clock.SetPosition(Ms(1000), At(50));
    EXPECT_EQ(At(90), clock.When(Ms(1040), At(60)));
    EXPECT_EQ(At(30), clock.When(Ms(980), At(60))) << "a position passed lies in the past";
}

class SoundClockFixture : public ::testing::Test {
  protected:
    void Report(int heardMs, int atMs) { sound.Publish(Ms(heardMs), At(atMs)); }
    AudioPosition sound;
    StreamClock clock{&sound};
};

TEST_F(SoundClockFixture, StartWaitsForTheSoundToReachThePosition) {
    clock.Run(At(0));
    EXPECT_EQ(Ms(0), clock.Now(At(10))) << "no sound yet";
    Report(-25, 20);  // the first sound starts 25 ms after this report
    EXPECT_EQ(Ms(0), clock.Now(At(30)));
    EXPECT_EQ(At(45), clock.When(Ms(0), At(30)));
    EXPECT_EQ(Ms(15), clock.Now(At(60)));
    EXPECT_TRUE(clock.FollowingAudio(At(60)));
}

TEST_F(SoundClockFixture, ReportsFromBeforeTheStartOrAMoveAreIgnored) {
    Report(700, 0);
    clock.Run(At(10));
    EXPECT_EQ(Ms(0), clock.Now(At(20))) << "an old report must not set the clock";
    Report(0, 30);
    EXPECT_EQ(Ms(10), clock.Now(At(40)));
    clock.SetPosition(Ms(5000), At(50));
    EXPECT_EQ(Ms(5000), clock.Now(At(60))) << "holds for the sound of the new position";
    Report(5000, 70);
    EXPECT_EQ(Ms(5010), clock.Now(At(80)));
}

TEST_F(SoundClockFixture, SmallDifferencesAreEasedLargeOnesJumped) {
    clock.Run(At(0));
    Report(0, 0);
    EXPECT_EQ(Ms(100), clock.Now(At(100)));
    Report(108, 100);  // the card is 8 ms ahead: half of it is taken at once
    EXPECT_EQ(Ms(104), clock.Now(At(100)));
    Report(124, 140);  // 20 ms behind, perhaps only a late report: a sixteenth
    EXPECT_EQ(Ms(144) + Ms(-20) / 16, clock.Now(At(140)));
    Report(400, 200);  // 98 ms off: taken whole
    EXPECT_EQ(Ms(400), clock.Now(At(200)));
    Report(250, 300);  // 250 ms behind: the clock goes back with the sound
    EXPECT_EQ(Ms(250), clock.Now(At(300)));
}

TEST_F(SoundClockFixture, WithoutReportsForLongItRunsAlone) {
    clock.Run(At(0));
    EXPECT_EQ(Ms(0), clock.Now(At(150)));
    EXPECT_EQ(Ms(0), clock.Now(At(210))) << "gives up holding just after 200 ms";
    EXPECT_EQ(Ms(100), clock.Now(At(310)));
    EXPECT_FALSE(clock.FollowingAudio(At(310)));
    Report(320, 320);  // the sound comes back: followed again
    EXPECT_TRUE(clock.FollowingAudio(At(330)));
    EXPECT_EQ(Ms(335), clock.Now(At(335)));
    EXPECT_FALSE(clock.FollowingAudio(At(600))) << "silent for more than 200 ms";
    EXPECT_EQ(Ms(600), clock.Now(At(600))) << "and runs on alone";
}

TEST_F(SoundClockFixture, StopHoldsAndRunHoldsForTheSoundAgain) {
    clock.Run(At(0));
    Report(0, 0);
    clock.Stop(At(500));
    EXPECT_EQ(Ms(500), clock.Now(At(900)));
    EXPECT_FALSE(clock.FollowingAudio(At(900)));
    clock.Run(At(1000));
    EXPECT_EQ(Ms(500), clock.Now(At(1010)));
    Report(500, 1020);
    EXPECT_EQ(Ms(510), clock.Now(At(1030)));
}

}  // namespace
}  // namespace vrel::mmstream
