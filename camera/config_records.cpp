#include "camera/config_records.h"

namespace {

int32_t ReadLe32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> ParseConfigRecords(const uint8_t* data, size_t size) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    if (!data) return pairs;
    const size_t records = size / 8;
    pairs.reserve(records);
    for (size_t i = 0; i < records; ++i) {
        const uint8_t* r = data + i * 8;
        pairs.emplace_back(ReadLe32(r), ReadLe32(r + 4));
    }
    return pairs;
}
