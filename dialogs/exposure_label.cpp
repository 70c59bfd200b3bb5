#include "dialogs/exposure_label.h"

#include <cstdio>

#include "settings/exposure_model.h"

void FormatExposureLabel(char* text, size_t size, int32_t exposure, int32_t clockMode) {
    using namespace quorin;
    const int32_t lines = static_cast<uint32_t>(exposure) > static_cast<uint32_t>(kExposureLinesBase)
                              ? 0
                              : kExposureLinesBase - exposure;
    const double clocks = static_cast<double>(kCyclesPerLine) * lines + kFixedCycles;
    snprintf(text, size, "=%.2fms", clocks * PixelClockPeriodMs(clockMode));
}
