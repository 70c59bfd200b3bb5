#include "settings/exposure_model.h"

namespace quorin {

double PixelClockPeriodMs(int32_t clockMode) {
    return clockMode == 1 ? kHalfClockPeriodMs : kNormalClockPeriodMs;
}

namespace {

// Lines below the 1074 base, or 0 when the count, taken unsigned, is beyond it.
int32_t LinesFromBase(int32_t count) {
    return static_cast<uint32_t>(count) > static_cast<uint32_t>(kExposureLinesBase) ? 0
                                                                                      : kExposureLinesBase - count;
}

double RecordClock(ExposureModel& model, int32_t clockMode) {
    const double period = PixelClockPeriodMs(clockMode);
    model.cyclePeriodMs = period;
    model.cyclesPerLine = kCyclesPerLine;
    model.fixedCycles = kFixedCycles;
    return period;
}

}  // namespace

int32_t ReadRealExposureTime(ExposureModel& model, const AnalogSettings& analog, int32_t clockMode) {
    const double period = RecordClock(model, clockMode);
    const int32_t rows = LinesFromBase(analog.exposure.load());
    model.ExposureRows = rows;
    const double cycles = static_cast<double>(rows) * kCyclesPerLine + static_cast<double>(kFixedCycles);
    const int32_t microseconds = static_cast<int32_t>(cycles * period * 1000.0);
    model.exposureMicroseconds = microseconds;
    return microseconds;
}

int WriteRealExposureTime(ExposureModel& model, AnalogSettings& analog, AnalogDevice& device,
                          int32_t clockMode, int32_t microseconds) {
    const double period = RecordClock(model, clockMode);
    // Whole milliseconds would lose everything below 1000 us: keep the fraction.
    const double lines = (static_cast<double>(microseconds) / 1000.0) / (period * kCyclesPerLine);
    // Any negative time is refused, also one too small to make a whole negative line.
    const int32_t rows = microseconds < 0 ? 0 : LinesFromBase(static_cast<int32_t>(lines));
    model.ExposureRows = rows;
    if (rows < device.ShutterMin() || rows > device.ShutterMax()) return 9;
    analog.exposure = rows;
    device.SetShutter(static_cast<uint16_t>(rows));
    return 0;
}

}  // namespace quorin
