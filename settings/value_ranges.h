// Accepted ranges of the adjustable values, and the tests the setters make on the raw 32-bit word.
#pragma once

#include <cstdint>

namespace quorin {

struct ValueRange {
    int32_t min;
    int32_t max;
};

// -bound..bound, tested as (v + bound) taken unsigned <= 2 * bound, so no sum can overflow.
inline bool InSymmetricRange(int32_t value, int32_t bound) {
    return static_cast<uint32_t>(value) + static_cast<uint32_t>(bound) <= 2u * static_cast<uint32_t>(bound);
}

// 0..max compared unsigned: every negative value is out.
inline bool InUnsignedRange(int32_t value, int32_t max) {
    return static_cast<uint32_t>(value) <= static_cast<uint32_t>(max);
}

inline int32_t ClampToRange(int32_t value, ValueRange range) {
    return value < range.min ? range.min : (value > range.max ? range.max : value);
}

// Range of a filter value id that is stored as it is (1-5, 7-9, 11, 12, 19-28); false for the
// others (6 packed, 10 any value, 13-18 device-bound) and unknown ids.
bool StoredFilterValueRange(int id, ValueRange* range);

// Ranges of the analog values that the device does not bound.
constexpr ValueRange kMirrorRange = {0, 1};
constexpr ValueRange kAutoIrisRange = {0, 2};

}  // namespace quorin
