// The fixed rings between threads: picture queue, packet queue and the sound sample ring.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/mmstream/frame_queue.h"
#include "runtime/mmstream/packet_queue.h"
#include "runtime/mmstream/sample_ring.h"

namespace vrel::mmstream {
namespace {

FramePtr PictureNumbered(int n) {
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_GRAY8;
    frame->width = 4;
    frame->height = 4;
    EXPECT_EQ(0, av_frame_get_buffer(frame.get(), 0));
    frame->data[0][0] = static_cast<uint8_t>(n);
    return frame;
}

QueuedFrame TimesOf(int n) {
    return QueuedFrame{StreamTicks(n * 400'000), StreamTicks(400'000)};
}

TEST(FrameQueueTest, KeepsOrderAcrossTheRingsEndAndMovesReferences) {
    FrameQueue queue(3);
    FramePtr out(av_frame_alloc());
    int next = 0;
    for (int round = 0; round < 4; ++round) {
        while (!queue.Full()) {
            FramePtr picture = PictureNumbered(next);
            queue.Push(picture.get(), TimesOf(next));
            EXPECT_EQ(nullptr, picture->buf[0]) << "the queue took the picture's reference";
            ++next;
        }
        int expected = next - 3;
        EXPECT_EQ(TimesOf(expected).start, queue.Front().start);
        queue.PopInto(out.get());
        EXPECT_EQ(expected, out->data[0][0]);
        av_frame_unref(out.get());
        queue.DropFront();
    }
    EXPECT_EQ(1, queue.Size());
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
}

TEST(FrameQueueTest, ClearGivesTheBuffersBack) {
    FrameQueue queue(2);
    FramePtr picture = PictureNumbered(7);
    AVBufferRef* kept = av_buffer_ref(picture->buf[0]);
    queue.Push(picture.get(), TimesOf(0));
    EXPECT_EQ(2, av_buffer_get_ref_count(kept));
    queue.Clear();
    EXPECT_EQ(1, av_buffer_get_ref_count(kept));
    av_buffer_unref(&kept);
}

TEST(PacketQueueTest, CountsBytesAndDurationInAndOut) {
    PacketQueue queue(4);
    for (int i = 1; i <= 4; ++i) {
        PacketPtr packet(av_packet_alloc());
        ASSERT_EQ(0, av_new_packet(packet.get(), 100 * i));
        queue.Push(packet.get(), StreamTicks(1000 * i));
    }
    EXPECT_TRUE(queue.Full());
    EXPECT_EQ(1000, queue.Bytes());
    EXPECT_EQ(StreamTicks(10'000), queue.Duration());
    PacketPtr out(av_packet_alloc());
    queue.PopInto(out.get());
    EXPECT_EQ(100, out->size);
    EXPECT_EQ(900, queue.Bytes());
    EXPECT_EQ(StreamTicks(9000), queue.Duration());
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(0, queue.Bytes());
}

TEST(SampleRingTest, WrapsAroundWithoutLosingOrder) {
    SampleRing ring(2, 7);
    std::vector<uint16_t> in(5);
    std::vector<uint16_t> out(5);
    uint16_t next = 0;
    uint16_t expected = 0;
    for (int round = 0; round < 10; ++round) {
        for (uint16_t& v : in) {
            v = next++;
        }
        ASSERT_EQ(5, ring.Write(reinterpret_cast<uint8_t*>(in.data()), 5));
        ASSERT_EQ(5, ring.AvailableFrames());
        ring.Read(reinterpret_cast<uint8_t*>(out.data()), 5);
        for (uint16_t v : out) {
            EXPECT_EQ(expected++, v) << "round " << round;
        }
    }
    EXPECT_EQ(50u, ring.ReadCount());
}

TEST(SampleRingTest, FullRingTakesNothingAndSkipFreesRoom) {
    SampleRing ring(1, 4);
    uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(4, ring.Write(bytes, 6));
    EXPECT_EQ(0, ring.FreeFrames());
    ring.Skip(3);
    EXPECT_EQ(3, ring.FreeFrames());
    uint8_t out[1] = {};
    ring.Read(out, 1);
    EXPECT_EQ(4, out[0]);
    ring.Clear();
    EXPECT_EQ(0, ring.AvailableFrames());
}

}  // namespace
}  // namespace vrel::mmstream
