// The quantisation tables of a JPEG image as its DQT segments hold them, and the luminance table a
// quality must give: the JPEG standard's example table (Annex K) scaled as the IJG quality scale
// does (5000 / q below 50, 200 - 2q from 50), limited to 1..255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpegtest {

// The 8-bit tables in stream (zigzag) order, from the markers before the first scan.
inline std::vector<std::vector<int>> QuantTables(const uint8_t* jpeg, size_t size) {
    std::vector<std::vector<int>> tables;
    for (size_t at = 2; at + 4 <= size && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA;) {
        const size_t end = at + 2 + (size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
        for (size_t t = at + 4; jpeg[at + 1] == 0xDB && t + 65 <= end && t + 65 <= size; t += 65)
            tables.emplace_back(jpeg + t + 1, jpeg + t + 65);
        at = end;
    }
    return tables;
}

inline std::vector<int> LuminanceTable(int quality) {
    static const int kAnnexK[64] = {  // natural order
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table(64);
    for (int k = 0; k < 64; ++k) {
        const int value = (kAnnexK[kZigzag[k]] * scale + 50) / 100;
        table[size_t(k)] = value < 1 ? 1 : value > 255 ? 255 : value;
    }
    return table;
}

}  // namespace jpegtest
