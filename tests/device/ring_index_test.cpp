// Index rules of the frame ring between the transfer thread and its reader.
#include <gtest/gtest.h>

#include <vector>

#include "device/ring_index.h"

using namespace quorin;

TEST(RingWriter, SkipsTheEntryTheReaderHolds) {
    // Reader holds 1 in a ring of 4: the writer cycles 2, 3, 0, 2, 3, 0, ...
    std::vector<int32_t> filled;
    int32_t write = 2;
    for (int i = 0; i < 7; ++i) {
        filled.push_back(write);
        write = NextWriteIndex(write, 1, 4);
    }
    EXPECT_EQ((std::vector<int32_t>{2, 3, 0, 2, 3, 0, 2}), filled);
}

TEST(RingWriter, WrapsAndSkipsAcrossTheEnd) {
    EXPECT_EQ(0, NextWriteIndex(3, 2, 4));
    EXPECT_EQ(1, NextWriteIndex(3, 0, 4));  // wraps to 0, which is held: on to 1
    EXPECT_EQ(0, NextWriteIndex(2, 3, 4));  // 3 held, wraps past the end
    EXPECT_EQ(0, NextWriteIndex(1, 1, 2));
}

TEST(RingReader, JumpsToTheNewestCompletedFrame) {
    EXPECT_EQ(0, FramesPending(2, 2, 4));
    EXPECT_EQ(3, FramesPending(1, 2, 4));
    EXPECT_EQ(1, NewestFrameIndex(2, 0, 4));
    EXPECT_EQ(3, NewestFrameIndex(0, 1, 4));  // writer wrapped: newest is the last entry
    EXPECT_EQ(0, NewestFrameIndex(1, 3, 4));
    EXPECT_EQ(3, NewestFrameIndex(0, 0, 4));  // newest < 0 takes the last entry
}

TEST(RingReader, FetchMovesTheReadIndexOnWithWrap) {
    EXPECT_EQ(0, NextReadIndex(3, 4));
    EXPECT_EQ(2, NextReadIndex(1, 4));
}

TEST(RingProtocol, WriterNeverFillsTheEntryBeingCopied) {
    // Simulate a writer and a slow reader on a ring of 4 and check every step.
    const int32_t count = 4;
    int32_t write = 0, read = 0, completed = 0;
    std::vector<int32_t> frameIn(count, -1);
    for (int step = 0; step < 200; ++step) {
        // The writer completes a frame.
        frameIn[write] = completed++;
        write = NextWriteIndex(write, read, count);
        if (step % 3 != 0) continue;
        // The reader takes the newest one and copies it while the writer goes on.
        ASSERT_GE(FramesPending(write, read, count), 1);
        read = NewestFrameIndex(write, read, count);
        const int32_t held = read;
        const int32_t frame = frameIn[held];
        for (int k = 0; k < 5; ++k) {
            frameIn[write] = completed++;
            write = NextWriteIndex(write, read, count);
            ASSERT_EQ(frame, frameIn[held]) << "step " << step;
        }
        read = NextReadIndex(read, count);
    }
}
