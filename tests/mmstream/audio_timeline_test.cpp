// The sound's timeline as the audio callback sees it: silence while stopped, samples placed
// at their stream positions, late ones skipped, missing ones silent, and what it reports.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "runtime/mmstream/audio_timeline.h"

namespace vrel::mmstream {
namespace {

// 1000 mono 16-bit frames per second: a frame is a millisecond, its value its position.
constexpr int kRate = 1000;
constexpr int kLatency = 30;

std::vector<int16_t> Ramp(int from, int count) {
    std::vector<int16_t> samples(count);
    std::iota(samples.begin(), samples.end(), static_cast<int16_t>(from));
    return samples;
}

class AudioTimelineTest : public ::testing::Test {
  protected:
    std::vector<int16_t> Fill(int frames, int atMs) {
        std::vector<int16_t> out(frames, -1);
        timeline.Fill(reinterpret_cast<uint8_t*>(out.data()), frames,
                      MonoTime(std::chrono::milliseconds(atMs)));
        return out;
    }
    int Write(int from, int count) {
        std::vector<int16_t> samples = Ramp(from, count);
        return timeline.Write(reinterpret_cast<const uint8_t*>(samples.data()), count, from);
    }
    AudioTimeline timeline{kRate, 2, 200, kLatency};
};

TEST_F(AudioTimelineTest, StoppedPlaysSilenceAndReportsNothing) {
    Write(0, 100);
    EXPECT_EQ(std::vector<int16_t>(50, 0), Fill(50, 0));
    EXPECT_FALSE(timeline.Position().Read().has_value());
    EXPECT_EQ(100, timeline.BufferedFrames()) << "nothing consumed";
}

TEST_F(AudioTimelineTest, RunningPlaysSamplesInOrderAndReportsWhatIsHeard) {
    Write(0, 100);
    timeline.SetRunning(true);
    EXPECT_EQ(Ramp(0, 40), Fill(40, 1000));
    EXPECT_EQ(Ramp(40, 40), Fill(40, 1040));
    auto reading = timeline.Position().Read();
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(std::chrono::milliseconds(40 - kLatency), reading->heard);
    EXPECT_EQ(MonoTime(std::chrono::milliseconds(1040)), reading->at);
}

TEST_F(AudioTimelineTest, SamplesBeforeThePositionAreSkipped) {
    timeline.Restart(70);
    Write(0, 150);
    timeline.SetRunning(true);
    EXPECT_EQ(Ramp(70, 30), Fill(30, 0));
}

TEST_F(AudioTimelineTest, SamplesNotYetDueWaitBehindSilence) {
    timeline.Restart(0);
    Write(25, 50);
    timeline.SetRunning(true);
    std::vector<int16_t> expected(25, 0);
    std::vector<int16_t> ramp = Ramp(25, 15);
    expected.insert(expected.end(), ramp.begin(), ramp.end());
    EXPECT_EQ(expected, Fill(40, 0));
}

TEST_F(AudioTimelineTest, MissingSamplesAreSilenceAndTimeGoesOn) {
    Write(0, 20);
    timeline.SetRunning(true);
    std::vector<int16_t> expected = Ramp(0, 20);
    expected.resize(40, 0);
    EXPECT_EQ(expected, Fill(40, 0));
    Write(20, 60);  // arrives late: its first 20 frames are past
    EXPECT_EQ(Ramp(40, 40), Fill(40, 40));
    EXPECT_EQ(80, timeline.DevicePosition());
}

TEST_F(AudioTimelineTest, AfterTheCardStalledTheSoundCatchesUpWithTheClock) {
    Write(0, 190);
    timeline.SetRunning(true);
    Fill(10, 0);
    Fill(10, 10);
    EXPECT_EQ(20, timeline.DevicePosition());
    Fill(10, 310);  // 300 ms without a call: the card missed 290 ms
    EXPECT_EQ(20 + 290 + 10, timeline.DevicePosition());
}

TEST_F(AudioTimelineTest, RingTakesOnlyWhatFits) {
    EXPECT_EQ(200, Write(0, 250));
    EXPECT_EQ(0, Write(200, 10));
    timeline.SetRunning(true);
    Fill(50, 0);
    EXPECT_EQ(50, Write(200, 60));
}

}  // namespace
}  // namespace vrel::mmstream
