// The quantisation tables of a JPEG image as its DQT segments hold them, and the tables a quality
// must give: the example luminance and chrominance tables of the JPEG standard (Annex K) scaled as
// the IJG quality scale does (5000 / q below 50, 200 - 2q from 50), limited to 1..255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jpegtest {

// Tables in zigzag order, as they appear in the stream; empty when the image has no 8-bit DQT.
inline std::vector<std::vector<int>> QuantTables(const uint8_t* jpeg, size_t size) {
    std::vector<std::vector<int>> tables;
    for (size_t at = 2; at + 4 <= size && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA;) {
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xDB)
            for (size_t t = at + 4; t + 65 <= at + 2 + length && t + 65 <= size && (jpeg[t] >> 4) == 0; t += 65)
                tables.emplace_back(jpeg + t + 1, jpeg + t + 65);
        at += 2 + length;
    }
    return tables;
}

// The table of quality (1..100) for the luminance (0) or chrominance (1) table, in zigzag order.
inline std::vector<int> ExpectedTable(int which, int quality) {
    static const int kLuminance[64] = {
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int kChrominance[8] = {17, 18, 24, 47, 99, 99, 99, 99};  // row 0; see below
    static const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table(64);
    for (int k = 0; k < 64; ++k) {
        const int natural = kZigzag[k], y = natural / 8, x = natural % 8;
        // The chrominance table is symmetric: 17 18 24 47 99.. / 18 21 26 66 99.. / 24 26 56 99.. /
        // 47 66 99.. and 99 everywhere else.
        int base = kLuminance[natural];
        if (which == 1) {
            const int lo = x < y ? x : y, hi = x < y ? y : x;
            base = hi > 3 ? 99 : lo == 0 ? kChrominance[hi] : lo == 1 ? (hi == 1 ? 21 : hi == 2 ? 26 : 66)
                                                          : lo == 2 && hi == 2 ? 56 : 99;
        }
        const int value = (base * scale + 50) / 100;
        table[size_t(k)] = value < 1 ? 1 : value > 255 ? 255 : value;
    }
    return table;
}

}  // namespace jpegtest
