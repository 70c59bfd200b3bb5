// Hand-over of frame ring entries between the transfer thread and its reader.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "device/ring_index.h"

using namespace quorin;

TEST(RingWriter, SkipsTheEntryTheReaderHolds) {
    // Reader holds 1 in a ring of 4: the writer cycles 2, 3, 0, 2, 3, 0, ...
    RingHandOver ring;
    ring.Reset(4);
    ring.CompleteFrame();  // entry 0
    ring.CompleteFrame();  // entry 1
    int32_t held = -1;
    ASSERT_TRUE(ring.Claim(&held));
    ASSERT_EQ(1, held);
    std::vector<int32_t> filled;
    for (int i = 0; i < 7; ++i) {
        filled.push_back(ring.WriteIndex());
        ring.CompleteFrame();
    }
    EXPECT_EQ((std::vector<int32_t>{2, 3, 0, 2, 3, 0, 2}), filled);
}

TEST(RingWriter, WrapsAndSkipsAcrossTheEnd) {
    EXPECT_EQ(0, NextWriteIndex(3, 2, 4));
    EXPECT_EQ(1, NextWriteIndex(3, 0, 4));  // wraps to 0, which is held: on to 1
    EXPECT_EQ(0, NextWriteIndex(2, 3, 4));  // 3 held, wraps past the end
    EXPECT_EQ(0, NextWriteIndex(1, 1, 2));
    EXPECT_EQ(0, NextWriteIndex(kMaxRingCount - 1, -1, kMaxRingCount));
}

TEST(RingState, EveryFieldSurvivesTheWordAtItsLimits) {
    const RingState cases[] = {
        {0, 0, 0, false, false},
        {kMaxRingCount - 1, kMaxRingCount - 1, kMaxRingCount - 1, true, true},
        {5, 1022, 0, true, false},
        {0, 0, 1022, false, true},
    };
    for (const RingState& c : cases) {
        const RingState back = UnpackRingState(PackRingState(c));
        EXPECT_EQ(c.write, back.write);
        EXPECT_EQ(c.latest, back.latest);
        EXPECT_EQ(c.held, back.held);
        EXPECT_EQ(c.fresh, back.fresh);
        EXPECT_EQ(c.holding, back.holding);
    }
}

// Scripts of writer and reader steps: W the writer completes the entry it
// fills, C the reader claims, F the reader copies its entry out and gives it
// back. After every step the test checks, from its own record of which frame
// each entry holds: the writer never fills the entry the reader holds, a
// claim gets exactly the newest completed frame that is still intact, and a
// refused claim means there was none the reader had not had already.
struct HandOverScript {
    int32_t count;
    const char* steps;
    int claims;  // claims that must succeed
};

TEST(RingHandOverScript, ReaderGetsTheNewestFrameAndTheWriterNeverTouchesIt) {
    const HandOverScript scripts[] = {
        {4, "WWWC", 1},
        {4, "C", 0},                       // nothing completed yet
        {4, "WCC", 1},                     // the same frame is not handed twice
        {4, "WC WWW F WWWWW C", 2},        // writer wrapped past the entry after the fetch
        {4, "WC WWWWWWW C F WWWWWWW C", 3},  // claim again while holding: the old entry is let go
        {4, "WWC F WC F WWWWWWWWWWWW C", 3},
        {3, "WC WWWWW F WWWW C F C", 2},
        {2, "WC WWW C", 1},                // two entries, one held: every new frame is overwritten
        {2, "WC F W C F WW C", 3},
        {5, "WWWWWC F WWWWWWWWWWWWWWWWWW C F W C", 3},
    };
    for (const HandOverScript& script : scripts) {
        SCOPED_TRACE(std::string("ring of ") + std::to_string(script.count) + ": " + script.steps);
        RingHandOver ring;
        ring.Reset(script.count);
        std::vector<int> frameIn(script.count, -1);  // frame number each entry holds
        int completed = 0, lastHanded = -1, claims = 0;
        int32_t held = -1;
        for (const char* step = script.steps; *step; ++step) {
            if (*step == 'W') {
                const int32_t write = ring.WriteIndex();
                ASSERT_FALSE(held >= 0 && write == held) << "the writer fills the held entry";
                frameIn[write] = completed++;
                ring.CompleteFrame();
            } else if (*step == 'C') {
                int32_t claimed = -1;
                // The newest completed frame that is not being written over.
                const int32_t writing = ring.WriteIndex();
                int newestIntact = -1;
                for (int32_t e = 0; e < script.count; ++e) {
                    if (e != writing && frameIn[e] > newestIntact) newestIntact = frameIn[e];
                }
                if (ring.Claim(&claimed)) {
                    ++claims;
                    held = claimed;
                    EXPECT_EQ(completed - 1, frameIn[claimed]) << "not the newest frame";
                    EXPECT_GT(frameIn[claimed], lastHanded);
                    lastHanded = frameIn[claimed];
                    EXPECT_EQ(claimed, ring.ReadIndex());
                } else {
                    EXPECT_LE(newestIntact, lastHanded) << "a newer frame waited";
                }
            } else if (*step == 'F') {
                ASSERT_TRUE(ring.Holding());
                ring.Release();
                EXPECT_EQ(NextReadIndex(held, script.count), ring.ReadIndex());
                EXPECT_FALSE(ring.Holding());
                held = -1;
            }
        }
        EXPECT_EQ(script.claims, claims);
    }
}

// A writer thread fills entries with its frame number in every word while a
// slower reader claims, checks and gives back: every frame the reader sees is
// whole and newer than the one before.
TEST(RingHandOverStress, TwoThreadsNeverShareAnEntry) {
    constexpr int32_t kCount = 4;
    constexpr size_t kWords = 2048;
    constexpr uint32_t kFrames = 60000;
    std::vector<std::vector<uint32_t>> entries(kCount, std::vector<uint32_t>(kWords, 0));
    RingHandOver ring;
    ring.Reset(kCount);
    std::atomic<bool> done{false};
    std::atomic<int> writerSawHeld{0};

    std::thread writer([&] {
        for (uint32_t frame = 1; frame <= kFrames; ++frame) {
            const RingState s = ring.State();
            if (s.holding && s.held == s.write) ++writerSawHeld;
            std::vector<uint32_t>& entry = entries[s.write];
            for (size_t i = 0; i < kWords; ++i) entry[i] = frame;
            ring.CompleteFrame();
        }
        done.store(true);
    });

    uint32_t last = 0, handed = 0, torn = 0, older = 0;
    while (!done.load()) {
        int32_t held = -1;
        if (!ring.Claim(&held)) {
            std::this_thread::yield();
            continue;
        }
        const std::vector<uint32_t>& entry = entries[held];
        const uint32_t first = entry[0];
        for (size_t pass = 0; pass < 4; ++pass) {  // linger, as a slow consumer does
            for (size_t i = 0; i < kWords; ++i) {
                if (entry[i] != first) ++torn;
            }
        }
        if (first <= last) ++older;
        last = first;
        ++handed;
        ring.Release();
    }
    writer.join();
    EXPECT_EQ(0, writerSawHeld.load());
    EXPECT_EQ(0u, torn);
    EXPECT_EQ(0u, older);
    EXPECT_GT(handed, 0u);
    std::printf("hand-over stress: %u frames written, %u handed over\n", kFrames, handed);
}
