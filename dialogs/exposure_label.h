// The analog page's exposure time label.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes "=%.2fms": (1790 clocks x lines + 200) x the pixel-clock period of clockMode, with
// lines = 1074 - exposure (0 when the register, taken unsigned, is beyond 1074). It is worked out
// from the clock and register themselves, so it never depends on an earlier real-exposure query.
void FormatExposureLabel(char* text, size_t size, int32_t exposure, int32_t clockMode);
