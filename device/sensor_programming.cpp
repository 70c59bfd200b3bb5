#include "device/sensor_programming.h"

#include "device/sensor_startup_table.h"

namespace quorin {

namespace {

// Appends registers first..last with value 0, except those in `set`.
void AppendRange(RegisterPlan* plan, uint32_t first, uint32_t last,
                 std::initializer_list<RegisterWrite> set) {
    for (uint32_t reg = first; reg <= last; ++reg) {
        uint32_t value = 0;
        for (const RegisterWrite& w : set) {
            if (w.reg == reg) value = w.value;
        }
        plan->push_back({reg, value});
    }
}

}  // namespace

RegisterPlan StartupBiasWrites() {
    static const uint32_t kValues[] = {62, 7, 32, 39, 55, 6, 22, 1, 32, 39, 5, 2};
    RegisterPlan plan;
    uint32_t reg = 35;
    for (uint32_t v : kValues) plan.push_back({reg++, v});
    return plan;
}

RegisterPlan StartupTimingWrites() {
    static const uint32_t kFirst[] = {0x035001, 0x220001, 0x01C003, 0x050006, 0x035007,
                                      0x075011, 0x03501B, 0x00042C, 0x3E042C};
    static const uint32_t kSecond[] = {0x10E001, 0x220001, 0x0D1003, 0x14D006, 0x10E007,
                                       0x19E009, 0x10E00A, 0x09110B, 0x3E010B};
    RegisterPlan plan;
    for (uint32_t i = 0; i < 9; ++i) plan.push_back({384 + i, kFirst[i]});
    for (uint32_t i = 0; i < 9; ++i) plan.push_back({400 + i, kSecond[i]});
    return plan;
}

RegisterPlan StartupPatternWrites() {
    RegisterPlan plan;
    plan.reserve(kSensorPatternWordCount);
    for (size_t i = 0; i < kSensorPatternWordCount; ++i) {
        plan.push_back({kSensorPatternTable[i].reg, kSensorPatternTable[i].word});
    }
    return plan;
}

RegisterPlan StartupControlWrites() {
    RegisterPlan plan;
    AppendRange(&plan, 0, 30, {{1, 8}, {7, 3}, {16, 3}, {17, 30}, {18, 6}, {19, 2}, {20, 1}});
    AppendRange(&plan, 33, 34, {{34, 5}});
    AppendRange(&plan, 47, 62, {{47, 9}, {49, 6}});
    AppendRange(&plan, 64, 75, {});
    AppendRange(&plan, 124, 163,
                {{140, 56}, {141, 3}, {143, 56}, {144, 5}, {145, 2}, {152, 1}, {155, 7},
                 {157, 1}, {158, 36}, {159, 1}});
    plan.push_back({158, 36});
    plan.push_back({159, 1});
    return plan;
}

RegisterPlan StartupClearWrites() {
    RegisterPlan plan;
    AppendRange(&plan, 76, 123, {});
    return plan;
}

RegisterPlan ClockWrites(int halfClock) {
    if (halfClock == 1) return {{25, 24}, {26, 1}};
    if (halfClock == 2) return {{25, 42}, {26, 1}, {17, 24}, {19, 15}};
    return {{25, 32}, {26, 1}};
}

RegisterPlan GainWrites(uint16_t gain) {
    return {{6, gain & 0x3Fu}, {7, (gain >> 6) & 0x0Fu}};
}

uint16_t PlanShutterWrites(uint16_t stored, uint16_t requested, RegisterPlan* plan) {
    plan->clear();
    uint16_t value = requested;
    if (value < kShutterMin) value = kShutterMin;
    if (value > kShutterMax) value = kShutterMax;
    const bool wasLong = stored > kShutterLongRangeStart;
    if (value > kShutterLongRangeStart) {
        if (!wasLong) {
            plan->insert(plan->end(), {{154, 1}, {157, 0}, {158, 7}, {159, 0},
                                       {160, 1}, {161, 7}, {162, 0}, {163, 1}});
        }
        plan->push_back({155, static_cast<uint32_t>(value - (kShutterLongRangeStart - 1))});
    } else {
        if (wasLong) plan->insert(plan->end(), {{154, 0}, {155, 7}, {157, 1}, {160, 1}, {163, 0}});
        plan->push_back({158, value & 0x3Fu});
        plan->push_back({159, (value >> 6) & 0x3Fu});
        plan->push_back({161, value & 0x3Fu});
        plan->push_back({162, (value >> 6) & 0x3Fu});
    }
    return value;
}

RegisterPlan TriggerModeWrites(bool on, uint32_t r32, uint32_t r33) {
    // The low five bits of 33 select the trigger source; they are replaced as
    // a whole so repeated calls give the same value.
    if (on) return {{32, r32 & ~0x10u}, {33, (r33 & ~0x1Fu) | 0x1Cu}};
    return {{32, r32 | 0x10u}, {33, (r33 & ~0x1Fu) + 1}};
}

}  // namespace quorin
