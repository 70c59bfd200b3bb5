// One entry of a camera's stored size list, in the order of its registry values
// "TH", "TV", "EH", "EV", "EHS", "EVS", "Buf".
#pragma once

#include <cstdint>
#include <vector>

namespace quorin {

struct SizeEntry {
    int32_t hTotal;
    int32_t vTotal;
    int32_t width;        // effective size
    int32_t height;
    int32_t hStart;       // start of the effective area
    int32_t vStart;
    int32_t bufferCount;  // kept with the size; nothing reads it
};

// The full-sensor entry every new size list starts with.
constexpr SizeEntry kFullSensorSize = {1360, 1024, 1360, 1024, 0, 0, 4};

// The first entry whose effective size is width x height, or null.
const SizeEntry* FindSizeEntry(const std::vector<SizeEntry>& table, int32_t width, int32_t height);

}  // namespace quorin
