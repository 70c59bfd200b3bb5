// Register plans of the sensor: shutter ranges, gain split, trigger bits,
// the start-up table and the fixed start-up steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "device/sensor_programming.h"
#include "device/sensor_startup_table.h"

using namespace quorin;

namespace {

std::vector<std::pair<uint32_t, uint32_t>> Pairs(const RegisterPlan& plan) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const RegisterWrite& w : plan) out.emplace_back(w.reg, w.value);
    return out;
}

using P = std::vector<std::pair<uint32_t, uint32_t>>;

}  // namespace

TEST(ShutterPlan, RangeSwitchesHappenOnlyWhenTheRangeChanges) {
    RegisterPlan plan;
    EXPECT_EQ(1070, PlanShutterWrites(100, 1070, &plan));
    EXPECT_EQ((P{{154, 1}, {157, 0}, {158, 7}, {159, 0}, {160, 1}, {161, 7}, {162, 0}, {163, 1},
                 {155, 3}}),
              Pairs(plan));

    EXPECT_EQ(1069, PlanShutterWrites(1070, 1069, &plan));
    EXPECT_EQ((P{{155, 2}}), Pairs(plan));

    EXPECT_EQ(1068, PlanShutterWrites(1069, 1068, &plan));
    EXPECT_EQ((P{{154, 0}, {155, 7}, {157, 1}, {160, 1}, {163, 0},
                 {158, 1068 & 0x3F}, {159, 1068 >> 6}, {161, 1068 & 0x3F}, {162, 1068 >> 6}}),
              Pairs(plan));
}

TEST(ShutterPlan, ClampsToTheLimits) {
    RegisterPlan plan;
    EXPECT_EQ(8, PlanShutterWrites(64, 5, &plan));
    EXPECT_EQ((P{{158, 8}, {159, 0}, {161, 8}, {162, 0}}), Pairs(plan));

    EXPECT_EQ(1074, PlanShutterWrites(64, 2000, &plan));
    EXPECT_EQ(9u, plan.size());
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{155, 7}), Pairs(plan).back());
}

TEST(ShutterPlan, FirstCallAfterConstructionStartsInTheNormalRange) {
    RegisterPlan plan;
    PlanShutterWrites(0, 64, &plan);
    EXPECT_EQ((P{{158, 0}, {159, 1}, {161, 0}, {162, 1}}), Pairs(plan));
}

TEST(GainPlan, SplitsTenBitsOverTwoRegisters) {
    EXPECT_EQ((P{{6, 63}, {7, 15}}), Pairs(GainWrites(1023)));
    EXPECT_EQ((P{{6, 0}, {7, 0}}), Pairs(GainWrites(1024)));
    EXPECT_EQ((P{{6, 0}, {7, 8}}), Pairs(GainWrites(512)));
}

TEST(TriggerPlan, RepeatedCallsDoNotCreep) {
    uint32_t r32 = 11, r33 = 0;
    for (int i = 0; i < 3; ++i) {
        const RegisterPlan on = TriggerModeWrites(true, r32, r33);
        r32 = on[0].value;
        r33 = on[1].value;
        EXPECT_EQ(11u, r32);
        EXPECT_EQ(0x1Cu, r33);
    }
    const RegisterPlan off = TriggerModeWrites(false, r32, r33);
    EXPECT_EQ((P{{32, 11 | 0x10}, {33, 1}}), Pairs(off));
    // Bits above the trigger source survive both ways.
    EXPECT_EQ(0x3Cu, TriggerModeWrites(true, 0, 0x21)[1].value);
    EXPECT_EQ(0x21u, TriggerModeWrites(false, 0, 0x3C)[1].value);
}

TEST(ClockPlan, HalfClockModesReprogramTheirRegisters) {
    EXPECT_EQ((P{{25, 24}, {26, 1}}), Pairs(ClockWrites(1)));
    EXPECT_EQ((P{{25, 42}, {26, 1}, {17, 24}, {19, 15}}), Pairs(ClockWrites(2)));
    EXPECT_EQ((P{{25, 32}, {26, 1}}), Pairs(ClockWrites(0)));
    EXPECT_EQ((P{{25, 32}, {26, 1}}), Pairs(ClockWrites(7)));
}

TEST(StartupTable, TenPatternsOfRisingClockPositionsEndingAtTheLineEnd) {
    size_t total = 0;
    for (size_t p = 0; p < kSensorPatternCount; ++p) total += kSensorPatternSizes[p];
    ASSERT_EQ(kSensorPatternWordCount, total);
    const uint16_t sizes[] = {28, 25, 27, 37, 28, 64, 61, 63, 81, 64};
    size_t row = 0;
    for (size_t p = 0; p < kSensorPatternCount; ++p) {
        EXPECT_EQ(sizes[p], kSensorPatternSizes[p]);
        uint32_t lastPosition = 0;
        for (size_t k = 0; k < kSensorPatternSizes[p]; ++k, ++row) {
            const SensorPatternRow& r = kSensorPatternTable[row];
            EXPECT_EQ(512 + row, r.reg) << row;
            EXPECT_LT(r.word, 1u << 22) << row;
            const uint32_t position = r.word & 0xFFF;
            if (k > 0) {
                EXPECT_GT(position, lastPosition) << "pattern " << p << " word " << k;
            }
            lastPosition = position;
            if (k + 1 == kSensorPatternSizes[p]) {
                EXPECT_EQ(kSensorPatternEndWord, r.word) << "pattern " << p;
            } else {
                EXPECT_LT(position, kSensorLineClocks) << row;
            }
        }
    }
    EXPECT_EQ(989u, kSensorPatternTable[kSensorPatternWordCount - 1].reg);
    const uint32_t head[] = {0x032019, 0x072032, 0x310035, 0x252036, 0x104037};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(head[i], kSensorPatternTable[i].word) << i;
    EXPECT_EQ(0x03C6F9u, kSensorPatternTable[25].word);
    EXPECT_EQ(0x03A6FDu, kSensorPatternTable[26].word);
    EXPECT_EQ(0x3FE6FEu, kSensorPatternTable[27].word);
}

TEST(StartupSteps, FixedStepsWriteTheirRegistersInOrder) {
    const RegisterPlan bias = StartupBiasWrites();
    ASSERT_EQ(12u, bias.size());
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{35, 62}), Pairs(bias).front());
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{46, 2}), Pairs(bias).back());

    const RegisterPlan timing = StartupTimingWrites();
    ASSERT_EQ(18u, timing.size());
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{384, 0x035001}), Pairs(timing)[0]);
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{392, 0x3E042C}), Pairs(timing)[8]);
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{400, 0x10E001}), Pairs(timing)[9]);
    EXPECT_EQ((std::pair<uint32_t, uint32_t>{408, 0x3E010B}), Pairs(timing)[17]);

    EXPECT_EQ(478u, StartupPatternWrites().size());

    const RegisterPlan clear = StartupClearWrites();
    ASSERT_EQ(48u, clear.size());
    for (size_t i = 0; i < clear.size(); ++i) {
        EXPECT_EQ(76 + i, clear[i].reg);
        EXPECT_EQ(0u, clear[i].value);
    }
}

TEST(StartupSteps, ControlRegistersLeaveTheShutterInTheNormalRange) {
    const RegisterPlan control = StartupControlWrites();
    // 0-30, 33-34, 47-62, 64-75, 124-163, then 158 and 159 again.
    ASSERT_EQ(31u + 2 + 16 + 12 + 40 + 2, control.size());
    EXPECT_EQ(0u, control.front().reg);
    const P pairs = Pairs(control);
    EXPECT_EQ((P{{158, 36}, {159, 1}}), P(pairs.end() - 2, pairs.end()));
    std::map<uint32_t, uint32_t> last;
    std::set<uint32_t> written;
    uint32_t previous = 0;
    for (size_t i = 0; i + 2 < control.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(control[i].reg, previous) << i;  // ascending until the repeat
        }
        previous = control[i].reg;
        last[control[i].reg] = control[i].value;
        EXPECT_LT(control[i].value, 64u);
    }
    const std::map<uint32_t, uint32_t> set = {
        {1, 8}, {7, 3}, {16, 3}, {17, 30}, {18, 6}, {19, 2}, {20, 1}, {34, 5}, {47, 9}, {49, 6},
        {140, 56}, {141, 3}, {143, 56}, {144, 5}, {145, 2}, {152, 1}, {155, 7}, {157, 1},
        {158, 36}, {159, 1}};
    for (const auto& [reg, value] : last) {
        auto it = set.find(reg);
        EXPECT_EQ(it == set.end() ? 0u : it->second, value) << reg;
    }
    EXPECT_EQ(0u, last.at(54));
    EXPECT_EQ(0u, last.count(31) + last.count(63) + last.count(32));
    EXPECT_EQ(0u, last.at(154));  // normal range
}
