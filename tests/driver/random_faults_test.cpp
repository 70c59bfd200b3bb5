// The simulated camera's seeded random faults and its per-camera scene marks.
#include <gtest/gtest.h>

#include <vector>

#include "driver/model/m52_random_faults.h"
#include "driver/model/m52_scene.h"

namespace {

std::vector<M52RandomFault> Draw(uint32_t seed, uint32_t rate, M52FaultTarget target, int count)
{
    M52RandomFaults faults;
    m52_random_faults_start(&faults, seed, rate);
    std::vector<M52RandomFault> out;
    for (int i = 0; i < count; ++i) out.push_back(m52_random_faults_next(&faults, target));
    return out;
}

bool Same(const std::vector<M52RandomFault> &a, const std::vector<M52RandomFault> &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].stall_ms != b[i].stall_ms || a[i].corrupt_seed != b[i].corrupt_seed)
            return false;
    return true;
}

TEST(RandomFaultsTest, SameSeedSameSequenceOtherSeedAnother)
{
    const auto first = Draw(1234, 200000, M52_FAULT_TARGET_FRAME, 2000);
    EXPECT_TRUE(Same(first, Draw(1234, 200000, M52_FAULT_TARGET_FRAME, 2000)));
    EXPECT_FALSE(Same(first, Draw(1235, 200000, M52_FAULT_TARGET_FRAME, 2000)));
    EXPECT_FALSE(Same(Draw(0, 200000, M52_FAULT_TARGET_FRAME, 2000), Draw(1, 200000, M52_FAULT_TARGET_FRAME, 2000)));
}

TEST(RandomFaultsTest, RateKindsAndStallBoundsPerTarget)
{
    struct Case { M52FaultTarget target; uint32_t rate; unsigned kinds; uint32_t maxStall; };
    const Case cases[] = {
        {M52_FAULT_TARGET_COMMAND, 100000, 3, M52_COMMAND_STALL_MAX_MS},
        {M52_FAULT_TARGET_RESPONSE, 100000, 4, M52_COMMAND_STALL_MAX_MS},
        {M52_FAULT_TARGET_FRAME, 100000, 4, M52_FRAME_STALL_MAX_MS},
    };
    for (const Case &c : cases) {
        const int n = 20000;
        unsigned counts[M52_RANDOM_KIND_COUNT] = {};
        for (const M52RandomFault &f : Draw(99, c.rate, c.target, n)) {
            counts[f.kind]++;
            if (f.kind == M52_RANDOM_STALL) {
                EXPECT_GE(f.stall_ms, 20u);
                EXPECT_LT(f.stall_ms, 20u + c.maxStall);
            }
            if (f.kind == M52_RANDOM_CORRUPT) {
                EXPECT_NE(0u, f.corrupt_seed);
            }
        }
        const unsigned faulted = n - counts[M52_RANDOM_NONE];
        EXPECT_NEAR(faulted, n / 10, n / 50) << "target " << c.target;
        for (unsigned k = 1; k <= c.kinds; ++k) EXPECT_GT(counts[k], faulted / (2 * c.kinds)) << "kind " << k;
        for (unsigned k = c.kinds + 1; k < M52_RANDOM_KIND_COUNT; ++k) EXPECT_EQ(0u, counts[k]);
    }
    // Off and full rates.
    for (const M52RandomFault &f : Draw(5, 0, M52_FAULT_TARGET_FRAME, 500)) EXPECT_EQ(M52_RANDOM_NONE, f.kind);
    for (const M52RandomFault &f : Draw(5, M52_RATE_ONE, M52_FAULT_TARGET_FRAME, 500)) EXPECT_NE(M52_RANDOM_NONE, f.kind);
}

TEST(RandomFaultsTest, CorruptionChangesTheFirstByteAndIsRepeatable)
{
    for (uint32_t length : {1u, 2u, 64u, 4096u}) {
        std::vector<uint8_t> a(length, 0x11), b(length, 0x11);
        m52_random_corrupt(a.data(), length, 77);
        m52_random_corrupt(b.data(), length, 77);
        EXPECT_EQ(a, b);
        EXPECT_NE(0x11, a[0]);
    }
    EXPECT_EQ(32u, m52_random_short_length(64));
}

// The number a frame's mark bands carry: -1 when a cell is neither white nor black (camera 0
// shows its bars there).
int MarkedCamera(const M52SceneParams &p, unsigned band)
{
    int number = 0;
    for (unsigned cell = 0; cell < M52_MARK_CELLS; ++cell) {
        const unsigned x = cell * 170 + 85;
        unsigned low = 1023, high = 0;
        for (unsigned channel = 0; channel < 3; ++channel) {
            const unsigned v = m52_scene_level(&p, x, band + 32, channel);
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        if (low == M52_MARK_ON_LEVEL && high == M52_MARK_ON_LEVEL) number |= 1 << cell;
        else if (high != M52_MARK_OFF_LEVEL) return -1;
    }
    return number;
}

TEST(SceneMarksTest, EachCameraCarriesItsNumberCameraZeroIsUnmarked)
{
    M52SceneParams p{};
    p.scene = M52_SCENE_COMPOSITE;
    p.frame_number = 40; // the moving object is elsewhere
    p.exposure_lines = M52_REFERENCE_LINES;
    p.gain = M52_REFERENCE_GAIN;
    for (unsigned camera : {0u, 1u, 5u, 22u, 31u}) {
        p.camera = camera;
        const int expected = camera == 0 ? -1 : static_cast<int>(camera);
        EXPECT_EQ(expected, MarkedCamera(p, M52_MARK_BAND_A)) << camera;
        EXPECT_EQ(expected, MarkedCamera(p, M52_MARK_BAND_B)) << camera;
        // The fast renderer agrees with the level function on a marked line.
        std::vector<uint8_t> frame(2u * 1360 * (M52_MARK_BAND_A + 1));
        m52_scene_render(&p, frame.data(), 1360 * (M52_MARK_BAND_A + 1), 1);
        for (unsigned x = 0; x < 1360; x += 37) {
            const unsigned at = 2 * (M52_MARK_BAND_A * 1360 + x);
            EXPECT_EQ(m52_scene_sample(&p, x, M52_MARK_BAND_A), unsigned(frame[at] | frame[at + 1] << 8)) << x;
        }
    }
    // Other scenes stay as they are.
    p.scene = M52_SCENE_FLAT;
    p.camera = 7;
    EXPECT_EQ(-1, MarkedCamera(p, M52_MARK_BAND_A));
}

}  // namespace
