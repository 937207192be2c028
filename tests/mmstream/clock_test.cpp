// On hand-driven time: the stream's clock and the sound card; the rings between the threads.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <sstream>

#include "runtime/mmstream/audio_converter.h"
#include "runtime/mmstream/audio_position.h"
#include "runtime/mmstream/frame_queue.h"
#include "runtime/mmstream/packet_queue.h"
#include "runtime/mmstream/sample_ring.h"
#include "runtime/mmstream/stream_clock.h"

namespace vrel::mmstream {
namespace {

MonoTime At(int ms) {
    return MonoTime(std::chrono::milliseconds(1000 + ms));
}
using Ms = std::chrono::milliseconds;

// Steps at T ms: run, stop, move:P (to P ms), look=V (the clock reads V ms), heard:P (the card
// reports P ms heard; the clock reads it), follows / alone (the reports steer the clock or not),
// when:P=V (P is reached at V, -1 never). With no report at all, there is no sound card.
const std::pair<const char*, const char*> kScenarios[] = {
    {"no sound: the monotonic clock, held while stopped",
     "look@0=0 when@0:100=-1 run@500 look@620=120 when@620:300=800 stop@700 look@2000=200 "
     "move@2100:5000 look@2200=5000 run@2300 look@2340=5040 move@2400:1000 look@2450=1050 "
     "when@2450:980=2380"},
    {"sets off 20 ms late; follows 3 steady reports, not a burst: 181 ms ahead, 10 % slow",
     "run@0 look@10=0 heard@20:-20 heard@21:3 heard@22:26 look@30=10 heard@250:49 "
     "heard@273:72 alone@273 heard@296:95 follows@296 look@396=366 when@396:456=496"},
    {"reports from before the start or a move are not counted",
     "heard@0:3000 run@10 heard@20:3020 heard@40:3040 look@40=10 move@50:5000 look@80=5010"},
    {"5 ms behind the card: 2 % fast; the card 1.5 s elsewhere: jumped to",
     "run@0 heard@40:20 heard@60:40 heard@80:65 look@180=162 move@200:0 heard@220:1520 "
     "heard@240:1540 heard@260:1560 look@300=1600"},
    {"a card silent for 200 ms is left, from then on",
     "run@0 heard@40:20 heard@60:40 heard@80:55 follows@280 heard@440:421 follows@450 "
     "look@740=720 alone@740"},
    {"stopped with sound: held; run: sets off again",
     "run@0 heard@0:0 stop@500 look@900=480 alone@900 run@1000 look@1010=480 heard@1020:480 "
     "look@1030=490"},
};

TEST(StreamClockTest, RunsStopsMovesAndFollowsSteadySound) {
    for (const auto& [what, text] : kScenarios) {
        AudioPosition sound;
        StreamClock clock(std::strstr(text, "heard") ? &sound : nullptr);
        const std::map<std::string, std::function<void(MonoTime, int, int)>> steps = {
            {"run", [&](MonoTime t, int, int) { clock.Run(t); }},
            {"stop", [&](MonoTime t, int, int) { clock.Stop(t); }},
            {"move", [&](MonoTime t, int p, int) { clock.SetPosition(Ms(p), t); }},
            {"look", [&](MonoTime t, int v, int) { EXPECT_EQ(Ms(v), clock.Now(t)); }},
            {"heard", [&](MonoTime t, int p, int) { sound.Publish(Ms(p), t), clock.Now(t); }},
            {"follows", [&](MonoTime t, int, int) { EXPECT_TRUE(clock.FollowingAudio(t)); }},
            {"alone", [&](MonoTime t, int, int) { EXPECT_FALSE(clock.FollowingAudio(t)); }},
            {"when", [&](MonoTime t, int p, int v) {
                 EXPECT_EQ(v < 0 ? MonoTime::max() : At(v), clock.When(Ms(p), t));
             }}};
        std::istringstream script(text);
        for (std::string step; script >> step;) {
            char action[8] = {};
            int at = 0, place = 0, value = 0;
            std::sscanf(step.c_str(), "%7[a-z]@%d%*[:=]%d%*[=]%d", action, &at, &place, &value);
            SCOPED_TRACE(std::string(what) + ": " + step);
            steps.at(action)(At(at), place, value);
        }
    }
}

// Two held at a time, so both go round their ends; what is dropped is given back.
TEST(QueuesTest, KeepOrderCountWhatTheyHoldAndGiveBack) {
    FrameQueue pictures(3);
    PacketQueue packets(3);
    FramePtr out(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    std::vector<FramePtr> kept;  // a second hold on each picture's pixels
    for (int n = 0; n < 12; ++n) {
        FramePtr in(av_frame_alloc());
        in->format = AV_PIX_FMT_GRAY8;
        in->width = in->height = 4;
        ASSERT_EQ(0, av_frame_get_buffer(in.get(), 0));
        kept.emplace_back(av_frame_clone(in.get()));
        pictures.Push(in.get(), {StreamTicks(n), StreamTicks(1)});
        ASSERT_EQ(0, av_new_packet(packet.get(), 100 + n));
        packets.Push(packet.get(), StreamTicks(1000));
        if (n > 0) {
            EXPECT_EQ(StreamTicks(n - 1), pictures.Front().start);
            n % 2 ? pictures.PopInto(out.get()) : pictures.DropFront();
            av_frame_unref(out.get());
            EXPECT_EQ(1, av_buffer_get_ref_count(kept[n - 1]->buf[0])) << n - 1 << " kept";
            packets.PopInto(packet.get());
            EXPECT_EQ(100 + n - 1, packet->size);
            av_packet_unref(packet.get());
            EXPECT_TRUE(packets.Bytes() == 100 + n && packets.Duration() == StreamTicks(1000));
        }
    }
    pictures.Clear();
    EXPECT_EQ(1, av_buffer_get_ref_count(kept.back()->buf[0]));
}

TEST(SampleRingTest, WrapsAroundWithoutLosingOrder) {
    SampleRing ring(2, 7);
    std::vector<uint16_t> in(5), out(5);
    for (uint16_t round = 0; round < 10; ++round) {
        std::iota(in.begin(), in.end(), static_cast<uint16_t>(round * 5));
        ASSERT_EQ(5, ring.Write(reinterpret_cast<uint8_t*>(in.data()), 5));
        ring.Read(reinterpret_cast<uint8_t*>(out.data()), 5);
        EXPECT_EQ(in, out) << "round " << round;
    }
}

TEST(SoundBoundsTest, SoundOutside4To384kHzOr1To32ChannelsIsNotPlayed) {
    EXPECT_TRUE(PlayableSound(4'000, 1) && PlayableSound(384'000, 32));
    EXPECT_FALSE(PlayableSound(3'999, 2) || PlayableSound(384'001, 2));
    EXPECT_FALSE(PlayableSound(44'100, 0) || PlayableSound(44'100, 33));
}

}  // namespace
}  // namespace vrel::mmstream
