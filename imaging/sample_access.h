// Little-endian 16-bit sample access for the kernels (a plain load/store on x86).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint16_t LoadSample16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

inline void StoreSample16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, sizeof(v)); }
