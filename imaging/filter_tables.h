// Per-call tables and per-sample rules of the filter kernels. Any faster variant of a filter (vector
// rows, several filters fused over a strip) builds its tables with these same functions, so every
// path produces the same samples. The builders stay out of line in a file compiled with the
// default flags: a copy inlined into a file built for AVX2/FMA could fuse the brightness factor's
// multiply-add and round differently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// Sample width of the 16-bit filters: the block's bits limited to 8..16.
inline int FilterSampleBits(int32_t bits) { return bits < 8 ? 8 : bits > 16 ? 16 : bits; }

// Tables that depend on a 16-bit sample width are allocated per call; null when memory is short,
// and the kernel then skips the filter for that call.
template <typename T>
T* NewFilterTable(size_t count) {
    return new (std::nothrow) T[count];
}

// --- Gray gains -----------------------------------------------------------------------------

// Upper limit of the 16-bit gray-gain kernels: 1023, 4095 or 16383 for bits 10, 12 or 14, else
// 65535.
int32_t GrayGainTop16(int32_t bits);

// offset + gain * v / 128 (the division truncates toward zero), limited to 0..top. Worked in 64
// bits so that any typed gain or offset is safe.
inline int32_t GrayGainSample(int32_t v, int32_t gain, int32_t offset, int32_t top) {
    const int64_t out = int64_t(offset) + int64_t(gain) * v / 128;
    return out < 0 ? 0 : out > top ? top : int32_t(out);
}

// GrayGainSample for every 8-bit value (top 255).
void BuildGrayGainTable8(int32_t gain, int32_t offset, uint8_t table[256]);

// --- Brightness -----------------------------------------------------------------------------

// Single-precision factor: 1 + b * 10 / 255 above zero, 1 - |b| / 255 below, 1 at zero.
float BrightnessFactor(int32_t value);

// trunc((float)sample * factor), 0 when negative, maxValue when above it. Limiting the product
// before truncating gives the same result and keeps the conversion in range.
inline int32_t BrightnessSample(int32_t sample, float factor, int32_t maxValue) {
    float product = static_cast<float>(sample) * factor;
    product = product > 0.0f ? product : 0.0f;
    const float top = static_cast<float>(maxValue);
    return static_cast<int32_t>(product < top ? product : top);
}

void BuildBrightnessTable8(int32_t value, uint8_t table[256]);

// --- Contrast -------------------------------------------------------------------------------

// Entry i: 0 below m, 255 above 255 - m, else trunc(256.0 / (256 - 2m) * (i - m)).
void BuildContrastTable8(int32_t m, uint8_t table[256]);

// (1 << sampleBits) entries; o = m scaled to the sample width, entry i: 0 below o, L - 1 above
// L - o - 1, else trunc(L / (double)(L - 2o) * (i - o)).
void BuildContrastTable16(int32_t m, int sampleBits, uint16_t* table);

// --- Gamma ----------------------------------------------------------------------------------

// (g - 100) / 10.0 + 1 above 100, else g / 100.0.
double GammaExponent(int32_t g);

// The colour 8-bit kernel keeps the exponent to 0.001..99.999 (so gamma 0 leaves black black).
double GammaExponentRgb8(int32_t g);

// Entry i: trunc(pow(i / 255.0, e) * 255); exponents below 0 (typed values) saturate to 255.
void BuildGammaTable8(double e, uint8_t table[256]);

// (1 << sampleBits) entries: trunc(pow(i / (double)L, e) * (L - 1)), kept to 0..L - 1.
void BuildGammaTable16(double e, int sampleBits, uint16_t* table);

// --- Sharpness ------------------------------------------------------------------------------

// Entries of the unsharp-mask table for a sample maximum top: 2 * top + 2.
inline size_t SharpenTableSize(int32_t top) { return size_t(2) * size_t(top) + 2; }

// D[i] = (a * (i - top)) / 10, truncated toward zero. Entries beyond +-65536 are held there: any
// sample plus such an entry already lies outside 0..top, so the limited result is the same.
void BuildSharpenTable(int32_t a, int32_t top, int32_t* table);

// One sharpened sample: source + D[source - blurred + top], the index kept inside the table (a
// 16-bit image may hold samples above top), the result limited to 0..top.
inline int32_t SharpenSample(int32_t source, int32_t blurred, const int32_t* table, int32_t top) {
    int32_t index = source - blurred + top;
    const int32_t last = 2 * top + 1;
    index = index < 0 ? 0 : index > last ? last : index;
    const int32_t out = source + table[index];
    return out < 0 ? 0 : out > top ? top : out;
}

// --- Hue and saturation (integer hexcone on 8-bit samples) ----------------------------------

// The hue turned into whole sectors and a remainder, in units of 1530 per turn.
struct HueShift {
    int32_t sector;     // 0..5
    int32_t remainder;  // 0..254
};
HueShift HueShiftFor(int32_t hue);

// SatTab for one call: (((saturation + 256) * 256) * c + 32768) >> 16, kept to 0..255 (a
// saturation below -256 would give negative chroma, values above 255 never pass the lightness
// limit anyway).
void BuildSatTable(int32_t saturation, uint8_t table[256]);

// Process-wide tables, built once on first use (thread-safe): GrayTab[k] = k * 0x010101 and
// InvTab[c] = 0xFF0000 / c, InvTab[0] = 0.
struct HexconeTables {
    uint32_t gray[256];
    uint32_t inverse[256];
};
const HexconeTables& SharedHexconeTables();

// Sector table: the six {mask, multiplier} pairs repeated three times.
extern const uint32_t kHexconeMask[18];
extern const int32_t kHexconeMultiplier[18];

// One pixel (samples 0..255) through the hue shift and the saturation table; returns the packed
// colour, blue in bits 0..7, green in 8..15, red in 16..23. Written with selects rather than
// branches: colours are not predictable. A gray pixel (ch = 0) needs no test of its own: SatTab[0]
// is 0, so w is 0 and the hue term adds nothing.
inline uint32_t HueSatPixel(int32_t b, int32_t g, int32_t r, const uint8_t satTable[256],
                            HueShift shift, const HexconeTables& tables) {
    const bool redHigh = r >= g;
    int32_t sector = redHigh ? 1 : 3;
    int32_t hi = redHigh ? r : g;
    const int32_t lo = redHigh ? g : r;
    int32_t pos = redHigh ? g - b : b - r;
    const bool blueHigh = b > hi;
    sector = blueHigh ? 5 : sector;
    pos = blueHigh ? r - g : pos;
    hi = blueHigh ? b : hi;
    const int32_t mn = lo < b ? lo : b;
    const int32_t ch = hi - mn;
    const int32_t s = hi + mn;
    const bool wrapped = pos < 0;
    sector -= wrapped ? 1 : 0;
    pos += wrapped ? ch : 0;
    const int32_t limit = s < 511 - s ? s : 511 - s;
    const int32_t ch2 = satTable[ch] < limit ? satTable[ch] : limit;
    int32_t k = (s - ch2) >> 1;
    int32_t w = ((s + ch2) >> 1) - k;
    k = k < 0 ? 0 : k > 255 ? 255 : k;
    w = w < 0 ? 0 : w > 255 ? 255 : w;
    uint32_t v = ((tables.inverse[ch] * uint32_t(pos) + 32768u) >> 16) + uint32_t(shift.remainder);
    int32_t idx = sector + shift.sector;
    const bool nextSector = v >= 255;
    v -= nextSector ? 255 : 0;
    idx += nextSector ? 1 : 0;
    return tables.gray[k] + (tables.gray[w] & kHexconeMask[idx]) +
           uint32_t((int32_t(uint32_t(w) * v + 128) >> 8) * kHexconeMultiplier[idx]);
}
