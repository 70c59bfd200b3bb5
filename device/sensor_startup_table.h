// The sensor's clock-pattern table written by the start-up sequence.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorin {

struct SensorPatternRow {
    uint16_t reg;   // 512 to 989, ascending
    uint32_t word;  // bits 0-11 clock position, bits 12-21 pattern
};

constexpr size_t kSensorPatternWordCount = 478;
constexpr size_t kSensorPatternCount = 10;
constexpr uint32_t kSensorPatternEndWord = 0x3FE6FE;  // position 1790: end of line
constexpr uint32_t kSensorLineClocks = 1790;

extern const SensorPatternRow kSensorPatternTable[kSensorPatternWordCount];
// Number of words of each pattern, in table order.
extern const uint16_t kSensorPatternSizes[kSensorPatternCount];

}  // namespace quorin
