// Real exposure time in microseconds from and to the exposure register. The sensor exposes for
// (1074 - register) whole lines of 1790 pixel clocks plus 200 clocks, so register 1074 is the shortest
// exposure and 8 the longest (1066 lines).
#pragma once

#include <atomic>
#include <cstdint>

#include "settings/analog_device.h"
#include "settings/analog_settings.h"

namespace quorin {

constexpr int32_t kCyclesPerLine = 1790;
constexpr int32_t kFixedCycles = 200;
constexpr int32_t kExposureLinesBase = 1074;

// Pixel-clock period in milliseconds, kept as the single-precision values widened to double.
constexpr double kHalfClockPeriodMs = 8.333333244081587e-05;    // 12 MHz
constexpr double kNormalClockPeriodMs = 4.166666622040793e-05;  // 24 MHz

// Clock mode 1 is the half clock; every other mode runs the 24 MHz clock.
double PixelClockPeriodMs(int32_t clockMode);

// The figures of the last computation, kept for the camera's diagnostics.
struct ExposureModel {
    std::atomic<int32_t> cyclesPerLine{0};
    std::atomic<int32_t> fixedCycles{0};
    std::atomic<int32_t> ExposureRows{1};
    std::atomic<double> cyclePeriodMs{1.0};
    std::atomic<int32_t> exposureMicroseconds{0};
};

// Real exposure of the stored register at the given clock mode; recorded in the model and returned.
int32_t ReadRealExposureTime(ExposureModel& model, const AnalogSettings& analog, int32_t clockMode);

// Picks the register for a time in microseconds (whole lines, the 200 fixed clocks not taken off),
// stores it and sends it to the device. 0, or 9 when the register falls outside the device's range
// (a negative time, or more than 1066 lines).
int WriteRealExposureTime(ExposureModel& model, AnalogSettings& analog, AnalogDevice& device,
                          int32_t clockMode, int32_t microseconds);

}  // namespace quorin
