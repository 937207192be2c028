// The stream clock on hand-driven time: running, stopping and moving it, and how it follows
// (and stops following) the sound card's reports.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/mmstream/audio_timeline.h"
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
    enum Action { Run, Stop, Move, Look, Report, Following, When } action;
    int at;        // ms
    int position;  // ms: the place for Move and When, what is heard for Report
    int expected;  // ms for Look, the moment for When, 1 or 0 for Following
};

// Every report is read by the clock as it comes.
void Play(StreamClock& clock, AudioPosition* sound, std::initializer_list<Step> steps) {
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
            case Step::Report:
                sound->Publish(Ms(s.position), At(s.at));
                clock.Now(At(s.at));
                break;
            case Step::Following:
                EXPECT_EQ(s.expected == 1, clock.FollowingAudio(At(s.at))) << s.what;
                break;
            case Step::When:
                EXPECT_EQ(At(s.expected), clock.When(Ms(s.position), At(s.at))) << s.what;
                break;
        }
    }
}

TEST(StreamClockTest, WithoutSoundItRunsStopsAndMovesOnTheMonotonicClock) {
    StreamClock clock(nullptr);
    Play(clock, nullptr,
         {
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
         });
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

TEST_F(SoundClockFixture, StartRunsOnTheMonotonicClockUntilTheReportsAreSteady) {
    Play(clock, &sound,
         {
             {"run", Step::Run, 0, 0, 0},
             {"sets off 20 ms later, sound or not", Step::Look, 10, 0, 0},
             {"the server fills its buffer in a burst", Step::Report, 20, -20, 0},
             {"", Step::Report, 21, 3, 0},
             {"", Step::Report, 22, 26, 0},
             {"a burst is not followed", Step::Look, 30, 0, 10},
             {"then goes quiet for a while", Step::Report, 250, 49, 0},
             {"and reports steadily", Step::Report, 273, 72, 0},
             {"two steady reports are not enough", Step::Following, 273, 0, 0},
             {"", Step::Report, 296, 95, 0},
             {"three are", Step::Following, 296, 0, 1},
             {"181 ms ahead: a tenth slower, no step", Step::Look, 396, 0, 366},
             {"reaches a place later by as much", Step::When, 396, 456, 496},
         });
}

TEST_F(SoundClockFixture, ReportsFromBeforeTheStartOrAMoveAreIgnored) {
    Play(clock, &sound,
         {
             {"a report from before the start", Step::Report, 0, 3000, 0},
             {"run", Step::Run, 10, 0, 0},
             {"", Step::Look, 15, 0, 0},
             {"", Step::Report, 20, 3020, 0},
             {"", Step::Report, 40, 3040, 0},
             {"an old report does not count towards steady ones", Step::Look, 40, 0, 10},
             {"move while running", Step::Move, 50, 5000, 0},
             {"sets off from the new place", Step::Look, 80, 0, 5010},
         });
}

TEST_F(SoundClockFixture, DifferencesAreWorkedOffGraduallyHugeOnesJumped) {
    Play(clock, &sound,
         {
             {"run", Step::Run, 0, 0, 0},
             {"", Step::Report, 40, 20, 0},
             {"", Step::Report, 60, 40, 0},
             {"the card 5 ms ahead", Step::Report, 80, 65, 0},
             {"runs 2 % fast", Step::Look, 180, 0, 162},
             {"move", Step::Move, 200, 0, 0},
             {"the sound steadily 1.5 s elsewhere", Step::Report, 220, 1520, 0},
             {"", Step::Report, 240, 1540, 0},
             {"", Step::Report, 260, 1560, 0},
             {"jumped to", Step::Look, 300, 0, 1600},
         });
}

TEST_F(SoundClockFixture, WithoutReportsForLongItRunsAlone) {
    Play(clock, &sound,
         {
             {"run", Step::Run, 0, 0, 0},
             {"", Step::Report, 40, 20, 0},
             {"", Step::Report, 60, 40, 0},
             {"the card 5 ms behind: 2 % slow", Step::Report, 80, 55, 0},
             {"following", Step::Following, 280, 0, 1},
             {"back, after slowing until then", Step::Report, 440, 421, 0},
             {"followed again", Step::Following, 450, 0, 1},
             {"runs alone once silent again", Step::Look, 740, 0, 720},
             {"", Step::Following, 740, 0, 0},
         });
}

TEST_F(SoundClockFixture, StopHoldsAndRunSetsOffAgain) {
    Play(clock, &sound,
         {
             {"run", Step::Run, 0, 0, 0},
             {"", Step::Report, 0, 0, 0},
             {"stop", Step::Stop, 500, 0, 0},
             {"held", Step::Look, 900, 0, 480},
             {"", Step::Following, 900, 0, 0},
             {"run", Step::Run, 1000, 0, 0},
             {"", Step::Look, 1010, 0, 480},
             {"", Step::Report, 1020, 480, 0},
             {"goes on", Step::Look, 1030, 0, 490},
         });
}

// The card begins (or goes on) late: the sound skips only what the card went without, so its
// reports agree with the clock that ran meanwhile.
TEST(SoundClockTimelineTest, TheSoundSkipsOnlyWhatTheCardWentWithout) {
    struct Case {
        const char* what;
        std::vector<int> fills;  // ms after the start, 100 frames each
        int64_t device;
    } cases[] = {
        {"begins within 200 ms: plays from the start", {150}, 100},
        {"begins 350 ms late: where the clock is", {350}, 450},
        {"takes 300 ms at once, quiet for 450 ms: nothing missed", {0, 0, 0, 450}, 400},
        {"then quiet for 250 ms: 250 ms missed", {0, 0, 0, 450, 800}, 750},
    };
    std::vector<uint8_t> out(200);
    for (const Case& c : cases) {
        AudioTimeline timeline(1000, 2, 200, 30);
        timeline.SetRunning(true, At(0));
        for (int fill : c.fills) {
            timeline.Fill(out.data(), 100, At(fill));
        }
        EXPECT_EQ(c.device, timeline.DevicePosition()) << c.what;
    }
}

}  // namespace
}  // namespace vrel::mmstream
