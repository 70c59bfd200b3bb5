// Register write plans of the sensor: the fixed parts of the start-up
// sequence, the clock-dependent registers, the shutter range switch and the
// trigger bits. Portable: each plan is a list the device object sends in order.
#pragma once

#include <cstdint>
#include <vector>

namespace quorin {

struct RegisterWrite {
    uint32_t reg;
    uint32_t value;
};

using RegisterPlan = std::vector<RegisterWrite>;

// Shutter limits (in sensor lines before the end of the frame); above
// kShutterLongRangeStart the shutter registers switch to the long range.
constexpr uint16_t kShutterMin = 8;
constexpr uint16_t kShutterDefault = 64;
constexpr uint16_t kShutterMax = 1074;
constexpr uint16_t kShutterLongRangeStart = 1068;  // values above it are long
constexpr uint16_t kGainMin = 0;
constexpr uint16_t kGainDefault = 512;
constexpr uint16_t kGainMax = 1023;

// Start-up step 2: registers 35 to 46.
RegisterPlan StartupBiasWrites();
// Start-up step 3: the 22-bit registers 384-392 and 400-408.
RegisterPlan StartupTimingWrites();
// Start-up step 4: the 478 clock-pattern words of registers 512 to 989.
RegisterPlan StartupPatternWrites();
// Start-up step 5: the 6-bit control registers with their defaults, ending
// with 158 and 159 written once more; leaves the shutter in the normal range.
RegisterPlan StartupControlWrites();
// Start-up step 6: registers 76 to 123 cleared.
RegisterPlan StartupClearWrites();
// Start-up step 7: registers that depend on the half-clock mode read back
// from the clock port (1, 2, anything else).
RegisterPlan ClockWrites(int halfClock);

// Gain registers 6 (low 6 bits) and 7 (high 4 bits).
RegisterPlan GainWrites(uint16_t gain);

// Shutter: clamps `requested` to the limits, appends the range-switch writes
// when the range changes from `stored`, then the value writes; the last write
// is the final one that decides success. Returns the clamped value.
uint16_t PlanShutterWrites(uint16_t stored, uint16_t requested, RegisterPlan* plan);

// Trigger bits in registers 32 and 33 from their current shadow values.
RegisterPlan TriggerModeWrites(bool on, uint32_t r32, uint32_t r33);

}  // namespace quorin
